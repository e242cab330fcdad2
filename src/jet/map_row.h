// The pieces every usage map shares: the map row on its data page, bit access, and bitmap
// pages. A map row is either inline (type 0: first page, then a bitmap) or a reference map
// (type 1: page numbers of bitmap pages, type 0x05, each covering (page_size - 4) * 8
// consecutive pages, slot i starting at page i * that).
#pragma once

#include <cstdint>
#include <string>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

constexpr uint8_t kInlineMap = 0x00;
constexpr uint8_t kReferenceMap = 0x01;
constexpr uint32_t kInlineMapHeader = 5;   // type byte + first page
constexpr uint32_t kBitmapPageHeader = 4;  // 05 01 00 00

// The bit capacity of one reference-map bitmap page.
inline uint32_t pagesPerBitmapPage(uint32_t page_size) {
    return (page_size - kBitmapPageHeader) * 8;
}

inline bool mapBit(const uint8_t* bits, uint32_t i) {
    return (bits[i / 8] >> (i % 8)) & 1;
}
inline void putMapBit(uint8_t* bits, uint32_t i, bool v) {
    if (v)
        bits[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    else
        bits[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
}

// One map row as it lies on its page. The page reference goes stale when the pager is asked
// for other pages (eviction, copy on write), so load the row again after allocating.
struct MapRow {
    MutablePageRef page;
    uint32_t start = 0;  // offset of the row within the page
    uint32_t len = 0;

    uint8_t* bytes() { return page->data() + start; }
    const uint8_t* bytes() const { return page->data() + start; }
    uint8_t type() const { return bytes()[0]; }
    // Inline maps: the first page the bitmap describes, and how many pages it describes.
    uint32_t firstPage() const { return le32(bytes() + 1); }
    uint32_t inlineBits() const { return (len - kInlineMapHeader) * 8; }
    // Reference maps: the number of bitmap-page slots, and the page in slot i (0: none yet).
    uint32_t slotCount() const { return (len - 1) / 4; }
    uint32_t slotPage(uint32_t i) const { return le32(bytes() + 1 + 4 * i); }
};

// "usage map at page 6 row 3", for messages.
std::string mapName(RowPointer map);

// Loads the map row at `map`, checking the page type, the row's extent and the map type.
// `for_write` marks the page dirty. The writer's maps are Jet 4; readers pass their file's
// format.
Result<MapRow> loadMapRow(Pager& pager, RowPointer map, bool for_write,
                          const Format& format = jet4Format());

// Reads bitmap page `n` of `map`, checking its type.
Result<PageRef> readBitmapPage(Pager& pager, RowPointer map, uint32_t n);

// Turns `page` into an empty bitmap page whose bits are all `fill`.
void initBitmapPage(Page& page, bool fill);

}  // namespace jet
