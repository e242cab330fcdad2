// Exit statuses and message helpers shared by every vkdc-cli verb.
#pragma once

#include <string>
#include <string_view>

#include "jet/status.h"

namespace cli {

// Exit statuses. Scripts rely on these; never renumber them.
enum ExitCode : int {
    kExitOk = 0,
    kExitOutputFailed = 1,  // what was printed could not be written (a full disk, closed stdout)

    kExitUsage = 2,          // bad arguments, or a table that does not exist
    kExitCannotOpen = 3,     // missing, unreadable, not a regular file, not Jet, corrupt, ...
    kExitWrongPassword = 4,  // for convert: the source is not of the pair's version
    kExitRowsLost = 5,       // convert: rows could not be converted
    kExitDamaged = 5,        // check: the file is damaged
    kExitSaveFailed = 6,     // convert: the result could not, or must not, be saved there
};

// The exit status for a failed engine call.
int exitCodeFor(const jet::Status& status);

// `text` safe to print on a terminal: control characters and bytes that are not UTF-8 become
// escapes ("\n", "\x1B", ...); everything else, non-ASCII letters included, is kept.
std::string printable(std::string_view text);

// "vkdc-cli: <file>: <cause>", naming the file once even when the engine's message already
// starts with it, and printable as a whole.
std::string errorLine(const std::string& file, const jet::Status& status);

}  // namespace cli
