#include "jet/data_page.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/bytes.h"

namespace jet {
namespace {

std::string onPage(uint32_t number) {
    return "page " + std::to_string(number);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// RowOffsets

Result<RowOffsets> RowOffsets::read(const uint8_t* page, const Format& format, uint32_t number) {
    const uint32_t count = le16(page + format.data_row_count);
    if (format.data_row_table + 2 * count > format.page_size) {
        return Status::corrupt(onPage(number) + ": row count " + std::to_string(count) +
                               " does not fit the page");
    }
    return RowOffsets(page, format.page_size, format.data_row_table, count, number);
}

uint16_t RowOffsets::entry(uint32_t slot) const {
    return le16(page_ + table_ + 2 * slot);
}

Result<RowSlot> RowOffsets::slot(uint32_t slot) const {
    if (slot >= count_) {
        return Status::corrupt(onPage(number_) + " has no row " + std::to_string(slot) + " (" +
                               std::to_string(count_) + " rows)");
    }
    RowSlot s;
    s.flags = entry(slot) & ~kRowOffsetMask;
    s.start = entry(slot) & kRowOffsetMask;
    s.end = slot == 0 ? page_size_ : (entry(slot - 1) & kRowOffsetMask);
    if (s.start < tableEnd() || s.start > s.end || s.end > page_size_) {
        return Status::corrupt(onPage(number_) + " row " + std::to_string(slot) + ": bounds " +
                               std::to_string(s.start) + ".." + std::to_string(s.end) +
                               " are outside the page");
    }
    return s;
}

Result<uint32_t> RowOffsets::lowestStart() const {
    uint32_t lowest = page_size_;
    for (uint32_t i = 0; i < count_; ++i)
        lowest = std::min<uint32_t>(lowest, entry(i) & kRowOffsetMask);
    if (lowest < tableEnd())
        return Status::corrupt(onPage(number_) + ": a row starts inside the row-offset table");
    return lowest;
}

uint32_t RowOffsets::liveCount() const {
    uint32_t live = 0;
    for (uint32_t i = 0; i < count_; ++i)
        live += (entry(i) & kRowDeleted) ? 0 : 1;
    return live;
}

// ---------------------------------------------------------------------------------------------
// DataPageView

Result<RowOffsets> DataPageView::offsets() const {
    return RowOffsets::read(page, jet4Format(), number);
}

Result<uint32_t> DataPageView::freeSpace() const {
    JET_ASSIGN_OR_RETURN(RowOffsets rows, offsets());
    JET_ASSIGN_OR_RETURN(uint32_t lowest, rows.lowestStart());
    return lowest - rows.tableEnd();
}

Result<bool> DataPageView::fits(size_t len) const {
    JET_ASSIGN_OR_RETURN(RowOffsets rows, offsets());
    JET_ASSIGN_OR_RETURN(uint32_t lowest, rows.lowestStart());
    return roomFor(lowest - rows.tableEnd(), rows.count(), len);
}

void DataPageView::init(uint32_t owner) {
    std::memset(page, 0, page_size);
    initZeroed(owner);
}

void DataPageView::initZeroed(uint32_t owner) {
    page[0] = kPageData;
    page[1] = 0x01;
    put16(page + kDataPageFreeSpace,
          static_cast<uint16_t>(page_size - jet4Format().data_row_table));
    put32(page + kDataPageOwner, owner);
}

Result<uint8_t> DataPageView::appendRow(const uint8_t* row, size_t len) {
    JET_ASSIGN_OR_RETURN(uint32_t free, freeSpace());
    return appendRow(row, len, free);
}

Result<uint8_t> DataPageView::appendRow(const uint8_t* row, size_t len, uint32_t& free) {
    const Format& f = jet4Format();
    const uint32_t n = le16(page + f.data_row_count);
    if (!roomFor(free, n, len)) {
        return Status::corrupt(onPage(number) + " has no room for a row of " + std::to_string(len) +
                               " bytes");
    }
    const uint32_t table_end = f.data_row_table + 2 * n;
    const uint32_t start = table_end + free - static_cast<uint32_t>(len);
    std::memcpy(page + start, row, len);
    put16(page + table_end, static_cast<uint16_t>(start));
    put16(page + f.data_row_count, static_cast<uint16_t>(n + 1));
    free -= static_cast<uint32_t>(len) + 2;
    put16(page + kDataPageFreeSpace, static_cast<uint16_t>(free));
    return static_cast<uint8_t>(n);
}

Status DataPageView::replaceRow(uint32_t row, const std::vector<uint8_t>& bytes) {
    const uint32_t table = jet4Format().data_row_table;
    JET_ASSIGN_OR_RETURN(RowOffsets offs, offsets());
    const uint32_t n = offs.count();
    if (row >= n)
        return Status::corrupt(onPage(number) + " has no row " + std::to_string(row));
    std::vector<std::vector<uint8_t>> rows(n);
    std::vector<uint16_t> flags(n);
    for (uint32_t i = 0; i < n; ++i) {
        JET_ASSIGN_OR_RETURN(RowSlot s, offs.slot(i));
        rows[i].assign(page + s.start, page + s.end);
        flags[i] = s.flags;
    }
    rows[row] = bytes;
    size_t total = table + 2 * n;
    for (const auto& r : rows)
        total += r.size();
    if (total > page_size) {
        return Status::notSupported(onPage(number) + " cannot hold a row of " +
                                    std::to_string(bytes.size()) + " bytes");
    }
    uint32_t pos = page_size;
    std::vector<uint8_t> rebuilt(page, page + page_size);
    std::memset(rebuilt.data() + table, 0, page_size - table);
    for (uint32_t i = 0; i < n; ++i) {
        pos -= static_cast<uint32_t>(rows[i].size());
        std::memcpy(rebuilt.data() + pos, rows[i].data(), rows[i].size());
        put16(rebuilt.data() + table + 2 * i, static_cast<uint16_t>(pos | flags[i]));
    }
    put16(rebuilt.data() + kDataPageFreeSpace, static_cast<uint16_t>(pos - (table + 2 * n)));
    std::memcpy(page, rebuilt.data(), page_size);
    return Status::ok();
}

}  // namespace jet
