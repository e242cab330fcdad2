#include "jet/map_row.h"

#include <cstring>

#include "jet/data_page.h"

namespace jet {

std::string mapName(RowPointer map) {
    return "usage map at page " + std::to_string(map.page) + " row " + std::to_string(map.row);
}

Result<MapRow> loadMapRow(Pager& pager, RowPointer map, bool for_write, const Format& format) {
    MapRow row;
    if (for_write) {
        JET_ASSIGN_OR_RETURN(row.page, pager.write(map.page));
    } else {
        JET_ASSIGN_OR_RETURN(PageRef p, pager.read(map.page));
        // Only read through below; the const comes back by never writing through it.
        row.page = std::const_pointer_cast<Page>(p);
    }
    if (row.page->data()[0] != kPageData)
        return Status::corrupt(mapName(map) + ": the page is not a data page");
    auto offsets = RowOffsets::read(row.page->data(), format, map.page);
    auto slot = offsets ? offsets->slot(map.row) : Result<RowSlot>(offsets.status());
    if (!slot)
        return slot.status().withContext(mapName(map));
    if (slot->deleted())
        return Status::corrupt(mapName(map) + ": the row is deleted");
    row.start = slot->start;
    row.len = slot->size();
    if (row.len < 1)
        return Status::corrupt(mapName(map) + ": the row is empty");
    if (row.type() == kInlineMap && row.len < kInlineMapHeader)
        return Status::corrupt(mapName(map) + ": inline map row is too short");
    if (row.type() != kInlineMap && row.type() != kReferenceMap)
        return Status::corrupt(mapName(map) + ": unknown map type " + std::to_string(row.type()));
    return row;
}

Result<PageRef> readBitmapPage(Pager& pager, RowPointer map, uint32_t n) {
    JET_ASSIGN_OR_RETURN(PageRef page, pager.read(n));
    if (page->data()[0] != kPageUsageBitmap) {
        return Status::corrupt(mapName(map) + ": page " + std::to_string(n) +
                               " is not a usage bitmap page");
    }
    return page;
}

void initBitmapPage(Page& page, bool fill) {
    std::memset(page.data(), fill ? 0xFF : 0x00, page.size());
    page.data()[0] = kPageUsageBitmap;
    page.data()[1] = 0x01;
    page.data()[2] = 0;
    page.data()[3] = 0;
}

// ---------------------------------------------------------------------------------------------
// UsageMapPages

Result<UsageMapPages> UsageMapPages::open(Pager& pager, const Format& format, RowPointer map) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager, map, false, format));
    UsageMapPages pages(pager, map);
    pages.per_bitmap_ = pagesPerBitmapPage(pager.pageSize());
    if (row.type() == kInlineMap) {
        pages.first_page_ = row.firstPage();
        pages.inline_bits_.assign(row.bytes() + kInlineMapHeader, row.bytes() + row.len);
        return pages;
    }
    pages.reference_ = true;
    pages.bitmap_pages_.resize(row.slotCount());
    for (uint32_t s = 0; s < row.slotCount(); ++s) {
        const uint32_t bp = row.slotPage(s);
        pages.bitmap_pages_[s] = bp;
        for (uint32_t e = 0; bp != 0 && e < s; ++e) {
            if (pages.bitmap_pages_[e] == bp) {
                return Status::corrupt(mapName(map) + ": bitmap page " + std::to_string(bp) +
                                       " is listed twice");
            }
        }
    }
    return pages;
}

Result<bool> UsageMapPages::next(uint32_t& page) {
    if (!reference_) {
        const uint32_t nbits = static_cast<uint32_t>(inline_bits_.size()) * 8;
        while (bit_ < nbits) {
            const uint32_t i = bit_++;
            if (inline_bits_[i / 8] == 0) {
                bit_ = (i / 8 + 1) * 8;  // a byte without marks is passed over whole
                continue;
            }
            if (!mapBit(inline_bits_.data(), i))
                continue;
            if (uint64_t{first_page_} + i > UINT32_MAX) {
                return Status::corrupt(mapName(map_) + ": inline map starting at page " +
                                       std::to_string(first_page_) + " reaches past page " +
                                       std::to_string(UINT32_MAX));
            }
            page = first_page_ + i;
            return true;
        }
        return false;
    }
    while (slot_ < bitmap_pages_.size()) {
        if (bitmap_pages_[slot_] == 0) {
            ++slot_;
            continue;
        }
        if (!bitmap_) {
            JET_ASSIGN_OR_RETURN(bitmap_, readBitmapPage(*pager_, map_, bitmap_pages_[slot_]));
            bit_ = 0;
        }
        const uint8_t* bits = bitmap_->data() + kBitmapPageHeader;
        while (bit_ < per_bitmap_) {
            const uint32_t i = bit_++;
            if (bits[i / 8] == 0) {
                bit_ = (i / 8 + 1) * 8;
                continue;
            }
            if (mapBit(bits, i)) {
                page = slot_ * per_bitmap_ + i;
                return true;
            }
        }
        bitmap_.reset();
        ++slot_;
    }
    return false;
}

Result<std::vector<uint32_t>> listUsageMap(Pager& pager, const Format& format, RowPointer map,
                                           uint32_t limit) {
    JET_ASSIGN_OR_RETURN(UsageMapPages pages, UsageMapPages::open(pager, format, map));
    std::vector<uint32_t> out;
    uint32_t page = 0;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, pages.next(page));
        if (!more || page >= limit)
            return out;
        out.push_back(page);
    }
}

}  // namespace jet
