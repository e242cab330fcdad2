#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace jet {

std::vector<uint8_t> emptyInlineMap(size_t len) {
    return std::vector<uint8_t>(len, 0);
}

Result<bool> UsageMapEditor::test(RowPointer map, uint32_t page) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, map, false));
    if (row.type() == kInlineMap) {
        const uint32_t start = row.firstPage();
        if (page < start || page - start >= row.inlineBits())
            return false;
        return mapBit(row.bytes() + kInlineMapHeader, page - start);
    }
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint32_t slot = page / per;
    if (slot >= row.slotCount() || row.slotPage(slot) == 0)
        return false;
    JET_ASSIGN_OR_RETURN(PageRef bitmap, readBitmapPage(pager_, map, row.slotPage(slot)));
    return mapBit(bitmap->data() + kBitmapPageHeader, page - slot * per);
}

Result<std::vector<uint32_t>> UsageMapEditor::listed(RowPointer map, uint32_t limit) {
    return listUsageMap(pager_, jet4Format(), map, limit);
}

Status UsageMapEditor::set(RowPointer map, uint32_t page, bool value) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, map, true));
    if (row.type() == kInlineMap)
        return setInline(map, row, page, value);
    return setReference(map, row, page, value);
}

Status UsageMapEditor::setInline(RowPointer map, MapRow& row, uint32_t page, bool value) {
    uint8_t* b = row.bytes();
    const uint32_t start = row.firstPage();
    const uint32_t nbits = row.inlineBits();
    if (page >= start && page - start < nbits) {
        putMapBit(b + kInlineMapHeader, page - start, value);
        return Status::ok();
    }
    if (!value)
        return Status::ok();

    // Move the window if every listed page and the new one fit in it.
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, listUsageMap(pager_, jet4Format(), map));
    pages.push_back(page);
    const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
    const uint32_t new_start = *lo & ~7u;  // a multiple of 8, as the engines keep it
    if (*hi - new_start < nbits) {
        std::memset(b + kInlineMapHeader, 0, row.len - kInlineMapHeader);
        put32(b + 1, new_start);
        for (uint32_t p : pages)
            putMapBit(b + kInlineMapHeader, p - new_start, true);
        return Status::ok();
    }
    return promoteToReference(map, page);
}

// Rewrites an inline row as a reference map listing its pages and `page`. The bitmap pages
// are allocated before the row changes, so a failure there leaves the map as it was.
Status UsageMapEditor::promoteToReference(RowPointer map, uint32_t page) {
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, listUsageMap(pager_, jet4Format(), map));
    uint32_t slots = 0;
    {
        JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, map, false));
        slots = row.slotCount();
    }
    pages.push_back(page);
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    std::vector<uint32_t> used_slots;
    for (uint32_t p : pages)
        used_slots.push_back(p / per);
    std::sort(used_slots.begin(), used_slots.end());
    used_slots.erase(std::unique(used_slots.begin(), used_slots.end()), used_slots.end());
    if (used_slots.back() >= slots) {
        return Status::notSupported(mapName(map) +
                                    ": a reference map of this row cannot reach page " +
                                    std::to_string(page));
    }
    std::vector<uint32_t> bitmap_pages;
    for (size_t i = 0; i < used_slots.size(); ++i) {
        JET_ASSIGN_OR_RETURN(uint32_t bp, allocate_());
        bitmap_pages.push_back(bp);
    }
    for (size_t i = 0; i < used_slots.size(); ++i) {
        JET_ASSIGN_OR_RETURN(MutablePageRef bitmap, pager_.write(bitmap_pages[i]));
        initBitmapPage(*bitmap, false);
        for (uint32_t p : pages)
            if (p / per == used_slots[i])
                putMapBit(bitmap->data() + kBitmapPageHeader, p - used_slots[i] * per, true);
    }
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, map, true));
    std::memset(row.bytes(), 0, row.len);
    row.bytes()[0] = kReferenceMap;
    for (size_t i = 0; i < used_slots.size(); ++i)
        put32(row.bytes() + 1 + 4 * used_slots[i], bitmap_pages[i]);
    return Status::ok();
}

Status UsageMapEditor::setReference(RowPointer map, MapRow& row, uint32_t page, bool value) {
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint32_t slot = page / per;
    if (slot >= row.slotCount()) {
        if (!value)
            return Status::ok();
        return Status::notSupported(mapName(map) + ": page " + std::to_string(page) +
                                    " is beyond the reach of the map");
    }
    uint32_t bp = row.slotPage(slot);
    if (bp == 0) {
        if (!value)
            return Status::ok();
        JET_ASSIGN_OR_RETURN(bp, allocate_());
        {
            JET_ASSIGN_OR_RETURN(MutablePageRef bitmap, pager_.write(bp));
            initBitmapPage(*bitmap, false);
        }
        JET_ASSIGN_OR_RETURN(MapRow fresh, loadMapRow(pager_, map, true));
        put32(fresh.bytes() + 1 + 4 * slot, bp);
    }
    JET_RETURN_IF_ERROR(readBitmapPage(pager_, map, bp).status());
    JET_ASSIGN_OR_RETURN(MutablePageRef bitmap, pager_.write(bp));
    putMapBit(bitmap->data() + kBitmapPageHeader, page - slot * per, value);
    return Status::ok();
}

}  // namespace jet
