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

}  // namespace jet
