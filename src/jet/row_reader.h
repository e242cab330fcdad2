// Minimal access to stored Jet 4 rows for the writer: locating a row (following overflow
// pointers) and picking single fields out of it. Used to read catalog rows; the full decoder
// for callers lives in Database.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/tdef.h"

namespace jet {

// The bytes of the row at `where`, following overflow pointers (at most a few hops).
// Returns std::nullopt for a deleted slot.
Result<std::optional<std::vector<uint8_t>>> readStoredRow(Pager& pager, RowPointer where);

// The whole value of a MEMO/OLE field given its stored bytes (the 12-byte header, plus the
// data when inline), following LVAL rows and chains. kCorrupt names what is wrong.
Result<std::vector<uint8_t>> readLongValue(Pager& pager, const std::vector<uint8_t>& field);

// Fields of one Jet 4 row of `def`.
class RowFields {
  public:
    // kCorrupt when the row's structure does not fit its length.
    static Result<RowFields> parse(const TableDef& def, std::vector<uint8_t> row, RowPointer where);

    bool isNull(const ColumnDef& col) const;
    // The value bytes: `length` bytes for fixed columns, the stored bytes for variable ones;
    // empty for NULL.
    std::vector<uint8_t> bytes(const ColumnDef& col) const;
    int32_t long32(const ColumnDef& col) const;  // 0 when NULL
    int16_t int16(const ColumnDef& col) const;   // 0 when NULL

  private:
    std::vector<uint8_t> row_;
    uint32_t num_cols_ = 0;
    uint32_t mask_start_ = 0;
    std::vector<std::pair<uint32_t, uint32_t>> var_;  // [start, end) per var index
};

// Calls `visit(where, fields)` for every live row of `def` on `pages` (normally what the
// table's owned map lists), in page then slot order. Pages that are not data pages of the
// table are skipped. A non-ok Status from `visit` stops the walk and is returned.
template <typename Visit>
Status forEachRow(Pager& pager, const std::vector<uint32_t>& pages, const TableDef& def,
                  Visit visit);

}  // namespace jet

#include "jet/row_reader_inl.h"
