// Command-line parsing and exit statuses shared by every vkdc-cli verb.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/status.h"

namespace cli {

// Exit statuses. Scripts rely on these; never renumber them.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,       // bad arguments, or a table that does not exist
    kExitCannotOpen = 3,  // missing, unreadable, not Jet, unsupported version, corrupt
    kExitWrongPassword = 4,
};

// The exit status for a failed engine call.
int exitCodeFor(const jet::Status& status);

// "vkdc-cli: <file>: <cause>", naming the file once even when the engine's message already
// starts with it.
std::string errorLine(const std::string& file, const jet::Status& status);

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> password;  // UTF-8, exactly as given
    bool show_password = false;
    std::string format = "csv";
    bool help = false;
};

// What a verb accepts besides its positional arguments.
struct OptionSet {
    bool password = false;
    bool show_password = false;
    bool format = false;  // --format csv|json
};

// Parses a verb's arguments (the verb itself excluded). Options may come before or after
// positional arguments, as "--name value" or "--name=value"; "--" ends the options.
// Unknown options, a missing value and an unknown format are kInvalidArgument.
jet::Result<Options> parseOptions(const std::vector<std::string>& args, const OptionSet& allowed);

}  // namespace cli
