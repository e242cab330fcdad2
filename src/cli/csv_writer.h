// CSV text of Jet rows, laid out as mdb-export writes it, so our dumps can be compared with
// other tools' byte for byte: RFC 4180, UTF-8, LF line ends.
//
// Text, memo, date, binary, OLE and GUID fields are always quoted; numbers and booleans never
// are. NULL is an empty unquoted field, so it stays distinct from the empty text `""`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/tdef.h"
#include "jet/value.h"

namespace cli {

// Appends `text` (UTF-8) in double quotes, doubling any quote inside.
void appendCsvQuoted(std::string& out, std::string_view text);

// Appends one cell. Dates are "YYYY-MM-DD HH:MM:SS" (nearest second), binary and OLE are
// upper-case hex, currency has 4 decimals, decimals their own scale, single and double the
// shortest text that reads back exactly. A lone UTF-16 surrogate becomes U+FFFD.
void appendCsvField(std::string& out, const jet::Value& value);

// Appends the header row: column names, quoted only where RFC 4180 requires it. Ends in LF.
void appendCsvHeader(std::string& out, const std::vector<jet::ColumnDef>& columns);

// Appends one row of cells separated by commas. Ends in LF.
void appendCsvRow(std::string& out, const std::vector<jet::Value>& row);

}  // namespace cli
