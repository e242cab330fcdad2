#include "jet/row_reader.h"

#include <string>

#include "jet/data_page.h"
#include "jet/format.h"

namespace jet {
namespace {

constexpr int kMaxOverflowHops = 8;

std::string where(RowPointer p) {
    return "page " + std::to_string(p.page) + " row " + std::to_string(p.row);
}

}  // namespace

Result<std::optional<std::vector<uint8_t>>> readStoredRow(Pager& pager, RowPointer at) {
    for (int hop = 0; hop <= kMaxOverflowHops; ++hop) {
        JET_ASSIGN_OR_RETURN(PageRef p, pager.read(at.page));
        if (p->data()[0] != kPageData) {
            return Status::corrupt(where(at) + ": not a data page");
        }
        DataPageView view{const_cast<uint8_t*>(p->data()), pager.pageSize(), at.page};
        JET_ASSIGN_OR_RETURN(auto ext, view.rowExtent(at.row));
        const uint16_t entry = view.rowEntry(at.row);
        if (entry & kRowDeleted)
            return std::optional<std::vector<uint8_t>>();
        if (entry & kRowOverflow) {
            if (ext.second - ext.first < 4) {
                return Status::corrupt(where(at) + ": overflow pointer is truncated");
            }
            at = RowPointer::decode(le32(p->data() + ext.first));
            continue;
        }
        return std::optional<std::vector<uint8_t>>(
            std::vector<uint8_t>(p->data() + ext.first, p->data() + ext.second));
    }
    return Status::corrupt(where(at) + ": too many overflow hops");
}

Result<std::vector<uint8_t>> readLongValue(Pager& pager, const std::vector<uint8_t>& field) {
    if (field.size() < 12)
        return Status::corrupt("long value header is truncated");
    const uint32_t word = le32(field.data());
    const uint32_t len = word & 0x3FFFFFFF;
    const uint32_t kind = word & 0xC0000000;
    if (kind == 0x80000000) {
        if (field.size() - 12 < len)
            return Status::corrupt("inline long value is truncated");
        return std::vector<uint8_t>(field.begin() + 12, field.begin() + 12 + len);
    }
    RowPointer at = RowPointer::decode(le32(field.data() + 4));
    std::vector<uint8_t> out;
    if (kind == 0x40000000) {
        JET_ASSIGN_OR_RETURN(auto row, readStoredRow(pager, at));
        if (!row || row->size() < len)
            return Status::corrupt(where(at) + ": long value is short");
        row->resize(len);
        return std::move(*row);
    }
    if (kind != 0)
        return Status::corrupt("unknown long value kind");
    // A chain: bounded by the length it announces.
    const size_t max_hops = len / 1000 + 16;
    for (size_t hop = 0; out.size() < len; ++hop) {
        if (hop > max_hops || at.isNull())
            return Status::corrupt("long value chain is broken");
        JET_ASSIGN_OR_RETURN(auto row, readStoredRow(pager, at));
        if (!row || row->size() < 4)
            return Status::corrupt(where(at) + ": bad chain row");
        out.insert(out.end(), row->begin() + 4, row->end());
        at = RowPointer::decode(le32(row->data()));
    }
    out.resize(len);
    return out;
}

Result<RowFields> RowFields::parse(const TableDef& def, std::vector<uint8_t> row, RowPointer at) {
    RowFields f;
    auto corrupt = [&](const char* what) { return Status::corrupt(where(at) + ": " + what); };
    if (row.size() < 2)
        return corrupt("row is too short");
    f.num_cols_ = le16(row.data());
    const uint32_t mask_len = (f.num_cols_ + 7) / 8;
    if (row.size() < 2 + mask_len)
        return corrupt("row is shorter than its null mask");
    f.mask_start_ = static_cast<uint32_t>(row.size() - mask_len);
    if (def.num_var_cols > 0) {
        if (f.mask_start_ < 4)
            return corrupt("row has no room for its variable-column count");
        const uint32_t v = le16(row.data() + f.mask_start_ - 2);
        if (2 * (v + 1) + 2 > f.mask_start_)
            return corrupt("variable-column table is too long");
        const uint32_t table = f.mask_start_ - 2 - 2 * (v + 1);  // where eod is stored
        // Entries: eod at `table`, then var v-1 ... var 0.
        for (uint32_t k = 0; k < v; ++k) {
            const uint32_t start = le16(row.data() + f.mask_start_ - 4 - 2 * k);
            const uint32_t end = le16(row.data() + f.mask_start_ - 6 - 2 * k);
            if (start > end || end > table)
                return corrupt("variable column runs out of the row");
            f.var_.emplace_back(start, end);
        }
    }
    f.row_ = std::move(row);
    return f;
}

bool RowFields::isNull(const ColumnDef& col) const {
    if (col.number >= num_cols_)
        return true;
    return !((row_[mask_start_ + col.number / 8] >> (col.number % 8)) & 1);
}

std::vector<uint8_t> RowFields::bytes(const ColumnDef& col) const {
    if (isNull(col))
        return {};
    if (col.isFixed()) {
        const size_t start = 2 + size_t{col.fixed_offset};
        if (start + col.length > mask_start_)
            return {};
        return std::vector<uint8_t>(row_.begin() + start, row_.begin() + start + col.length);
    }
    if (col.var_index >= var_.size())
        return {};
    const auto [s, e] = var_[col.var_index];
    return std::vector<uint8_t>(row_.begin() + s, row_.begin() + e);
}

int32_t RowFields::long32(const ColumnDef& col) const {
    const auto b = bytes(col);
    return b.size() == 4 ? static_cast<int32_t>(le32(b.data())) : 0;
}

int16_t RowFields::int16(const ColumnDef& col) const {
    const auto b = bytes(col);
    return b.size() == 2 ? static_cast<int16_t>(le16(b.data())) : 0;
}

}  // namespace jet
