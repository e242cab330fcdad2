#include "jet/tdef.h"

#include <algorithm>
#include <set>

#include "jet/codepage.h"
#include "jet/text.h"

namespace jet {
namespace {

// The longest TDEF chain we follow; real tables with 255 columns and many indexes need a few.
constexpr size_t kMaxTdefPages = 64;

// Bounds-checked reader over the logical TDEF buffer.
class Cursor {
  public:
    Cursor(const std::vector<uint8_t>& buf, uint32_t page) : buf_(buf), page_(page) {}

    bool has(size_t off, size_t n) const { return off <= buf_.size() && n <= buf_.size() - off; }
    Status need(size_t off, size_t n, const char* what) const {
        if (has(off, n))
            return Status::ok();
        return Status::corrupt("table definition at page " + std::to_string(page_) + ": " + what +
                               " runs past the end of the definition");
    }
    const uint8_t* at(size_t off) const { return buf_.data() + off; }

  private:
    const std::vector<uint8_t>& buf_;
    uint32_t page_;
};

Result<std::vector<uint8_t>> loadBuffer(Pager& pager, uint32_t first,
                                        std::vector<uint32_t>& pages) {
    std::vector<uint8_t> buf;
    std::set<uint32_t> seen;
    uint32_t n = first;
    while (n != 0) {
        if (!seen.insert(n).second) {
            return Status::corrupt("table definition at page " + std::to_string(first) +
                                   ": continuation pages loop back to page " + std::to_string(n));
        }
        if (seen.size() > kMaxTdefPages) {
            return Status::corrupt("table definition at page " + std::to_string(first) +
                                   ": too many continuation pages");
        }
        JET_ASSIGN_OR_RETURN(PageRef page, pager.read(n));
        if (page->bytes[0] != kPageTdef) {
            return Status::corrupt("page " + std::to_string(n) +
                                   " should hold a table definition but has page type " +
                                   std::to_string(page->bytes[0]));
        }
        pages.push_back(n);
        if (buf.empty()) {
            buf.assign(page->bytes.begin(), page->bytes.end());
        } else {
            buf.insert(buf.end(), page->bytes.begin() + 8, page->bytes.end());
        }
        n = le32(page->data() + 4);
    }
    return buf;
}

Result<std::string> readName(const Cursor& c, size_t& off, const Format& f, uint16_t code_page) {
    JET_RETURN_IF_ERROR(c.need(off, f.name_len_size, "a name length"));
    size_t len = f.name_len_size == 2 ? le16(c.at(off)) : *c.at(off);
    off += f.name_len_size;
    JET_RETURN_IF_ERROR(c.need(off, len, "a name"));
    std::u16string name = f.version == JetVersion::kJet4
                              ? decodeJet4Text(c.at(off), len)
                              : decodeCodePage(code_page, c.at(off), len);
    off += len;
    return toUtf8(name);
}

}  // namespace

uint32_t TableDef::fixedAreaSize() const {
    uint32_t end = 0;
    for (const auto& col : columns) {
        if (col.isFixed() && col.type != ColumnType::kBoolean) {
            end = std::max<uint32_t>(end, col.fixed_offset + col.length);
        }
    }
    return end;
}

const ColumnDef* TableDef::findColumn(const std::string& name) const {
    for (const auto& col : columns)
        if (col.name == name)
            return &col;
    return nullptr;
}

Result<TableDef> readTableDef(Pager& pager, JetVersion version, uint16_t code_page, uint32_t page) {
    const Format& f = formatFor(version);
    TableDef def;
    def.tdef_page = page;
    JET_ASSIGN_OR_RETURN(std::vector<uint8_t> buf, loadBuffer(pager, page, def.tdef_pages));
    Cursor c(buf, page);
    JET_RETURN_IF_ERROR(c.need(0, f.tdef_sections, "the table header"));

    def.tdef_len = le32(c.at(8));
    def.num_rows = le32(c.at(f.tdef_num_rows));
    def.autonumber = le32(c.at(f.tdef_autonumber));
    def.table_type = *c.at(f.tdef_table_type);
    def.max_cols = le16(c.at(f.tdef_max_cols));
    def.num_var_cols = le16(c.at(f.tdef_num_var_cols));
    const uint16_t num_cols = le16(c.at(f.tdef_num_cols));
    const uint32_t num_idx = le32(c.at(f.tdef_num_idx));
    const uint32_t num_real_idx = le32(c.at(f.tdef_num_real_idx));
    def.owned_map = RowPointer::decode(le32(c.at(f.tdef_owned_map)));
    def.free_map = RowPointer::decode(le32(c.at(f.tdef_free_map)));

    // A table has at most 255 columns and 32 indexes; anything far beyond is damage, and would
    // otherwise make us size vectors from garbage.
    if (num_cols > 4096 || num_idx > 1024 || num_real_idx > 1024) {
        return Status::corrupt("table definition at page " + std::to_string(page) +
                               ": implausible column or index count");
    }

    size_t off = f.tdef_sections;
    JET_RETURN_IF_ERROR(
        c.need(off, size_t{num_real_idx} * f.real_idx_counter_size, "the index counters"));
    def.real_indexes.resize(num_real_idx);
    for (uint32_t i = 0; i < num_real_idx; ++i) {
        def.real_indexes[i].unique_count = le32(c.at(off + 4));
        off += f.real_idx_counter_size;
    }

    JET_RETURN_IF_ERROR(c.need(off, size_t{num_cols} * f.column_desc_size, "the column list"));
    def.columns.resize(num_cols);
    for (uint16_t i = 0; i < num_cols; ++i) {
        const uint8_t* d = c.at(off);
        ColumnDef& col = def.columns[i];
        col.type_code = d[f.col_type];
        col.type = static_cast<ColumnType>(col.type_code);
        col.number = le16(d + f.col_number);
        col.var_index = le16(d + f.col_var_index);
        col.flags = d[f.col_flags];
        col.ext_flags = f.col_ext_flags ? d[f.col_ext_flags] : 0;
        col.fixed_offset = le16(d + f.col_fixed_offset);
        col.length = le16(d + f.col_length);
        if (col.type == ColumnType::kNumeric) {
            col.precision = d[f.col_sort_order];
            col.scale = d[f.col_sort_order + 1];
        } else {
            col.sort_order = le16(d + f.col_sort_order);
        }
        off += f.column_desc_size;
    }
    for (auto& col : def.columns) {
        JET_ASSIGN_OR_RETURN(col.name, readName(c, off, f, code_page));
    }

    JET_RETURN_IF_ERROR(
        c.need(off, size_t{num_real_idx} * f.real_idx_def_size, "the index definitions"));
    const size_t base = version == JetVersion::kJet4 ? 4 : 0;
    for (auto& ri : def.real_indexes) {
        const uint8_t* d = c.at(off);
        for (int k = 0; k < 10; ++k) {
            const uint16_t colnum = le16(d + base + 3 * k);
            if (colnum != 0xFFFF)
                ri.columns.push_back({colnum, (d[base + 3 * k + 2] & 1) != 0});
        }
        ri.owned_map = RowPointer::decode(le32(d + base + 30));
        ri.root_page = le32(d + base + 34);
        ri.flags = d[version == JetVersion::kJet4 ? 46 : 38];
        off += f.real_idx_def_size;
    }

    JET_RETURN_IF_ERROR(
        c.need(off, size_t{num_idx} * f.logical_idx_def_size, "the logical index list"));
    def.indexes.resize(num_idx);
    for (auto& li : def.indexes) {
        const uint8_t* d = c.at(off);
        li.number = le32(d + base);
        li.real_index = le32(d + base + 4);
        li.type = d[base + 19];
        off += f.logical_idx_def_size;
    }
    for (auto& li : def.indexes) {
        JET_ASSIGN_OR_RETURN(li.name, readName(c, off, f, code_page));
    }

    // Long-value column maps (Jet 4): entries of column number + two row pointers, ended by
    // FFFF. Readers do not need them, so a damaged list is ignored rather than fatal.
    if (version == JetVersion::kJet4) {
        while (c.has(off, 2) && le16(c.at(off)) != 0xFFFF && c.has(off, 10)) {
            def.long_value_maps.push_back({le16(c.at(off)), RowPointer::decode(le32(c.at(off + 2))),
                                           RowPointer::decode(le32(c.at(off + 6)))});
            off += 10;
            if (def.long_value_maps.size() > num_cols)
                break;
        }
    }

    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
    return def;
}

}  // namespace jet
