#include "jet/data_page.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/format.h"

namespace jet {
namespace {

constexpr uint32_t kFreeSpaceOffset = 2;
constexpr uint32_t kOwnerOffset = 4;
constexpr uint32_t kRowCountOffset = 12;
constexpr uint32_t kRowTableOffset = 14;

}  // namespace

uint16_t DataPageView::rowCount() const {
    return le16(page + kRowCountOffset);
}

uint16_t DataPageView::rowEntry(uint32_t row) const {
    return le16(page + kRowTableOffset + 2 * row);
}

Result<uint32_t> DataPageView::freeSpace() const {
    const uint32_t n = rowCount();
    const uint32_t table_end = kRowTableOffset + 2 * n;
    if (table_end > page_size) {
        return Status::corrupt("page " + std::to_string(number) + ": row count " +
                               std::to_string(n) + " does not fit the page");
    }
    uint32_t lowest = page_size;
    for (uint32_t i = 0; i < n; ++i)
        lowest = std::min<uint32_t>(lowest, rowEntry(i) & kRowOffsetMask);
    if (lowest < table_end) {
        return Status::corrupt("page " + std::to_string(number) +
                               ": a row starts inside the row-offset table");
    }
    return lowest - table_end;
}

Result<bool> DataPageView::fits(size_t len) const {
    if (rowCount() >= kMaxRowsPerDataPage)
        return false;
    JET_ASSIGN_OR_RETURN(uint32_t free, freeSpace());
    return len + 2 <= free;
}

Result<std::pair<uint32_t, uint32_t>> DataPageView::rowExtent(uint32_t row) const {
    const uint32_t n = rowCount();
    if (row >= n || kRowTableOffset + 2 * n > page_size) {
        return Status::corrupt("page " + std::to_string(number) + " has no row " +
                               std::to_string(row));
    }
    const uint32_t start = rowEntry(row) & kRowOffsetMask;
    const uint32_t end = row == 0 ? page_size : (rowEntry(row - 1) & kRowOffsetMask);
    if (start > end || end > page_size || start < kRowTableOffset + 2 * n) {
        return Status::corrupt("page " + std::to_string(number) + ": row " + std::to_string(row) +
                               " has an impossible extent");
    }
    return std::make_pair(start, end);
}

void DataPageView::init(uint32_t owner) {
    std::memset(page, 0, page_size);
    page[0] = kPageData;
    page[1] = 0x01;
    put16(page + kFreeSpaceOffset, static_cast<uint16_t>(page_size - kRowTableOffset));
    put32(page + kOwnerOffset, owner);
}

Result<uint8_t> DataPageView::appendRow(const uint8_t* row, size_t len) {
    JET_ASSIGN_OR_RETURN(bool ok, fits(len));
    if (!ok) {
        return Status::corrupt("page " + std::to_string(number) + " has no room for a row of " +
                               std::to_string(len) + " bytes");
    }
    const uint32_t n = rowCount();
    uint32_t lowest = page_size;
    for (uint32_t i = 0; i < n; ++i)
        lowest = std::min<uint32_t>(lowest, rowEntry(i) & kRowOffsetMask);
    const uint32_t start = lowest - static_cast<uint32_t>(len);
    std::memcpy(page + start, row, len);
    put16(page + kRowTableOffset + 2 * n, static_cast<uint16_t>(start));
    put16(page + kRowCountOffset, static_cast<uint16_t>(n + 1));
    put16(page + kFreeSpaceOffset, static_cast<uint16_t>(start - (kRowTableOffset + 2 * (n + 1))));
    return static_cast<uint8_t>(n);
}

Status DataPageView::replaceRow(uint32_t row, const std::vector<uint8_t>& bytes) {
    const uint32_t n = rowCount();
    std::vector<std::vector<uint8_t>> rows(n);
    std::vector<uint16_t> flags(n);
    for (uint32_t i = 0; i < n; ++i) {
        JET_ASSIGN_OR_RETURN(auto ext, rowExtent(i));
        rows[i].assign(page + ext.first, page + ext.second);
        flags[i] = rowEntry(i) & ~kRowOffsetMask;
    }
    if (row >= n)
        return Status::corrupt("page " + std::to_string(number) + " has no row " +
                               std::to_string(row));
    rows[row] = bytes;
    size_t total = kRowTableOffset + 2 * n;
    for (const auto& r : rows)
        total += r.size();
    if (total > page_size) {
        return Status::notSupported("page " + std::to_string(number) + " cannot hold a row of " +
                                    std::to_string(bytes.size()) + " bytes");
    }
    uint32_t pos = page_size;
    std::vector<uint8_t> rebuilt(page, page + page_size);
    std::memset(rebuilt.data() + kRowTableOffset, 0, page_size - kRowTableOffset);
    for (uint32_t i = 0; i < n; ++i) {
        pos -= static_cast<uint32_t>(rows[i].size());
        std::memcpy(rebuilt.data() + pos, rows[i].data(), rows[i].size());
        put16(rebuilt.data() + kRowTableOffset + 2 * i, static_cast<uint16_t>(pos | flags[i]));
    }
    put16(rebuilt.data() + kFreeSpaceOffset,
          static_cast<uint16_t>(pos - (kRowTableOffset + 2 * n)));
    std::memcpy(page, rebuilt.data(), page_size);
    return Status::ok();
}

}  // namespace jet
