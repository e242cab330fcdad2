#include "jet/row_packer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/bytes.h"

namespace jet {

uint32_t jet4FixedAreaSize(const TableDef& def) {
    uint32_t end = 0;
    for (const auto& col : def.columns) {
        if (col.isFixed() && col.type != ColumnType::kBoolean) {
            end = std::max<uint32_t>(end, uint32_t{col.fixed_offset} + col.length);
        }
    }
    return end;
}

Status rowTooLong(size_t size, uint32_t max_row_size) {
    return Status::invalidArgument("the row needs " + std::to_string(size) +
                                   " bytes; a row holds at most " + std::to_string(max_row_size));
}

Result<Jet4RowLayout> Jet4RowLayout::of(const TableDef& def) {
    Jet4RowLayout l;
    l.max_cols_ = def.max_cols;
    l.var_cols_ = def.num_var_cols;
    l.fixed_area_ = jet4FixedAreaSize(def);
    l.by_slot_.assign(l.var_cols_, nullptr);
    for (const ColumnDef& col : def.columns) {
        auto corrupt = [&](const char* what) {
            return Status::corrupt("table definition at page " + std::to_string(def.tdef_page) +
                                   ": column \"" + col.name + "\" " + what);
        };
        if (col.number >= l.max_cols_)
            return corrupt("has a number beyond the column count");
        Column c{Kind::kVariable, col.number, col.var_index, col.length};
        if (col.type == ColumnType::kBoolean) {
            c.kind = Kind::kBoolean;
        } else if (col.isFixed()) {
            c.kind = Kind::kFixed;
            c.slot = col.fixed_offset;
        } else if (col.var_index >= l.var_cols_) {
            return corrupt("has a variable slot beyond the count");
        }
        l.columns_.push_back(c);
    }
    return l;
}

size_t Jet4RowLayout::emptyRowSize() const {
    return 2 + fixed_area_ + (var_cols_ ? 2 + 2 * var_cols_ + 2 : 0) + (max_cols_ + 7) / 8;
}

Result<size_t> Jet4RowLayout::size(const CellBytes* cells) const {
    std::fill(by_slot_.begin(), by_slot_.end(), nullptr);
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        if (!cells[i].present || c.kind == Kind::kBoolean)
            continue;
        if (c.kind == Kind::kFixed) {
            if (cells[i].size != c.length) {
                return Status::invalidArgument("column number " + std::to_string(c.number) +
                                               " needs " + std::to_string(c.length) + " bytes");
            }
            continue;
        }
        by_slot_[c.slot] = &cells[i];
    }
    size_t size = emptyRowSize();
    for (const CellBytes* cell : by_slot_)
        size += cell ? cell->size : 0;
    return size;
}

void Jet4RowLayout::pack(const CellBytes* cells, size_t size, std::vector<uint8_t>& out) const {
    out.assign(size, 0);
    uint8_t* row = out.data();
    uint8_t* mask = row + size - (max_cols_ + 7) / 8;
    put16(row, static_cast<uint16_t>(max_cols_));
    std::fill(by_slot_.begin(), by_slot_.end(), nullptr);
    for (size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        if (!cells[i].present)
            continue;
        mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
        if (c.kind == Kind::kFixed)
            std::memcpy(row + 2 + c.slot, cells[i].data, c.length);
        else if (c.kind == Kind::kVariable)
            by_slot_[c.slot] = &cells[i];
    }
    if (var_cols_ == 0)
        return;
    // The values in slot order, then the end of data, the offsets last slot first, and
    // their count.
    size_t pos = 2 + fixed_area_;
    uint8_t* offsets = row + size - (max_cols_ + 7) / 8 - 2;  // the count, then backwards
    put16(offsets, static_cast<uint16_t>(var_cols_));
    for (uint32_t k = 0; k < var_cols_; ++k) {
        put16(offsets - 2 * (k + 1), static_cast<uint16_t>(std::min<size_t>(pos, 0xFFFF)));
        const CellBytes* cell = by_slot_[k];
        if (cell && cell->size > 0) {
            std::memcpy(row + pos, cell->data, cell->size);
            pos += cell->size;
        }
    }
    put16(row + pos, static_cast<uint16_t>(pos));
}

Result<std::vector<uint8_t>> packJet4Row(const TableDef& def, const std::vector<PackedCell>& cells,
                                         uint32_t max_row_size) {
    if (cells.size() != def.columns.size()) {
        return Status::invalidArgument(
            "a row of table definition " + std::to_string(def.tdef_page) + " needs " +
            std::to_string(def.columns.size()) + " values, got " + std::to_string(cells.size()));
    }
    JET_ASSIGN_OR_RETURN(Jet4RowLayout layout, Jet4RowLayout::of(def));
    std::vector<CellBytes> views(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
        views[i] = CellBytes{cells[i].present, cells[i].bytes.data(), cells[i].bytes.size()};
    JET_ASSIGN_OR_RETURN(size_t size, layout.size(views.data()));
    if (size > max_row_size)
        return rowTooLong(size, max_row_size);
    std::vector<uint8_t> row;
    layout.pack(views.data(), size, row);
    return row;
}

}  // namespace jet
