// The verbs of vkdc-cli. Each takes its parsed options, writes results to `out` and one-line
// errors to `err`, and returns the process exit status (common.h). The command line itself
// (options, help, usage) is parsed in main.cpp, the only file that uses CLI11.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "store/templates.h"

namespace cli {

// vkdc-cli inspect FILE [--password P] [--show-password]
struct InspectOptions {
    std::string file;
    std::optional<std::string> password;  // UTF-8, exactly as given
    bool show_password = false;
};
int runInspect(const InspectOptions& opts, std::ostream& out, std::ostream& err);

// vkdc-cli check FILE [--password P] [--json]
struct CheckOptions {
    std::string file;
    std::optional<std::string> password;  // UTF-8, exactly as given
    bool json = false;
};
int runCheck(const CheckOptions& opts, std::ostream& out, std::ostream& err);

// vkdc-cli dump FILE TABLE [--password P] [--format csv|json]
struct DumpOptions {
    std::string file;
    std::string table;
    std::optional<std::string> password;  // UTF-8, exactly as given
    std::string format = "csv";
};
int runDump(const DumpOptions& opts, std::ostream& out, std::ostream& err);

// vkdc-cli convert [--pair P] [--to V] [--verify] [--keep-partial] [--json] SOURCE DEST
struct ConvertOptions {
    std::string pair;  // "1.0-2.0", "2.0-3.0" or empty: detect
    std::string to;    // "2.0", "3.0" or empty
    bool verify = false;
    bool keep_partial = false;
    bool json = false;
    std::string source;
    std::string dest;
};
int runConvert(const ConvertOptions& opts, std::ostream& out, std::ostream& err);
// The JSON object convert prints for a run that failed before it started (a usage error), so
// every `convert --json` prints exactly one object.
std::string convertFailureJson(int exit_status, const char* problem, const std::string& detail);

// vkdc-cli make-template 2.0|3.0 OUT
// vkdc-cli make-sample 1.0|2.0 OUT [--rows N]
struct MakeOptions {
    std::string version;
    std::string out;
    vkdc::SampleOptions sample;
};
int runMakeTemplate(const MakeOptions& opts, std::ostream& out, std::ostream& err);
int runMakeSample(const MakeOptions& opts, std::ostream& out, std::ostream& err);

}  // namespace cli
