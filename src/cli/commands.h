// The verbs of vkdc-cli. Each adds itself to the command line as a subcommand with its options
// and help; when it is the verb given, its action runs after parsing and returns the process
// exit status (common.h). Results go to stdout, one-line errors to stderr.
#pragma once

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace cli {

using Action = std::function<int()>;

// vkdc-cli inspect FILE [--password P] [--show-password]
void addInspect(CLI::App& app, Action& action);
// vkdc-cli dump FILE TABLE [--password P] [--format csv|json]
void addDump(CLI::App& app, Action& action);
// vkdc-cli convert [--pair P] [--to V] [--verify] [--keep-partial] [--json] SOURCE DEST
void addConvert(CLI::App& app, Action& action);
// vkdc-cli make-template 2.0|3.0 OUT
void addMakeTemplate(CLI::App& app, Action& action);
// vkdc-cli make-sample 1.0|2.0 OUT [--rows N]
void addMakeSample(CLI::App& app, Action& action);

// The JSON object convert prints for an outcome reached before any conversion ran: a usage
// error, for instance, so every `convert --json` prints exactly one object.
std::string convertFailureJson(int exit_status, const char* problem, const std::string& detail);

}  // namespace cli
