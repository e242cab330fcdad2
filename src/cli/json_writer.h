// JSON text of Jet tables with exact values, for scripts that want more than CSV can say.
//
// One object per table:
//   {"table": "T", "columns": [{"name": ..., "type": ..., "size": ...}, ...],
//    "rows": [[...], ...]}
// Text is a JSON string (control characters escaped, NUL as \u0000, a lone surrogate kept as
// its \uXXXX escape); numbers are numbers; currency and decimals are decimal strings; dates
// are "YYYY-MM-DDTHH:MM:SS.mmm"; binary and OLE are upper-case hex strings; GUIDs are braced
// strings. A single or double that is NaN or infinite is written as the string "NaN",
// "Infinity" or "-Infinity", since JSON has no number for it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace cli {

// Appends `s` as a quoted JSON string. UTF-16 input keeps lone surrogates as escapes;
// UTF-8 input is copied through with only the required escapes.
void appendJsonString(std::string& out, std::u16string_view s);
void appendJsonString(std::string& out, std::string_view utf8);

void appendJsonValue(std::string& out, const jet::Value& value);

// The column's description: name, type, size (bytes, as the table definition says), and
// where they apply max_chars, precision, scale, autonumber, nullable, type_code.
void appendJsonColumn(std::string& out, const jet::ColumnDef& column, jet::JetVersion version);

// Streams one table: begin(), any number of row(), end(). Each row is flushed to `out` as it
// comes, so memory does not grow with the table.
class JsonTableWriter {
  public:
    explicit JsonTableWriter(std::ostream& out) : out_(out) {}

    void begin(const std::string& table, const std::vector<jet::ColumnDef>& columns,
               jet::JetVersion version);
    void row(const std::vector<jet::Value>& values);
    void end();

  private:
    std::ostream& out_;
    std::string buf_;
    bool first_row_ = true;
};

}  // namespace cli
