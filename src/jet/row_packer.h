// Building Jet 4 rows: column count, fixed area, variable area with its offset table, null
// mask. The layout follows the table definition, including the slots of deleted columns.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/status.h"
#include "jet/tdef.h"

namespace jet {

// One column's stored form, ready to be placed in a row.
struct PackedCell {
    // The null-mask bit: the value is present. For BOOLEAN columns, the value itself.
    bool present = false;
    // Fixed columns: exactly `length` bytes. Variable columns: the stored bytes (for MEMO/OLE
    // the 12-byte long-value header, plus the value when it is kept inline).
    std::vector<uint8_t> bytes;
};

// Packs one row of `def`; `cells` is parallel to def.columns. Every fixed column's bytes are
// reserved even when NULL (Access rejects shorter rows); the variable-offset table and its
// count are written only when the table has variable columns. kInvalidArgument when the row
// would exceed `max_row_size`; kCorrupt when the definition is inconsistent.
Result<std::vector<uint8_t>> packJet4Row(const TableDef& def, const std::vector<PackedCell>& cells,
                                         uint32_t max_row_size);

// The size of the row packJet4Row() would build, with its errors, without building it.
// `extra`, when given, adds extra[i] bytes to the present variable cell i (a long value that
// would be kept inside the row).
Result<size_t> jet4RowSize(const TableDef& def, const std::vector<PackedCell>& cells,
                           uint32_t max_row_size, const std::vector<size_t>* extra = nullptr);

// Size in bytes of the fixed area of rows of `def`.
uint32_t jet4FixedAreaSize(const TableDef& def);

}  // namespace jet
