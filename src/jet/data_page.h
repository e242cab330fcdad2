// Data pages (type 0x01) of Jet 3 and Jet 4: a short header, the row-offset table, and rows
// packed from the end of the page downward in slot order. They hold table rows, long-value
// (LVAL) rows and usage-map rows.
//
// RowOffsets is the one reader of the row-offset table: the reader's cursors, the writer and
// the checks all find rows through it. DataPageView adds rows to a Jet 4 page, the only
// format the writer writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/format.h"
#include "jet/status.h"

namespace jet {

// Owner word of long-value pages: the ASCII bytes "LVAL".
constexpr uint32_t kLvalOwner = 0x4C41564C;
// Access and Jet never put more rows than this on one data page (row numbers are one byte).
constexpr uint32_t kMaxRowsPerDataPage = 255;
// Offsets of the header fields every data page has in both formats.
constexpr uint32_t kDataPageFreeSpace = 2;
constexpr uint32_t kDataPageOwner = 4;

// The bytes one slot of the table points at: [start, end) within the page, and the flags of
// its entry (kRowDeleted, kRowOverflow).
struct RowSlot {
    uint32_t start = 0;
    uint32_t end = 0;
    uint16_t flags = 0;

    uint32_t size() const { return end - start; }
    bool deleted() const { return (flags & kRowDeleted) != 0; }
    bool overflow() const { return (flags & kRowOverflow) != 0; }
};

// The row-offset table of one data page. Slot k's row runs from its offset to the offset of
// slot k - 1 (the page end for slot 0), whatever the flags say. The view does not copy the
// page: it lives as long as the bytes it reads. It does not check the page type.
class RowOffsets {
  public:
    // The table of `page` (format.page_size bytes), page number `number` for messages.
    // kCorrupt when the row count does not fit the page.
    static Result<RowOffsets> read(const uint8_t* page, const Format& format, uint32_t number);

    uint32_t count() const { return count_; }
    // Slot `slot`'s entry as stored, flags included. `slot` < count().
    uint16_t entry(uint32_t slot) const;
    // The first byte after the table: no row may start before it.
    uint32_t tableEnd() const { return table_ + 2 * count_; }
    // Where slot `slot`'s row lies. kCorrupt for a slot beyond count(), or bounds outside the
    // area below the table.
    Result<RowSlot> slot(uint32_t slot) const;
    // The start of the lowest row (the page end on an empty page): free space lies between
    // tableEnd() and it. kCorrupt when a row starts inside the table.
    Result<uint32_t> lowestStart() const;
    // Slots not flagged deleted.
    uint32_t liveCount() const;

  private:
    RowOffsets(const uint8_t* page, uint32_t page_size, uint32_t table, uint32_t count,
               uint32_t number)
        : page_(page), page_size_(page_size), table_(table), count_(count), number_(number) {}

    const uint8_t* page_;
    uint32_t page_size_;
    uint32_t table_;  // offset of the first entry
    uint32_t count_;
    uint32_t number_;
};

// Adding rows to a Jet 4 data page.
struct DataPageView {
    uint8_t* page;
    uint32_t page_size;
    uint32_t number;  // for messages

    // The page's row-offset table, read as a Jet 4 page.
    Result<RowOffsets> offsets() const;
    // Bytes still free between the offset table and the lowest row, computed from the offsets.
    // kCorrupt when the offsets are inconsistent with the page.
    Result<uint32_t> freeSpace() const;
    // True when one more row of `len` bytes fits (room for it and its offset entry, and fewer
    // than 255 rows).
    Result<bool> fits(size_t len) const;
    // fits() for a page with `free` bytes free and `rows` slots.
    static bool roomFor(uint32_t free, uint32_t rows, size_t len) {
        return rows < kMaxRowsPerDataPage && len + 2 <= free;
    }

    // Writes a fresh empty data page owned by `owner` (a TDEF page, kLvalOwner, or 0 for
    // pages of usage-map rows).
    void init(uint32_t owner);
    // init() for a page whose bytes are all zero already (one Pager::allocate just gave).
    void initZeroed(uint32_t owner);
    // Adds a row below the lowest one and returns its row number. kCorrupt when it does not
    // fit (see fits()).
    Result<uint8_t> appendRow(const uint8_t* row, size_t len);
    // appendRow() for a caller that knows the page's free space and keeps it up to date:
    // `free` must be what freeSpace() returns, and comes back less the row and its entry.
    Result<uint8_t> appendRow(const uint8_t* row, size_t len, uint32_t& free);
    // Replaces the bytes of row `row` with `bytes` (any length), moving the rows stored below
    // it; flags of every entry are kept. kNotSupported when the page cannot hold the result.
    Status replaceRow(uint32_t row, const std::vector<uint8_t>& bytes);
};

}  // namespace jet
