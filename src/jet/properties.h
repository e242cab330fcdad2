// Jet 4 property blobs (MSysObjects.LvProp): the engine-level column rules the writer needs,
// "Required" (no NULL) and "AllowZeroLength" (no empty text), read from and written to the
// "MR2" format: a name list chunk, then one value chunk per object (table or column).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jet/status.h"

namespace jet {

struct ColumnRules {
    bool required = false;
    bool allow_zero_length = true;
};

// A blob that marks each column in `required` (names as stored) as Required, and nothing
// else. Empty when the list is empty: such a table needs no blob.
std::vector<uint8_t> buildRequiredProperties(const std::vector<std::u16string>& required);

// The rules of every column the blob mentions, by column name. kCorrupt when the blob does
// not follow the format; an empty blob gives no rules.
Result<std::map<std::u16string, ColumnRules>> parseColumnRules(const std::vector<uint8_t>& blob);

}  // namespace jet
