// What the conversion core makes of the engine's answers about a source: the problem a refusal
// means, messages that name the file once, and column names as Jet compares them.
#pragma once

#include <string>

#include "convert/conversion.h"
#include "jet/status.h"
#include "jet/tdef.h"

namespace vkdc {

// The problem an engine refusal to open a source stands for: unreadable (I/O), unsupported
// (not Jet 4), wrong version (its password is another version's) or invalid (anything else).
Problem sourceProblemOf(const jet::Status& st);

// "path: why", naming the path once when `why` already starts with it.
std::string about(const std::string& path, const std::string& why);

// Jet names compare without regard to case.
bool sameName(const std::string& a, const std::string& b);
// Whether `def` has a column called `name`.
bool hasColumn(const jet::TableDef& def, const std::string& name);

}  // namespace vkdc
