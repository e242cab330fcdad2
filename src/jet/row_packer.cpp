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

Result<std::vector<uint8_t>> packJet4Row(const TableDef& def, const std::vector<PackedCell>& cells,
                                         uint32_t max_row_size) {
    if (cells.size() != def.columns.size()) {
        return Status::invalidArgument(
            "a row of table definition " + std::to_string(def.tdef_page) + " needs " +
            std::to_string(def.columns.size()) + " values, got " + std::to_string(cells.size()));
    }
    const uint32_t n = def.max_cols;
    const uint32_t v = def.num_var_cols;
    const uint32_t fixed = jet4FixedAreaSize(def);
    std::vector<uint8_t> mask((n + 7) / 8, 0);
    std::vector<uint8_t> row(2 + fixed, 0);
    put16(row.data(), static_cast<uint16_t>(n));

    auto corrupt = [&](const ColumnDef& col, const char* what) {
        return Status::corrupt("table definition at page " + std::to_string(def.tdef_page) +
                               ": column \"" + col.name + "\" " + what);
    };
    std::vector<const std::vector<uint8_t>*> by_var(v, nullptr);
    for (size_t i = 0; i < cells.size(); ++i) {
        const ColumnDef& col = def.columns[i];
        const PackedCell& cell = cells[i];
        if (col.number >= n)
            return corrupt(col, "has a number beyond the column count");
        if (col.type == ColumnType::kBoolean) {
            if (cell.present)
                mask[col.number / 8] |= static_cast<uint8_t>(1u << (col.number % 8));
            continue;
        }
        if (col.isFixed()) {
            if (!cell.present)
                continue;
            if (cell.bytes.size() != col.length) {
                return Status::invalidArgument("column \"" + col.name + "\" needs " +
                                               std::to_string(col.length) + " bytes");
            }
            std::memcpy(row.data() + 2 + col.fixed_offset, cell.bytes.data(), col.length);
        } else {
            if (col.var_index >= v)
                return corrupt(col, "has a variable slot beyond the count");
            if (!cell.present)
                continue;
            by_var[col.var_index] = &cell.bytes;
        }
        mask[col.number / 8] |= static_cast<uint8_t>(1u << (col.number % 8));
    }

    if (v > 0) {
        std::vector<uint16_t> offsets(v);
        for (uint32_t k = 0; k < v; ++k) {
            offsets[k] = static_cast<uint16_t>(std::min<size_t>(row.size(), 0xFFFF));
            if (by_var[k])
                row.insert(row.end(), by_var[k]->begin(), by_var[k]->end());
            if (row.size() > max_row_size)
                break;
        }
        const size_t total = row.size() + 2 + 2 * v + 2 + mask.size();
        if (total > max_row_size) {
            return Status::invalidArgument("the row needs " + std::to_string(total) +
                                           " bytes; a row holds at most " +
                                           std::to_string(max_row_size));
        }
        const uint16_t eod = static_cast<uint16_t>(row.size());
        row.push_back(static_cast<uint8_t>(eod));
        row.push_back(static_cast<uint8_t>(eod >> 8));
        for (uint32_t k = v; k-- > 0;) {
            row.push_back(static_cast<uint8_t>(offsets[k]));
            row.push_back(static_cast<uint8_t>(offsets[k] >> 8));
        }
        row.push_back(static_cast<uint8_t>(v));
        row.push_back(static_cast<uint8_t>(v >> 8));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > max_row_size) {
        return Status::invalidArgument("the row needs " + std::to_string(row.size()) +
                                       " bytes; a row holds at most " +
                                       std::to_string(max_row_size));
    }
    return row;
}

}  // namespace jet
