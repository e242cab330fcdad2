// Jet 4 data pages (type 0x01): the row-offset table at the front, rows packed from the end
// of the page downward. Used for table rows, long-value (LVAL) rows and usage-map rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/status.h"

namespace jet {

// Owner word of long-value pages: the ASCII bytes "LVAL".
constexpr uint32_t kLvalOwner = 0x4C41564C;
// Access and Jet never put more rows than this on one data page (row numbers are one byte).
constexpr uint32_t kMaxRowsPerDataPage = 255;

struct DataPageView {
    uint8_t* page;
    uint32_t page_size;
    uint32_t number;  // for messages

    uint16_t rowCount() const;
    // Bytes still free between the offset table and the lowest row, computed from the offsets.
    // kCorrupt when the offsets are inconsistent with the page.
    Result<uint32_t> freeSpace() const;
    // True when one more row of `len` bytes fits (room for it and its offset entry, and fewer
    // than 255 rows).
    Result<bool> fits(size_t len) const;
    // [start, end) of row `row` within the page; kCorrupt when out of range.
    Result<std::pair<uint32_t, uint32_t>> rowExtent(uint32_t row) const;
    uint16_t rowEntry(uint32_t row) const;

    // Writes a fresh empty data page owned by `owner` (a TDEF page, kLvalOwner, or 0 for
    // pages of usage-map rows).
    void init(uint32_t owner);
    // Adds a row below the lowest one and returns its row number. The caller checks fits().
    Result<uint8_t> appendRow(const uint8_t* row, size_t len);
    // Replaces the bytes of row `row` with `bytes` (any length), moving the rows stored below
    // it; flags of every entry are kept. kNotSupported when the page cannot hold the result.
    Status replaceRow(uint32_t row, const std::vector<uint8_t>& bytes);
};

}  // namespace jet
