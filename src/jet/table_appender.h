// Appending rows to one Jet 4 table: value checks, long values (MEMO/OLE) on LVAL pages,
// row packing, data pages, the table's and columns' usage maps, and the TDEF counters.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jet/page_allocator.h"
#include "jet/properties.h"
#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

class TableAppender {
  public:
    // `rules` is parallel to def.columns (missing entries: NULL and "" allowed).
    TableAppender(PageAllocator& alloc, TableDef def, std::vector<ColumnRules> rules);

    const TableDef& def() const { return def_; }

    // Adds one row; `values` is parallel to def().columns. An AutoNumber column given NULL
    // gets the next number. A row that is refused (wrong count, type, range, length, NULL in
    // a required column, too long) writes nothing; the error names the column.
    Status append(const std::vector<Value>& values) { return appendRow(values).status(); }
    // The same, returning where the row went.
    Result<RowPointer> appendRow(const std::vector<Value>& values);

    // Stores an already packed row on the table's data pages and returns where it went.
    // Counters are not touched (see addRows). Used for catalog rows.
    Result<RowPointer> insertRow(const std::vector<uint8_t>& row);
    // Adds `n` to the TDEF row count.
    Status addRows(uint32_t n);
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

    Result<std::vector<uint8_t>> storeLongValue(const ColumnDef& col,
                                                const std::vector<uint8_t>& value);
    Result<RowPointer> insertInto(PageChain& chain, const std::vector<uint8_t>& row);
    Status locate(PageChain& chain);
    // Makes page `n`, whose bytes are `page`, the last page of `chain`.
    Status useLastPage(PageChain& chain, uint32_t n, const uint8_t* page);

    PageAllocator& alloc_;
    Pager& pager_;
    TableDef def_;
    std::vector<ColumnRules> rules_;
    PageChain rows_;
    std::map<uint16_t, PageChain> long_values_;  // by column number
};

}  // namespace jet
