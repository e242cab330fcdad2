// The pieces every usage map shares: the map row on its data page, bit access, bitmap pages,
// and UsageMapPages, the one lister of the pages a map marks. A map row is either inline
// (type 0: first page, then a bitmap) or a reference map (type 1: page numbers of bitmap
// pages, type 0x05, each covering (page_size - 4) * 8 consecutive pages, slot i starting at
// page i * that).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// The pages one usage map marks, ascending, inline and reference maps alike:
//
//   JET_ASSIGN_OR_RETURN(UsageMapPages pages, UsageMapPages::open(pager, format, map));
//   uint32_t p;
//   while (true) { JET_ASSIGN_OR_RETURN(bool more, pages.next(p)); if (!more) break; ... }
//
// Pages beyond the end of the file are listed as the map marks them; what they mean is the
// caller's business. The map row is copied at open(), so the pager may be used in between.
class UsageMapPages {
  public:
    // Loads and checks the map row at `map` (loadMapRow), and a reference map's slots: a
    // bitmap page named in two slots is kCorrupt.
    static Result<UsageMapPages> open(Pager& pager, const Format& format, RowPointer map);

    bool reference() const { return reference_; }
    // A reference map's bitmap page of each slot, 0 where there is none; empty when inline.
    const std::vector<uint32_t>& bitmapPages() const { return bitmap_pages_; }

    // The next marked page into `page`; false after the last. kCorrupt for a bitmap page that
    // is not of type 0x05, or an inline map reaching past page 2^32 - 1.
    Result<bool> next(uint32_t& page);

  private:
    UsageMapPages(Pager& pager, RowPointer map) : pager_(&pager), map_(map) {}

    Pager* pager_;
    RowPointer map_;
    bool reference_ = false;
    uint32_t first_page_ = 0;           // inline: the page bit 0 describes
    std::vector<uint8_t> inline_bits_;  // inline: the bitmap
    std::vector<uint32_t> bitmap_pages_;
    uint32_t per_bitmap_ = 0;  // pages one bitmap page describes
    // Position: the bit to look at next, within the inline bitmap or slot `slot_`.
    uint32_t slot_ = 0;
    uint32_t bit_ = 0;
    PageRef bitmap_;  // the current slot's bitmap page
};

// Every page the map at `map` marks below `limit`, ascending (UsageMapPages). The listing
// stops at the first page at or past `limit`: a damaged reference map can mark some 30 million
// pages, which would otherwise all be listed.
Result<std::vector<uint32_t>> listUsageMap(Pager& pager, const Format& format, RowPointer map,
                                           uint32_t limit = UINT32_MAX);

}  // namespace jet
