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

Result<size_t> jet4RowSize(const TableDef& def, const std::vector<PackedCell>& cells,
                           uint32_t max_row_size, const std::vector<size_t>* extra) {
    if (cells.size() != def.columns.size()) {
        return Status::invalidArgument(
            "a row of table definition " + std::to_string(def.tdef_page) + " needs " +
            std::to_string(def.columns.size()) + " values, got " + std::to_string(cells.size()));
    }
    const uint32_t n = def.max_cols;
    const uint32_t v = def.num_var_cols;
    auto corrupt = [&](const ColumnDef& col, const char* what) {
        return Status::corrupt("table definition at page " + std::to_string(def.tdef_page) +
                               ": column \"" + col.name + "\" " + what);
    };
    // Bytes of each variable slot; a slot no present value fills takes none.
    std::vector<size_t> var_bytes(v, 0);
    for (size_t i = 0; i < cells.size(); ++i) {
        const ColumnDef& col = def.columns[i];
        const PackedCell& cell = cells[i];
        if (col.number >= n)
            return corrupt(col, "has a number beyond the column count");
        if (col.type == ColumnType::kBoolean)
            continue;
        if (col.isFixed()) {
            if (cell.present && cell.bytes.size() != col.length) {
                return Status::invalidArgument("column \"" + col.name + "\" needs " +
                                               std::to_string(col.length) + " bytes");
            }
            continue;
        }
        if (col.var_index >= v)
            return corrupt(col, "has a variable slot beyond the count");
        if (cell.present)
            var_bytes[col.var_index] = cell.bytes.size() + (extra ? (*extra)[i] : 0);
    }
    const size_t mask = (n + 7) / 8;
    size_t size = 2 + jet4FixedAreaSize(def);
    if (v > 0) {
        for (uint32_t k = 0; k < v; ++k) {
            size += var_bytes[k];
            if (size > max_row_size)
                break;  // it is too long already; the message names the size so far
        }
        size += 2 + 2 * v + 2;  // end of data, the offsets, their count
    }
    size += mask;
    if (size > max_row_size) {
        return Status::invalidArgument("the row needs " + std::to_string(size) +
                                       " bytes; a row holds at most " +
                                       std::to_string(max_row_size));
    }
    return size;
}

Result<std::vector<uint8_t>> packJet4Row(const TableDef& def, const std::vector<PackedCell>& cells,
                                         uint32_t max_row_size) {
    JET_ASSIGN_OR_RETURN(const size_t size, jet4RowSize(def, cells, max_row_size));
    const uint32_t n = def.max_cols;
    const uint32_t v = def.num_var_cols;
    std::vector<uint8_t> row(size, 0);
    uint8_t* mask = row.data() + size - (n + 7) / 8;
    put16(row.data(), static_cast<uint16_t>(n));
    std::vector<const std::vector<uint8_t>*> by_var(v, nullptr);
    for (size_t i = 0; i < cells.size(); ++i) {
        const ColumnDef& col = def.columns[i];
        const PackedCell& cell = cells[i];
        if (!cell.present)
            continue;
        mask[col.number / 8] |= static_cast<uint8_t>(1u << (col.number % 8));
        if (col.type == ColumnType::kBoolean)
            continue;
        if (col.isFixed()) {
            std::memcpy(row.data() + 2 + col.fixed_offset, cell.bytes.data(), col.length);
        } else {
            by_var[col.var_index] = &cell.bytes;
        }
    }
    if (v > 0) {
        // The values in slot order, then the end of data, the offsets last slot first, and
        // their count.
        size_t pos = 2 + jet4FixedAreaSize(def);
        std::vector<uint16_t> offsets(v);
        for (uint32_t k = 0; k < v; ++k) {
            offsets[k] = static_cast<uint16_t>(std::min<size_t>(pos, 0xFFFF));
            if (by_var[k] && !by_var[k]->empty()) {
                std::memcpy(row.data() + pos, by_var[k]->data(), by_var[k]->size());
                pos += by_var[k]->size();
            }
        }
        put16(row.data() + pos, static_cast<uint16_t>(pos));
        pos += 2;
        for (uint32_t k = v; k-- > 0; pos += 2)
            put16(row.data() + pos, offsets[k]);
        put16(row.data() + pos, static_cast<uint16_t>(v));
    }
    return row;
}

}  // namespace jet
