// How a column value turns into the text a bound field shows, and back.
//
// Text forms, by column type:
//   Text, Memo             the text itself (UTF-8)
//   Boolean                "True" / "False"  (parsing also takes Yes/No, On/Off, 1/0, -1)
//   Byte, Integer, Long    decimal digits, "-" for negatives
//   Currency               "-1234.5600"      (always four decimals; parsing takes up to four)
//   Single, Double         the shortest text that reads back to the same value
//   Decimal                the column's scale in decimals
//   Date/Time              "YYYY-MM-DD HH:MM:SS" (parsing also takes "YYYY-MM-DD")
//   GUID                   "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
//   Binary, OLE            upper-case hex, two digits a byte
//   no value (NULL)        the empty text
// Setting the empty text into a column that is not Text or Memo stores no value. Nothing is
// ever rounded, truncated or clipped: a text that does not fit gives an error naming why.
#pragma once

#include <string>

#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace vkdc {

std::string valueToText(const jet::Value& value);

// Parses `text` for column `col` (of a Jet 4 database). Errors are kInvalidArgument with the
// column's name and the reason.
jet::Result<jet::Value> valueFromText(const jet::ColumnDef& col, const std::string& text);

// Carries `value` from a column of one type into column `col`: the same value when the types
// agree, otherwise through the text form. Errors as for valueFromText.
jet::Result<jet::Value> convertValue(jet::ColumnType from, const jet::Value& value,
                                     const jet::ColumnDef& col);
// The same, taking `value` over where it is carried unchanged (no copy of a text).
jet::Result<jet::Value> convertValue(jet::ColumnType from, jet::Value&& value,
                                     const jet::ColumnDef& col);
// True when convertValue gives every value of a `from` column to `col` unchanged.
bool carriesAsIs(jet::ColumnType from, const jet::ColumnDef& col);

}  // namespace vkdc
