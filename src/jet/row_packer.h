// Building Jet 4 rows: column count, fixed area, variable area with its offset table, null
// mask. The layout follows the table definition, including the slots of deleted columns.
#pragma once

#include <cstddef>
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

// A PackedCell whose bytes lie in a buffer of the caller's.
struct CellBytes {
    bool present = false;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// What rows of one table definition look like, worked out once: a row's size and its bytes
// then cost one pass over its cells, and nothing is allocated.
class Jet4RowLayout {
  public:
    // kCorrupt when a column's number or variable slot lies beyond the definition's counts.
    static Result<Jet4RowLayout> of(const TableDef& def);

    // Size of the row `cells` (one per column of the definition, in its order) makes.
    // kInvalidArgument when a present fixed cell is not exactly its column's length.
    Result<size_t> size(const CellBytes* cells) const;
    // Writes that row, `size` bytes as size() gave, into `out`.
    void pack(const CellBytes* cells, size_t size, std::vector<uint8_t>& out) const;

    // Bytes of the fixed area.
    uint32_t fixedAreaSize() const { return fixed_area_; }
    // Bytes of a row whose variable cells are all empty.
    size_t emptyRowSize() const;

  private:
    enum class Kind : uint8_t { kBoolean, kFixed, kVariable };
    struct Column {
        Kind kind;
        uint16_t number;
        uint16_t slot;    // fixed: offset in the fixed area; variable: the variable slot
        uint16_t length;  // fixed only
    };

    uint32_t max_cols_ = 0;
    uint32_t var_cols_ = 0;
    uint32_t fixed_area_ = 0;
    std::vector<Column> columns_;
    // The cell that fills each variable slot in the row being sized or packed (the last
    // present one, should two columns share a slot).
    mutable std::vector<const CellBytes*> by_slot_;
};

// Packs one row of `def`; `cells` is parallel to def.columns. Every fixed column's bytes are
// reserved even when NULL (Access rejects shorter rows); the variable-offset table and its
// count are written only when the table has variable columns. kInvalidArgument when the row
// would exceed `max_row_size`; kCorrupt when the definition is inconsistent.
Result<std::vector<uint8_t>> packJet4Row(const TableDef& def, const std::vector<PackedCell>& cells,
                                         uint32_t max_row_size);

// The message of a row of `size` bytes that exceeds `max_row_size`.
Status rowTooLong(size_t size, uint32_t max_row_size);

// Size in bytes of the fixed area of rows of `def`.
uint32_t jet4FixedAreaSize(const TableDef& def);

}  // namespace jet
