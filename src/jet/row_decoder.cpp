#include "jet/row_decoder.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "jet/codepage.h"
#include "jet/data_page.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr int kMaxOverflowHops = 16;

std::string pageRow(RowPointer at) {
    return "page " + std::to_string(at.page) + " row " + std::to_string(at.row);
}

// Size in the fixed area of a fixed-length column.
uint32_t fixedSize(const ColumnDef& col) {
    if (col.type == ColumnType::kBoolean)
        return 0;
    const uint32_t size = typeSize(col.type);
    return size != 0 ? size : col.length;
}

}  // namespace

// Messages are built from it only when something is wrong: a conversion decodes tens of
// thousands of rows, and almost never needs one.
struct RowDecoder::Site {
    RowPointer at;
    const ColumnDef& col;

    std::string str() const { return pageRow(at) + " column " + col.name; }
};

RowDecoder::RowDecoder(Pager& pager, JetVersion version, uint16_t code_page)
    : pager_(pager), format_(formatFor(version)), code_page_(code_page) {}

Result<RawRow> RowDecoder::rowAt(RowPointer at, bool follow_overflow) {
    const Format& f = format_;
    for (int hop = 0; hop <= kMaxOverflowHops; ++hop) {
        JET_ASSIGN_OR_RETURN(PageRef page, pager_.read(at.page));
        const uint8_t* p = page->data();
        if (p[0] != kPageData) {
            return Status::corrupt(pageRow(at) + ": not a data page (type " + std::to_string(p[0]) +
                                   ")");
        }
        JET_ASSIGN_OR_RETURN(RowOffsets offsets, RowOffsets::read(p, f, at.page));
        RawRow raw;
        raw.page = page;
        if (hop == 0 && at.row < offsets.count() && (offsets.entry(at.row) & kRowDeleted)) {
            raw.deleted = true;
            return raw;
        }
        JET_ASSIGN_OR_RETURN(RowSlot slot, offsets.slot(at.row));
        if (follow_overflow && slot.overflow()) {
            if (slot.size() < 4) {
                return Status::corrupt(pageRow(at) + ": overflow pointer too short");
            }
            at = RowPointer::decode(le32(p + slot.start));
            continue;
        }
        raw.offset = slot.start;
        raw.length = slot.size();
        return raw;
    }
    return Status::corrupt(pageRow(at) + ": overflow pointers form a loop");
}

std::u16string RowDecoder::decodeText(const uint8_t* p, size_t n) const {
    if (format_.version == JetVersion::kJet4)
        return decodeJet4Text(p, n);
    return decodeCodePage(code_page_, p, n);
}

Result<Value> decodeFixedValue(const ColumnDef& col, const uint8_t* p) {
    switch (col.type) {
        case ColumnType::kByte:
            return Value(p[0]);
        case ColumnType::kInt:
            return Value(static_cast<int16_t>(le16(p)));
        case ColumnType::kLong:
            return Value(static_cast<int32_t>(le32(p)));
        case ColumnType::kMoney:
            return Value(Money{static_cast<int64_t>(le64(p))});
        case ColumnType::kFloat:
            return Value(leFloat(p));
        case ColumnType::kDouble:
            return Value(leDouble(p));
        case ColumnType::kDateTime:
            return Value(DateTime{leDouble(p)});
        case ColumnType::kGuid: {
            Guid g;
            std::memcpy(g.bytes.data(), p, 16);
            return Value(g);
        }
        case ColumnType::kNumeric: {
            Decimal d;
            d.negative = (p[0] & 0x80) != 0;
            d.precision = col.precision;
            d.scale = col.scale;
            for (int w = 0; w < 4; ++w)
                d.words[w] = le32(p + 1 + 4 * w);
            return Value(d);
        }
        default:
            return Value(Bytes(p, p + fixedSize(col)));
    }
}

Result<Value> RowDecoder::decodeFixed(const ColumnDef& col, const uint8_t* p, uint32_t n) const {
    // Callers give a column's own size (fixedSize), but a fixed TEXT column's.
    return col.type == ColumnType::kText ? Value(decodeText(p, n)) : decodeFixedValue(col, p);
}

Result<Value> RowDecoder::decodeVariable(const ColumnDef& col, const uint8_t* p, uint32_t n,
                                         const Site& site, bool as_stored) {
    switch (col.type) {
        case ColumnType::kText:
            return as_stored ? Value(Bytes(p, p + n)) : Value(decodeText(p, n));
        case ColumnType::kMemo:
        case ColumnType::kOle: {
            if (n == 0)
                return Value(Null{});
            JET_ASSIGN_OR_RETURN(Bytes bytes, readLongValue(p, n, site));
            if (col.type == ColumnType::kOle || as_stored)
                return Value(std::move(bytes));
            return Value(decodeText(bytes.data(), bytes.size()));
        }
        case ColumnType::kBinary:
        case ColumnType::kUnknown0D:
        case ColumnType::kUnknown11:
            return Value(Bytes(p, p + n));
        default: {
            // A fixed-size type stored without the fixed flag (Access does this for some
            // AutoNumber columns): the value sits in the variable area at its usual size.
            const uint32_t size = fixedSize(col);
            if (!isKnownType(col.type_code) || size == 0 || col.type == ColumnType::kBoolean) {
                return Value(Bytes(p, p + n));
            }
            if (n < size) {
                return Status::corrupt(site.str() + ": value of " + std::to_string(n) +
                                       " bytes is shorter than its type");
            }
            return decodeFixed(col, p, size);
        }
    }
}

Result<Bytes> RowDecoder::readLongValue(const uint8_t* field, uint32_t n, const Site& site) {
    if (n < 12)
        return Status::corrupt(site.str() + ": long-value header is too short");
    const uint32_t head = le32(field);
    const uint32_t length = head & 0x3FFFFFFF;
    const uint32_t kind = head & 0xC0000000;
    const RowPointer first = RowPointer::decode(le32(field + 4));
    if (kind == 0x80000000) {
        if (length > n - 12)
            return Status::corrupt(site.str() + ": inline long value overruns the row");
        return Bytes(field + 12, field + 12 + length);
    }
    if (kind == 0x40000000) {
        JET_ASSIGN_OR_RETURN(RawRow raw, rowAt(first, false));
        if (raw.deleted || raw.length < length) {
            return Status::corrupt(site.str() + ": long value at " + pageRow(first) +
                                   " is shorter than its header says");
        }
        return Bytes(raw.data(), raw.data() + length);
    }
    if (kind != 0)
        return Status::corrupt(site.str() + ": unknown long-value kind");
    Bytes out;
    std::set<RowPointer> seen;
    RowPointer ptr = first;
    while (out.size() < length) {
        if (ptr.isNull()) {
            return Status::corrupt(site.str() + ": long-value chain ends after " +
                                   std::to_string(out.size()) + " of " + std::to_string(length) +
                                   " bytes");
        }
        if (!seen.insert(ptr).second) {
            return Status::corrupt(site.str() + ": long-value chain loops at " + pageRow(ptr));
        }
        JET_ASSIGN_OR_RETURN(RawRow raw, rowAt(ptr, false));
        if (raw.deleted || raw.length < 4) {
            return Status::corrupt(site.str() + ": long-value chunk at " + pageRow(ptr) +
                                   " is missing");
        }
        const uint8_t* b = raw.data();
        const uint32_t take =
            std::min<uint32_t>(raw.length - 4, length - static_cast<uint32_t>(out.size()));
        out.insert(out.end(), b + 4, b + 4 + take);
        ptr = RowPointer::decode(le32(b));
    }
    return out;
}

Status RowDecoder::parseLayout(const TableDef& def, const RawRow& raw, RowPointer at, Layout& out) {
    const Format& f = format_;
    const bool jet4 = f.version == JetVersion::kJet4;
    const uint8_t* row = raw.data();
    const uint32_t len = raw.length;
    auto corrupt = [&](const std::string& what) {
        return Status::corrupt(pageRow(at) + ": " + what);
    };

    if (len < f.row_count_size)
        return corrupt("row is empty");
    const uint32_t ncols = jet4 ? le16(row) : row[0];
    const uint32_t nm = (ncols + 7) / 8;
    if (len < f.row_count_size + nm)
        return corrupt("row is shorter than its null mask");
    out.ncols = ncols;
    out.mask = row + len - nm;

    // Offsets of the variable columns: offs[0..V], offs[V] being the end of the data.
    out.var_offsets = 0;
    out.jet4_offsets = nullptr;
    uint32_t var_limit = len - nm;  // first byte after the variable data area
    if (def.num_var_cols > 0) {
        if (jet4) {
            if (len < 2 + nm + 4)
                return corrupt("row is too short for its offset table");
            const uint32_t V = le16(row + len - nm - 2);
            if (4 + 2ull * V + nm + 2 > len)
                return corrupt("variable column count is too large");
            out.var_offsets = V + 1;
            out.jet4_offsets = row + len - nm - 4;
            var_limit = len - nm - 4 - 2 * V;
        } else {
            std::vector<uint32_t>& offs = offsets_;
            // One byte per offset; the high bytes come from a table of 256-byte jumps.
            if (len < 1 + nm + 2)
                return corrupt("row is too short for its offset table");
            const uint32_t last = len - 1;
            const uint32_t V = row[last - nm];
            uint32_t jumps = (len - 1) / 256;
            if (last < nm + jumps + 1 + V + 1)
                return corrupt("variable column count is too large");
            const uint32_t p = last - nm - jumps - 1;
            if ((p - V) / 256 < jumps)
                --jumps;
            uint32_t used = 0;
            offs.resize(V + 1);
            for (uint32_t i = 0; i <= V; ++i) {
                while (used < jumps && i == row[last - nm - 1 - used])
                    ++used;
                offs[i] = row[p - i] + 256 * used;
            }
            var_limit = p - V;
            out.var_offsets = V + 1;
        }
    }
    out.var_limit = var_limit;
    return Status::ok();
}

RowDecoder::Extent RowDecoder::variableExtent(const Layout& layout, const ColumnDef& col,
                                              uint32_t& start, uint32_t& stop) const {
    if (col.var_index + 1u >= layout.var_offsets)
        return Extent::kAbsent;  // added after the row was written
    if (const uint8_t* offs = layout.jet4_offsets) {
        start = le16(offs - 2 * col.var_index);
        stop = le16(offs - 2 * (col.var_index + 1));
    } else {
        start = offsets_[col.var_index];
        stop = offsets_[col.var_index + 1];
    }
    if (start < format_.row_count_size || start > stop || stop > layout.var_limit)
        return Extent::kOutside;
    return Extent::kStored;
}

Status RowDecoder::outsideRow(RowPointer at, const ColumnDef& col, uint32_t start, uint32_t stop) {
    return Status::corrupt(pageRow(at) + ": column " + col.name + " has offsets " +
                           std::to_string(start) + ".." + std::to_string(stop) +
                           " outside the row");
}

std::vector<size_t> RowDecoder::longValueColumns(const TableDef& def) {
    std::vector<size_t> out;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        if (def.columns[i].isLongValue() && !def.columns[i].isFixed())
            out.push_back(i);
    }
    return out;
}

Status RowDecoder::longValueFields(const TableDef& def, const std::vector<size_t>& columns,
                                   const RawRow& raw, RowPointer at,
                                   std::vector<LongValueField>& out) {
    out.clear();
    Layout layout;
    JET_RETURN_IF_ERROR(parseLayout(def, raw, at, layout));
    for (const size_t i : columns) {
        const ColumnDef& col = def.columns[i];
        if (!layout.present(col.number))
            continue;
        uint32_t start = 0, stop = 0;
        const Extent extent = variableExtent(layout, col, start, stop);
        if (extent == Extent::kOutside)
            return outsideRow(at, col, start, stop);
        if (extent == Extent::kStored && stop > start)
            out.push_back({i, raw.data() + start, stop - start});
    }
    return Status::ok();
}

Status RowDecoder::decode(const TableDef& def, const RawRow& raw, RowPointer at,
                          std::vector<Value>& out, const std::vector<bool>* wanted,
                          const std::vector<bool>* stored) {
    const uint8_t* row = raw.data();
    const uint32_t len = raw.length;
    auto corrupt = [&](const std::string& what) {
        return Status::corrupt(pageRow(at) + ": " + what);
    };
    Layout layout;
    JET_RETURN_IF_ERROR(parseLayout(def, raw, at, layout));
    const uint32_t nm = (layout.ncols + 7) / 8;
    auto present = [&](uint32_t colnum) { return layout.present(colnum); };

    out.assign(def.columns.size(), Value(Null{}));
    const uint32_t fixed_base = format_.row_count_size;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        if (wanted && !(*wanted)[i])
            continue;
        const ColumnDef& col = def.columns[i];
        if (col.type == ColumnType::kBoolean) {
            out[i] = Value(present(col.number));
            continue;
        }
        if (!present(col.number))
            continue;
        if (col.isFixed()) {
            const uint32_t size = fixedSize(col);
            const uint64_t start = uint64_t{fixed_base} + col.fixed_offset;
            if (start + size > len - nm)
                return corrupt("column " + col.name + " lies outside the row");
            JET_ASSIGN_OR_RETURN(out[i], decodeFixed(col, row + start, size));
            continue;
        }
        uint32_t start = 0, stop = 0;
        const Extent extent = variableExtent(layout, col, start, stop);
        if (extent == Extent::kOutside)
            return outsideRow(at, col, start, stop);
        if (extent == Extent::kAbsent)
            continue;
        const bool as_stored = format_.version == JetVersion::kJet4 && stored && (*stored)[i];
        JET_ASSIGN_OR_RETURN(
            out[i], decodeVariable(col, row + start, stop - start, Site{at, col}, as_stored));
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// RowCursor

RowCursor::RowCursor(RowDecoder& decoder, TableDef def, std::vector<uint32_t> pages,
                     std::vector<bool> wanted)
    : decoder_(decoder),
      def_(std::move(def)),
      pages_(std::move(pages)),
      wanted_(std::move(wanted)) {}

Result<bool> RowCursor::next(std::vector<Value>& row) {
    const Format& f = decoder_.format();
    while (page_pos_ < pages_.size()) {
        const uint32_t n = pages_[page_pos_];
        if (!current_) {
            JET_ASSIGN_OR_RETURN(current_, decoder_.pager().read(n));
            const uint8_t* p = current_->data();
            if (p[0] != kPageData || le32(p + kDataPageOwner) != def_.tdef_page) {
                current_.reset();
                return Status::corrupt("page " + std::to_string(n) +
                                       " is in the table's usage map but is not one of its "
                                       "data pages");
            }
            auto offsets = RowOffsets::read(p, f, n);
            if (!offsets) {
                current_.reset();
                return offsets.status();
            }
            offsets_ = *offsets;
            slot_ = 0;
        }
        if (slot_ >= offsets_->count()) {
            current_.reset();
            offsets_.reset();
            ++page_pos_;
            continue;
        }
        const uint32_t s = slot_++;
        if (s > 0xFF)
            return Status::corrupt("page " + std::to_string(n) + ": more than 255 rows");
        const RowPointer at{n, static_cast<uint8_t>(s)};
        const uint16_t entry = offsets_->entry(s);
        if (entry & kRowDeleted)
            continue;
        RawRow raw;
        if (entry & kRowOverflow) {
            JET_ASSIGN_OR_RETURN(raw, decoder_.rowAt(at, true));
        } else {
            // The row lies on the page at hand: no need to look the page up again.
            auto slot = offsets_->slot(s);
            if (!slot)
                return slot.status();
            raw.page = current_;
            raw.offset = slot->start;
            raw.length = slot->size();
        }
        JET_RETURN_IF_ERROR(decoder_.decode(def_, raw, at, row,
                                            wanted_.empty() ? nullptr : &wanted_,
                                            stored_.empty() ? nullptr : &stored_));
        position_ = at;
        return true;
    }
    return false;
}

Status RowCursor::forEach(const std::function<void(const std::vector<Value>&)>& fn) {
    std::vector<Value> row;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, next(row));
        if (!more)
            return Status::ok();
        fn(row);
    }
}

}  // namespace jet
