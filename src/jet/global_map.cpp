#include "jet/global_map.h"

#include <algorithm>
#include <vector>

#include "jet/data_page.h"
#include "jet/map_row.h"

namespace jet {
namespace {

// Access grows an inline global map by whole 4-byte steps: rows of 101, 105 and 129 bytes
// cover files of 743, 772 and 974 pages.
constexpr uint32_t kGrowthStep = 4;

}  // namespace

Status GlobalMap::markUsed(uint32_t page) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, false));
    if (row.type() == kInlineMap)
        return markUsedInline(page);
    return markUsedReference(page);
}

Status GlobalMap::markUsedInline(uint32_t page) {
    for (int step = 0; step < 3; ++step) {
        {
            JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, true));
            const uint32_t start = row.firstPage();
            if (page < start)
                return Status::ok();  // before the window: never handed out again
            if (page - start < row.inlineBits()) {
                putMapBit(row.bytes() + kInlineMapHeader, page - start, false);
                return Status::ok();
            }
        }
        if (step == 0)
            JET_RETURN_IF_ERROR(growInline(page));
        else if (step == 1)
            JET_RETURN_IF_ERROR(moveWindow(page));
    }
    return Status::corrupt(mapName(kRow) + ": the inline global map cannot take in page " +
                           std::to_string(page));
}

// Lengthens the row towards `page` as far as page 1 has room.
Status GlobalMap::growInline(uint32_t page) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, true));
    const uint64_t start = row.firstPage();
    const uint32_t old_bytes = row.len - kInlineMapHeader;
    DataPageView view{row.page->data(), pager_.pageSize(), kRow.page};
    JET_ASSIGN_OR_RETURN(uint32_t room, view.freeSpace());
    const uint64_t want = ((page - start) / 8 + kGrowthStep) / kGrowthStep * kGrowthStep;
    const uint64_t most = (uint64_t{old_bytes} + room) / kGrowthStep * kGrowthStep;
    const uint32_t new_bytes = static_cast<uint32_t>(std::min(want, most));
    if (new_bytes <= old_bytes)
        return Status::ok();
    std::vector<uint8_t> grown(row.bytes(), row.bytes() + row.len);
    grown.resize(kInlineMapHeader + new_bytes, 0);
    for (uint32_t i = old_bytes * 8; i < new_bytes * 8; ++i)
        putMapBit(grown.data() + kInlineMapHeader, i, start + i >= pager_.pageCount());
    return view.replaceRow(kRow.row, grown);
}

// Moves the window so that `page` lies in its middle. Pages the old window described keep
// their bits; the others are used when they are in the file and free beyond its end.
Status GlobalMap::moveWindow(uint32_t page) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, true));
    const uint64_t old_start = row.firstPage();
    const uint32_t nbits = row.inlineBits();
    if (nbits == 0)
        return Status::corrupt(mapName(kRow) + ": the inline global map has no bitmap");
    const uint64_t half = (nbits / 2) & ~7u;
    const uint64_t new_start = (page & ~uint64_t{7}) - std::min<uint64_t>(half, page & ~7u);
    uint8_t* bits = row.bytes() + kInlineMapHeader;
    std::vector<uint8_t> moved(nbits / 8, 0);
    for (uint32_t i = 0; i < nbits; ++i) {
        const uint64_t p = new_start + i;
        const bool free = (p >= old_start && p - old_start < nbits)
                              ? mapBit(bits, static_cast<uint32_t>(p - old_start))
                              : p >= pager_.pageCount();
        putMapBit(moved.data(), i, free);
    }
    put32(row.bytes() + 1, static_cast<uint32_t>(new_start));
    std::copy(moved.begin(), moved.end(), bits);
    return Status::ok();
}

Status GlobalMap::markUsedReference(uint32_t page) {
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint32_t slot = page / per;
    uint32_t bp = 0;
    {
        JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, false));
        if (slot >= row.slotCount()) {
            return Status::notSupported(
                mapName(kRow) + ": the global usage map cannot reach page " + std::to_string(page));
        }
        bp = row.slotPage(slot);
    }
    if (bp != 0) {
        JET_RETURN_IF_ERROR(readBitmapPage(pager_, kRow, bp).status());
        JET_ASSIGN_OR_RETURN(MutablePageRef bitmap, pager_.write(bp));
        putMapBit(bitmap->data() + kBitmapPageHeader, page - slot * per, false);
        return Status::ok();
    }
    // The file has just reached this slot's range: its bitmap page comes from the end of the
    // file. Every page of the range already in the file (`page` and the bitmap page itself
    // among them) is used.
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef fresh, pager_.allocate());
        bp = fresh->number;
        initBitmapPage(*fresh, true);
        const uint64_t first = uint64_t{slot} * per;
        for (uint32_t i = 0; i < per && first + i < pager_.pageCount(); ++i)
            putMapBit(fresh->data() + kBitmapPageHeader, i, false);
    }
    {
        JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, true));
        put32(row.bytes() + 1 + 4 * slot, bp);
    }
    // A bitmap page that falls into the next slot's range is recorded there.
    if (bp / per != slot)
        return markUsed(bp);
    return Status::ok();
}

Result<GlobalMap::PageState> GlobalMap::state(uint32_t page) {
    JET_ASSIGN_OR_RETURN(MapRow row, loadMapRow(pager_, kRow, false));
    const uint8_t* bits = nullptr;
    uint32_t index = 0;
    PageRef bitmap;
    if (row.type() == kInlineMap) {
        const uint32_t start = row.firstPage();
        if (page < start || page - start >= row.inlineBits())
            return PageState::kOutside;
        bits = row.bytes() + kInlineMapHeader;
        index = page - start;
    } else {
        const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
        const uint32_t slot = page / per;
        if (slot >= row.slotCount() || row.slotPage(slot) == 0)
            return PageState::kOutside;
        JET_ASSIGN_OR_RETURN(bitmap, readBitmapPage(pager_, kRow, row.slotPage(slot)));
        bits = bitmap->data() + kBitmapPageHeader;
        index = page - slot * per;
    }
    return mapBit(bits, index) ? PageState::kFree : PageState::kUsed;
}

}  // namespace jet
