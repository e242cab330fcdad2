#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/data_page.h"
#include "jet/format.h"

namespace jet {
namespace {

constexpr uint8_t kInlineMap = 0x00;
constexpr uint8_t kReferenceMap = 0x01;
constexpr uint32_t kInlineHeader = 5;  // type byte + start page
constexpr uint32_t kBitmapPageHeader = 4;
// An inline global map grows by this many bitmap bytes at a time (512 pages).
constexpr uint32_t kGlobalGrowthBytes = 64;

std::string mapName(RowPointer map) {
    return "usage map at page " + std::to_string(map.page) + " row " + std::to_string(map.row);
}

bool getBit(const uint8_t* bits, uint32_t i) {
    return (bits[i / 8] >> (i % 8)) & 1;
}
void putBit(uint8_t* bits, uint32_t i, bool v) {
    if (v)
        bits[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    else
        bits[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
}

}  // namespace

std::vector<uint8_t> emptyInlineMap(size_t len) {
    return std::vector<uint8_t>(len, 0);
}

Result<UsageMapEditor::Row> UsageMapEditor::load(RowPointer map, bool for_write) {
    Row row;
    if (for_write) {
        JET_ASSIGN_OR_RETURN(row.page, pager_.write(map.page));
    } else {
        JET_ASSIGN_OR_RETURN(PageRef p, pager_.read(map.page));
        // Read-only use below; the const is restored by never writing through it.
        row.page = std::const_pointer_cast<Page>(p);
    }
    if (row.page->data()[0] != kPageData) {
        return Status::corrupt(mapName(map) + ": the page is not a data page");
    }
    DataPageView view{row.page->data(), pager_.pageSize(), map.page};
    JET_ASSIGN_OR_RETURN(auto ext, view.rowExtent(map.row));
    if (view.rowEntry(map.row) & kRowDeleted) {
        return Status::corrupt(mapName(map) + ": the row is deleted");
    }
    row.start = ext.first;
    row.len = ext.second - ext.first;
    if (row.len < 1)
        return Status::corrupt(mapName(map) + ": the row is empty");
    const uint8_t type = row.bytes()[0];
    if (type == kInlineMap && row.len < kInlineHeader) {
        return Status::corrupt(mapName(map) + ": inline map row is too short");
    }
    if (type != kInlineMap && type != kReferenceMap) {
        return Status::corrupt(mapName(map) + ": unknown map type " + std::to_string(type));
    }
    return row;
}

Result<bool> UsageMapEditor::test(RowPointer map, uint32_t page, bool outside) {
    JET_ASSIGN_OR_RETURN(Row row, load(map, false));
    const uint8_t* b = row.bytes();
    if (b[0] == kInlineMap) {
        const uint32_t start = le32(b + 1);
        const uint32_t nbits = (row.len - kInlineHeader) * 8;
        if (page < start || page - start >= nbits)
            return outside;
        return getBit(b + kInlineHeader, page - start);
    }
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint32_t slot = page / per;
    if (slot >= (row.len - 1) / 4)
        return outside;
    const uint32_t bp = le32(b + 1 + 4 * slot);
    if (bp == 0)
        return outside;
    JET_ASSIGN_OR_RETURN(PageRef bitmap, pager_.read(bp));
    if (bitmap->data()[0] != kPageUsageBitmap) {
        return Status::corrupt(mapName(map) + ": page " + std::to_string(bp) +
                               " is not a usage bitmap page");
    }
    return getBit(bitmap->data() + kBitmapPageHeader, page - slot * per);
}

Result<std::vector<uint32_t>> UsageMapEditor::listed(RowPointer map, uint32_t limit) {
    std::vector<uint32_t> out;
    JET_ASSIGN_OR_RETURN(Row row, load(map, false));
    const uint8_t* b = row.bytes();
    if (b[0] == kInlineMap) {
        const uint32_t start = le32(b + 1);
        const uint32_t nbytes = row.len - kInlineHeader;
        for (uint32_t i = 0; i < nbytes; ++i) {
            const uint8_t byte = b[kInlineHeader + i];
            if (!byte)
                continue;
            for (uint32_t k = 0; k < 8; ++k) {
                const uint64_t p = uint64_t{start} + i * 8 + k;
                if (((byte >> k) & 1) && p < limit)
                    out.push_back(static_cast<uint32_t>(p));
            }
        }
        return out;
    }
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint32_t slots = (row.len - 1) / 4;
    std::vector<uint32_t> bitmap_pages(slots);
    for (uint32_t s = 0; s < slots; ++s)
        bitmap_pages[s] = le32(b + 1 + 4 * s);
    for (uint32_t s = 0; s < slots; ++s) {
        const uint32_t bp = bitmap_pages[s];
        if (bp == 0)
            continue;
        JET_ASSIGN_OR_RETURN(PageRef bitmap, pager_.read(bp));
        if (bitmap->data()[0] != kPageUsageBitmap) {
            return Status::corrupt(mapName(map) + ": page " + std::to_string(bp) +
                                   " is not a usage bitmap page");
        }
        const uint8_t* bits = bitmap->data() + kBitmapPageHeader;
        for (uint32_t i = 0; i < per / 8; ++i) {
            if (!bits[i])
                continue;
            for (uint32_t k = 0; k < 8; ++k) {
                const uint64_t p = uint64_t{s} * per + i * 8 + k;
                if (((bits[i] >> k) & 1) && p < limit)
                    out.push_back(static_cast<uint32_t>(p));
            }
        }
    }
    return out;
}

Status UsageMapEditor::set(RowPointer map, uint32_t page, bool value, bool outside) {
    JET_ASSIGN_OR_RETURN(Row row, load(map, true));
    if (row.bytes()[0] == kInlineMap)
        return setInline(map, row, page, value, outside);
    return setReference(map, row, page, value, outside);
}

Status UsageMapEditor::setInline(RowPointer map, Row& row, uint32_t page, bool value,
                                 bool outside) {
    uint8_t* b = row.bytes();
    const uint32_t start = le32(b + 1);
    const uint32_t nbits = (row.len - kInlineHeader) * 8;
    if (page >= start && page - start < nbits) {
        putBit(b + kInlineHeader, page - start, value);
        return Status::ok();
    }
    if (value == outside)
        return Status::ok();
    if (outside)
        return growInline(map, row, page);

    // A table map: move the window if every listed page and the new one fit in it.
    std::vector<uint32_t> pages;
    for (uint32_t i = 0; i < nbits; ++i)
        if (getBit(b + kInlineHeader, i))
            pages.push_back(start + i);
    pages.push_back(page);
    const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
    const uint32_t new_start = *lo & ~7u;
    if (*hi - new_start < nbits) {
        std::memset(b + kInlineHeader, 0, row.len - kInlineHeader);
        put32(b + 1, new_start);
        for (uint32_t p : pages)
            putBit(b + kInlineHeader, p - new_start, true);
        return Status::ok();
    }
    JET_RETURN_IF_ERROR(promoteToReference(map, row));
    return set(map, page, value, outside);
}

Status UsageMapEditor::growInline(RowPointer map, Row& row, uint32_t page) {
    uint8_t* b = row.bytes();
    const uint32_t start = le32(b + 1);
    if (page < start) {
        return Status::notSupported(mapName(map) + ": page " + std::to_string(page) +
                                    " lies before the map's first page");
    }
    const uint32_t need_bytes = (page - start) / 8 + 1;
    const uint32_t new_bytes =
        (need_bytes + kGlobalGrowthBytes - 1) / kGlobalGrowthBytes * kGlobalGrowthBytes;
    std::vector<uint8_t> grown(b, b + row.len);
    grown.resize(kInlineHeader + new_bytes, 0xFF);  // pages not yet in the file are free
    putBit(grown.data() + kInlineHeader, page - start, false);
    DataPageView view{row.page->data(), pager_.pageSize(), map.page};
    Status st = view.replaceRow(map.row, grown);
    if (st.code() == Status::Code::kNotSupported) {
        return Status::notSupported("the global usage map cannot grow to cover page " +
                                    std::to_string(page) + "; the database is too large");
    }
    return st;
}

Status UsageMapEditor::promoteToReference(RowPointer map, Row& row) {
    uint8_t* b = row.bytes();
    const uint32_t start = le32(b + 1);
    const uint32_t nbits = (row.len - kInlineHeader) * 8;
    std::vector<uint32_t> pages;
    for (uint32_t i = 0; i < nbits; ++i)
        if (getBit(b + kInlineHeader, i))
            pages.push_back(start + i);
    std::memset(b, 0, row.len);
    b[0] = kReferenceMap;
    // `row` may go stale once pages are allocated below; set() reloads it every time.
    for (uint32_t p : pages)
        JET_RETURN_IF_ERROR(set(map, p, true, false));
    return Status::ok();
}

Status UsageMapEditor::setReference(RowPointer map, Row& row, uint32_t page, bool value,
                                    bool outside) {
    const uint32_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint32_t slot = page / per;
    const uint32_t slots = (row.len - 1) / 4;
    if (slot >= slots) {
        if (value == outside)
            return Status::ok();
        return Status::notSupported("page " + std::to_string(page) +
                                    " is beyond the reach of its usage map");
    }
    uint32_t bp = le32(row.bytes() + 1 + 4 * slot);
    if (bp == 0) {
        if (value == outside)
            return Status::ok();
        const uint32_t map_start = row.start;
        row.page.reset();
        uint32_t fresh = 0;
        if (outside) {
            // The global map itself: take the page directly, its bit is set below.
            JET_ASSIGN_OR_RETURN(MutablePageRef p, pager_.allocate());
            fresh = p->number;
        } else {
            JET_ASSIGN_OR_RETURN(fresh, allocate_());
        }
        {
            JET_ASSIGN_OR_RETURN(MutablePageRef p, pager_.write(fresh));
            std::memset(p->data(), outside ? 0xFF : 0x00, p->size());
            p->data()[0] = kPageUsageBitmap;
            p->data()[1] = 0x01;
            p->data()[2] = 0;
            p->data()[3] = 0;
        }
        JET_ASSIGN_OR_RETURN(MutablePageRef mp, pager_.write(map.page));
        put32(mp->data() + map_start + 1 + 4 * slot, fresh);
        bp = fresh;
        if (outside) {
            // Record the bitmap page itself as used, then the page asked for.
            JET_RETURN_IF_ERROR(set(map, fresh, false, true));
        }
    }
    JET_ASSIGN_OR_RETURN(MutablePageRef bitmap, pager_.write(bp));
    if (bitmap->data()[0] != kPageUsageBitmap) {
        return Status::corrupt("page " + std::to_string(bp) + " is not a usage bitmap page");
    }
    putBit(bitmap->data() + kBitmapPageHeader, page - slot * per, value);
    return Status::ok();
}

}  // namespace jet
