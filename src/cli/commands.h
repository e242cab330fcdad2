// The verbs of vkdc-cli. Each takes its arguments (the verb itself excluded), writes results
// to `out` and one-line errors to `err`, and returns the process exit status (options.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// vkdc-cli inspect FILE [--password P] [--show-password]
int runInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// vkdc-cli dump FILE TABLE [--password P] [--format csv|json]
int runDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// vkdc-cli make-template 2.0|3.0 OUT
int runMakeTemplate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// vkdc-cli make-sample 1.0|2.0 OUT [--rows N]
int runMakeSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// vkdc-cli convert [--pair P] [--to V] [--verify] [--json] SOURCE DEST
int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kMakeTemplateUsage;
extern const char* const kMakeSampleUsage;
extern const char* const kConvertUsage;
extern const char* const kInspectUsage;
extern const char* const kDumpUsage;

}  // namespace cli
