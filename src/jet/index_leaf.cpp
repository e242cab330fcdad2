#include "jet/index_leaf.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/format.h"

namespace jet {
namespace {

constexpr uint32_t kOwnerOffset = 4;
constexpr uint32_t kPrevOffset = 12;
constexpr uint32_t kNextOffset = 16;
constexpr uint32_t kTailOffset = 20;
constexpr uint32_t kPrefixOffset = 24;
constexpr uint32_t kBitmapOffset = 27;
constexpr uint32_t kFirstEntryOffset = 0x1E0;
constexpr size_t kRowIdSize = 4;

bool sameKey(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end() - kRowIdSize, b.begin());
}

}  // namespace

Result<IndexLeaf> parseIndexLeaf(const uint8_t* page, uint32_t page_size, uint32_t n) {
    auto corrupt = [&](const std::string& what) {
        return Status::corrupt("index page " + std::to_string(n) + ": " + what);
    };
    if (page[0] != kPageIndexLeaf)
        return corrupt("not an index leaf page");
    IndexLeaf leaf;
    leaf.owner = le32(page + kOwnerOffset);
    leaf.prev = le32(page + kPrevOffset);
    leaf.next = le32(page + kNextOffset);
    const uint32_t prefix = le16(page + kPrefixOffset);
    const uint32_t used = page_size - le16(page + 2);
    if (used < kFirstEntryOffset || used > page_size)
        return corrupt("bad free-space word");
    const uint32_t area = used - kFirstEntryOffset;
    const uint8_t* bitmap = page + kBitmapOffset;
    const uint8_t* data = page + kFirstEntryOffset;
    uint32_t prev_end = 0;
    for (uint32_t pos = 1; pos <= area; ++pos) {
        if (!((bitmap[pos / 8] >> (pos % 8)) & 1))
            continue;
        std::vector<uint8_t> e;
        if (!leaf.entries.empty()) {
            e.assign(leaf.entries.front().begin(), leaf.entries.front().begin() + prefix);
        }
        e.insert(e.end(), data + prev_end, data + pos);
        if (leaf.entries.empty() && e.size() < prefix)
            return corrupt("prefix longer than entry");
        if (e.size() <= kRowIdSize)
            return corrupt("entry shorter than a row id");
        leaf.entries.push_back(std::move(e));
        prev_end = pos;
    }
    if (prev_end != area)
        return corrupt("entry bitmap does not end at the last entry");
    return leaf;
}

Status writeIndexLeaf(const IndexLeaf& leaf, uint8_t* page, uint32_t page_size, uint32_t n) {
    const uint32_t area = page_size - kFirstEntryOffset;
    const uint32_t max_bits = (kFirstEntryOffset - kBitmapOffset) * 8;
    auto stored_size = [&](size_t prefix) {
        size_t total = 0;
        for (size_t i = 0; i < leaf.entries.size(); ++i) {
            total += leaf.entries[i].size() - (i == 0 ? 0 : prefix);
        }
        return total;
    };
    size_t prefix = 0;
    if (stored_size(0) > area && leaf.entries.size() > 1) {
        const auto& first = leaf.entries.front();
        prefix = first.size() - kRowIdSize;
        for (const auto& e : leaf.entries) {
            size_t k = 0;
            while (k < prefix && k < e.size() && e[k] == first[k])
                ++k;
            prefix = k;
        }
    }
    const size_t total = stored_size(prefix);
    if (total > area || total >= max_bits) {
        return Status::notSupported("index page " + std::to_string(n) +
                                    " is full; indexes that span several pages are not "
                                    "supported");
    }
    std::memset(page, 0, page_size);
    page[0] = kPageIndexLeaf;
    page[1] = 0x01;
    put16(page + 2, static_cast<uint16_t>(area - total));
    put32(page + kOwnerOffset, leaf.owner);
    put32(page + kPrevOffset, leaf.prev);
    put32(page + kNextOffset, leaf.next);
    put32(page + kTailOffset, 0);
    put16(page + kPrefixOffset, static_cast<uint16_t>(prefix));
    uint32_t pos = 0;
    for (size_t i = 0; i < leaf.entries.size(); ++i) {
        const auto& e = leaf.entries[i];
        const size_t skip = i == 0 ? 0 : prefix;
        std::memcpy(page + kFirstEntryOffset + pos, e.data() + skip, e.size() - skip);
        pos += static_cast<uint32_t>(e.size() - skip);
        page[kBitmapOffset + pos / 8] |= static_cast<uint8_t>(1u << (pos % 8));
    }
    return Status::ok();
}

bool insertIndexEntry(IndexLeaf& leaf, std::vector<uint8_t> entry, bool unique) {
    auto it = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry);
    if (unique) {
        if (it != leaf.entries.end() && sameKey(*it, entry))
            return false;
        if (it != leaf.entries.begin() && sameKey(*(it - 1), entry))
            return false;
    }
    leaf.entries.insert(it, std::move(entry));
    return true;
}

}  // namespace jet
