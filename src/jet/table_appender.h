// Appending rows to one Jet 4 table: value checks, long values (MEMO/OLE) on LVAL pages,
// row packing, data pages, the table's and columns' usage maps, and the TDEF counters.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jet/page_allocator.h"
#include "jet/properties.h"
#include "jet/row_packer.h"
#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"
#include "jet/value_encoder.h"

namespace jet {

class TableAppender {
  public:
    // `rules` is parallel to def.columns (missing entries: NULL and "" allowed).
    TableAppender(PageAllocator& alloc, TableDef def, std::vector<ColumnRules> rules);

    const TableDef& def() const { return def_; }

    // Adds one row; `values` is parallel to def().columns. An AutoNumber column given NULL
    // gets the next number. A row that is refused (wrong count, type, range, length, NULL in
    // a required column, too long) writes nothing; the error names the column. The row
    // count and AutoNumber of the TDEF are kept in def() and written by writeCounters().
    Status append(const std::vector<Value>& values) { return appendRow(values).status(); }
    // The same, returning where the row went. A TEXT or MEMO column flagged in `stored_text`
    // may be given its text as stored, as a Bytes value (see encodeValue): bytes this
    // engine would have written for that text are stored as they are.
    Result<RowPointer> appendRow(const std::vector<Value>& values,
                                 const std::vector<bool>* stored_text = nullptr);

    // Checks `values` as appendRow() would, storing nothing, and turns them into what a
    // reader of the stored row would get (a NULL Boolean No, numbers in their column's type,
    // an AutoNumber its number, stored text in the form it would be stored in). The
    // AutoNumber advances as for a stored row; the TDEF is never written.
    Status check(std::vector<Value>& values, const std::vector<bool>* stored_text = nullptr);

    // Stores an already packed row on the table's data pages and returns where it went.
    // Counters are not touched (see addRows). Used for catalog rows.
    Result<RowPointer> insertRow(const std::vector<uint8_t>& row);
    // Adds `n` to the TDEF row count and writes the counters.
    Status addRows(uint32_t n);
    // Writes the row count and AutoNumber of def() into the TDEF, when appends changed them.
    Status writeCounters();
    // Sets the unique-entry count of real index `i` in the TDEF.
    Status setUniqueCount(uint32_t i, uint32_t count);

  private:
    // The pages of one owner (the table's rows, or one long-value column), rows going to the
    // last one until it is full.
    struct PageChain {
        RowPointer owned;
        RowPointer free_map;
        uint32_t owner = 0;      // owner word of its pages
        uint32_t min_row = 0;    // a page that cannot take this many more bytes is full
        uint32_t last_page = 0;  // 0: none yet
        uint32_t rows = 0;       // of the last page: its slots and free bytes, kept up to date
        uint32_t free = 0;       // so that an insert reads neither off the page
        bool located = false;
    };

    // Phases of appendRow() before anything is written: checks and encodes `values` into
    // encoded_, decides which long values stay inline; the row's size and the AutoNumber
    // after it come back.
    Status prepare(const std::vector<Value>& values, const std::vector<bool>* stored_text,
                   uint32_t& autonumber, size_t& size);
    // Stores a long value on the LVAL pages of `col` and writes its 12-byte header to
    // `header`.
    Status storeLongValue(const ColumnDef& col, const uint8_t* value, size_t n, uint8_t* header);
    Result<RowPointer> insertInto(PageChain& chain, const uint8_t* row, size_t len);
    Status locate(PageChain& chain);
    // Makes page `n`, whose bytes are `page`, the last page of `chain`.
    Status useLastPage(PageChain& chain, uint32_t n, const uint8_t* page);

    PageAllocator& alloc_;
    Pager& pager_;
    TableDef def_;
    std::vector<ColumnRules> rules_;
    Result<Jet4RowLayout> layout_;
    PageChain rows_;
    std::map<uint16_t, PageChain> long_values_;  // by column number
    bool counters_changed_ = false;

    // Buffers of the row being appended, parallel to def_.columns, kept from row to row so
    // that appending allocates nothing once they have grown.
    std::vector<EncodedValue> encoded_;
    std::vector<CellBytes> cells_;
    std::vector<std::vector<uint8_t>> long_cells_;  // header, and the value when inline
    std::vector<uint8_t> inline_;                   // 1: the long value stays in the row
    std::vector<uint8_t> row_;
    std::vector<uint8_t> chunk_;
};

}  // namespace jet
