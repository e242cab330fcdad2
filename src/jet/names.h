// Access's rules for the names of tables and columns.
#pragma once

#include <string>

#include "jet/status.h"

namespace jet {

// The longest table or column name Access accepts, in UTF-16 code units.
constexpr size_t kMaxObjectNameLength = 64;

// Checks a UTF-8 name against Access's naming rules: not empty, at most 64 characters, no
// leading space, none of . ! ` [ ] and no control characters (U+0000..U+001F). `what` names
// the kind in the message ("table name", "column name"). Errors are kInvalidArgument.
Status checkObjectName(const std::string& name, const char* what);

// Case-insensitive comparison as Access does it for object names (ASCII letters only; other
// characters compare exactly).
bool sameObjectName(const std::u16string& a, const std::u16string& b);

}  // namespace jet
