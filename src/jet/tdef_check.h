// What a table definition must hold for its rows to mean what they say. The reader takes
// any definition it can parse; a damaged byte can still leave one that parses, such as a
// Text column turned into a Byte column of 510 bytes, whose every value then reads as a
// number.
#pragma once

#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/tdef.h"

namespace jet {

// The problems of `def`, one English line each naming the column ("column Category: a Byte
// column is 1 byte, not 510"); empty for a sound definition. Checked: a known type code; a
// fixed-size type with its own size (where Access stores one as a variable column, no
// longer than that); long values with no length in the row; column numbers below the
// table's column count and unique; fixed columns inside the largest row and not
// overlapping; variable-column slots below the table's count and unique. Columns a table
// lost keep their numbers and slots, and leave gaps that are no problem.
std::vector<std::string> checkTableDef(const TableDef& def, JetVersion version);

}  // namespace jet
