#include "jet/tdef_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/value.h"

namespace jet {
namespace {

constexpr uint32_t kTdefMagic = 1625;  // table header word and column/logical index word
constexpr uint32_t kRealIndexMagic = 1923;
constexpr uint32_t kTdefPageHeader = 8;
constexpr size_t kIndexColumnSlots = 10;

void push16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void push32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void pushName(std::vector<uint8_t>& b, const std::string& utf8) {
    const std::u16string u = fromUtf8(utf8);
    push16(b, static_cast<uint16_t>(u.size() * 2));
    for (char16_t c : u)
        push16(b, c);
}

}  // namespace

std::vector<uint8_t> buildJet4Tdef(const TableDef& def, const TdefStyle& style) {
    std::vector<uint8_t> b;
    b.reserve(1024);
    b.push_back(kPageTdef);
    b.push_back(0x01);
    push16(b, 0);  // free space, set when the pages are written
    push32(b, 0);  // next page
    push32(b, 0);  // tdef_len, patched below
    push32(b, kTdefMagic);
    push32(b, def.num_rows);
    push32(b, def.autonumber);
    b.push_back(0x01);  // set in every table seen; Access needs it for AutoNumber
    b.insert(b.end(), 15, 0);
    b.push_back(def.table_type);
    push16(b, def.max_cols);
    push16(b, def.num_var_cols);
    push16(b, static_cast<uint16_t>(def.columns.size()));
    push32(b, static_cast<uint32_t>(def.indexes.size()));
    push32(b, static_cast<uint32_t>(def.real_indexes.size()));
    push32(b, def.owned_map.encode());
    push32(b, def.free_map.encode());

    for (const auto& ri : def.real_indexes) {
        push32(b, 0);
        push32(b, ri.unique_count);
        push32(b, 0);
    }

    std::vector<const ColumnDef*> order;
    for (const auto& c : def.columns)
        order.push_back(&c);
    if (style.system_table) {
        std::sort(order.begin(), order.end(), [](const ColumnDef* a, const ColumnDef* c) {
            return fromUtf8(a->name) < fromUtf8(c->name);
        });
    } else {
        std::sort(order.begin(), order.end(),
                  [](const ColumnDef* a, const ColumnDef* c) { return a->number < c->number; });
    }
    for (const ColumnDef* c : order) {
        b.push_back(static_cast<uint8_t>(c->type));
        push32(b, kTdefMagic);
        push16(b, c->number);
        push16(b, c->var_index);
        push16(b, style.system_table ? 0 : c->number);
        if (c->type == ColumnType::kNumeric) {
            b.push_back(c->precision);
            b.push_back(c->scale);
            push16(b, 0);
        } else {
            push16(b, c->sort_order);
            b.push_back(0);
            b.push_back(style.sort_version);
        }
        b.push_back(c->flags);
        b.push_back(c->ext_flags);
        push32(b, 0);
        push16(b, c->isFixed() ? c->fixed_offset : 0);
        push16(b, c->length);
    }
    for (const ColumnDef* c : order)
        pushName(b, c->name);

    for (const auto& ri : def.real_indexes) {
        push32(b, kRealIndexMagic);
        for (size_t k = 0; k < kIndexColumnSlots; ++k) {
            if (k < ri.columns.size()) {
                push16(b, ri.columns[k].column_number);
                b.push_back(ri.columns[k].ascending ? 0x01 : 0x00);
            } else {
                push16(b, 0xFFFF);
                b.push_back(0);
            }
        }
        push32(b, ri.owned_map.encode());
        push32(b, ri.root_page);
        push32(b, 0);
        b.push_back(ri.flags);
        b.insert(b.end(), 5, 0);
    }
    for (const auto& li : def.indexes) {
        push32(b, kTdefMagic);
        push32(b, li.number);
        push32(b, li.real_index);
        b.push_back(0);
        push32(b, 0xFFFFFFFF);  // no related index
        push32(b, 0);
        b.push_back(0);
        b.push_back(0);
        b.push_back(li.type);
        push32(b, 0);
    }
    for (const auto& li : def.indexes)
        pushName(b, li.name);

    // Long-value maps follow the descriptor order.
    std::vector<LongValueMaps> lv;
    for (const ColumnDef* c : order) {
        for (const auto& m : def.long_value_maps)
            if (m.column_number == c->number)
                lv.push_back(m);
    }
    for (const auto& m : lv) {
        push16(b, m.column_number);
        push32(b, m.owned.encode());
        push32(b, m.free.encode());
    }
    push16(b, 0xFFFF);
    put32(b.data() + 8, static_cast<uint32_t>(b.size()));
    return b;
}

void assignVarSlotsOfFixedColumns(TableDef& def) {
    for (auto& c : def.columns) {
        if (!c.isFixed())
            continue;
        uint16_t before = 0;
        for (const auto& o : def.columns)
            if (!o.isFixed() && o.number < c.number)
                ++before;
        c.var_index = before;
    }
}

TdefPlacement placeTdefOffset(uint32_t off, uint32_t page_size) {
    if (off < page_size)
        return {0, off};
    const uint32_t rest = off - page_size;
    const uint32_t per = page_size - kTdefPageHeader;
    return {1 + rest / per, kTdefPageHeader + rest % per};
}

uint32_t tdefPageCount(size_t len, uint32_t page_size) {
    if (len <= page_size)
        return 1;
    const size_t per = page_size - kTdefPageHeader;
    return static_cast<uint32_t>(1 + (len - page_size + per - 1) / per);
}

Status writeTdefPages(Pager& pager, const std::vector<uint32_t>& pages,
                      const std::vector<uint8_t>& buffer) {
    const uint32_t ps = pager.pageSize();
    if (pages.size() != tdefPageCount(buffer.size(), ps)) {
        return Status::invalidArgument("table definition needs " +
                                       std::to_string(tdefPageCount(buffer.size(), ps)) + " pages");
    }
    size_t pos = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(pages[i]));
        uint8_t* d = p->data();
        std::memset(d, 0, ps);
        size_t room;
        if (i == 0) {
            room = std::min<size_t>(ps, buffer.size());
            std::memcpy(d, buffer.data(), room);
        } else {
            room = std::min<size_t>(ps - kTdefPageHeader, buffer.size() - pos);
            d[0] = kPageTdef;
            d[1] = 0x01;
            std::memcpy(d + kTdefPageHeader, buffer.data() + pos, room);
        }
        pos += room;
        const size_t used = i == 0 ? room : room + kTdefPageHeader;
        const int64_t free = static_cast<int64_t>(ps) - static_cast<int64_t>(used) - 8;
        put16(d + 2, static_cast<uint16_t>(std::max<int64_t>(free, 0)));
        put32(d + 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    }
    return Status::ok();
}

Status patchTdef(Pager& pager, const std::vector<uint32_t>& pages, uint32_t off,
                 const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const TdefPlacement at = placeTdefOffset(off + static_cast<uint32_t>(i), pager.pageSize());
        if (at.page_index >= pages.size()) {
            return Status::corrupt("table definition at page " +
                                   std::to_string(pages.empty() ? 0 : pages[0]) +
                                   " is shorter than expected");
        }
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(pages[at.page_index]));
        p->data()[at.offset] = bytes[i];
    }
    return Status::ok();
}

Status patchTdef32(Pager& pager, const std::vector<uint32_t>& pages, uint32_t off, uint32_t value) {
    uint8_t b[4];
    put32(b, value);
    return patchTdef(pager, pages, off, b, 4);
}

Result<uint32_t> readTdef32(Pager& pager, const std::vector<uint32_t>& pages, uint32_t off) {
    uint8_t b[4];
    for (uint32_t i = 0; i < 4; ++i) {
        const TdefPlacement at = placeTdefOffset(off + i, pager.pageSize());
        if (at.page_index >= pages.size()) {
            return Status::corrupt("table definition is shorter than expected");
        }
        JET_ASSIGN_OR_RETURN(PageRef p, pager.read(pages[at.page_index]));
        b[i] = p->data()[at.offset];
    }
    return le32(b);
}

}  // namespace jet
