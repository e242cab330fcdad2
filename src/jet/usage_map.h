// Editing usage maps: the rows that record which pages belong to a table, a long-value
// column or an index (bit set = listed), and the global map on page 1 (bit set = free).
//
// Two stored forms exist. An inline map (type 0) holds a start page and a bitmap in the row
// itself; a reference map (type 1) holds page numbers of bitmap pages (type 0x05), each
// covering (page_size - 4) * 8 consecutive pages. Pages outside an inline map's window read
// as "not listed" for table maps and as "free" for the global map.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

class UsageMapEditor {
  public:
    // Allocates one page at the end of the file, marks it used in the global map, and
    // returns its number; used when a reference map needs another bitmap page.
    using PageAllocator = std::function<Result<uint32_t>()>;

    UsageMapEditor(Pager& pager, PageAllocator allocate)
        : pager_(pager), allocate_(std::move(allocate)) {}

    // Whether `page` is listed (bit set) in the map row at `map`. For the global map that
    // means "free"; pages outside the map's reach give `outside`.
    Result<bool> test(RowPointer map, uint32_t page, bool outside = false);

    // Sets the bit of `page` to `value`. For inline table maps (outside = false) a page past the
    // window shifts the window when every listed page still fits, and otherwise turns the row
    // into a reference map. Inline global maps (outside = true) grow in place on their page.
    Status set(RowPointer map, uint32_t page, bool value, bool outside = false);

    // Every page whose bit is set, ascending, up to (not including) `limit`.
    Result<std::vector<uint32_t>> listed(RowPointer map, uint32_t limit);

  private:
    struct Row {
        MutablePageRef page;
        uint32_t start = 0;  // offset of the row within the page
        uint32_t len = 0;
        uint8_t* bytes() { return page->data() + start; }
    };

    Result<Row> load(RowPointer map, bool for_write);
    Status setInline(RowPointer map, Row& row, uint32_t page, bool value, bool outside);
    Status setReference(RowPointer map, Row& row, uint32_t page, bool value, bool outside);
    Status promoteToReference(RowPointer map, Row& row);
    Status growInline(RowPointer map, Row& row, uint32_t page);

    Pager& pager_;
    PageAllocator allocate_;
};

// Writes the bytes of an empty inline map row of `len` bytes (type 0, start page 0).
std::vector<uint8_t> emptyInlineMap(size_t len = 69);

// The bit capacity of one reference-map bitmap page.
inline uint32_t pagesPerBitmapPage(uint32_t page_size) {
    return (page_size - 4) * 8;
}

}  // namespace jet
