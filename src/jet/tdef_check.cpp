#include "jet/tdef_check.h"

#include <algorithm>
#include <set>
#include <utility>

namespace jet {
namespace {

std::string bytes(uint32_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

}  // namespace

std::vector<std::string> checkTableDef(const TableDef& def, JetVersion version) {
    const Format& f = formatFor(version);
    std::vector<std::string> out;
    std::set<uint16_t> numbers, slots;
    std::vector<std::pair<uint32_t, uint32_t>> fixed;  // [start, end) in the fixed area
    for (const ColumnDef& c : def.columns) {
        const std::string col = "column " + c.name + ": ";
        if (!isKnownType(c.type_code) ||
            (version == JetVersion::kJet3 && c.type == ColumnType::kNumeric)) {
            out.push_back(col + "unknown type code " + std::to_string(c.type_code));
            continue;
        }
        if (c.number >= def.max_cols) {
            out.push_back(col + "number " + std::to_string(c.number) + " is past the table's " +
                          std::to_string(def.max_cols) + " columns");
        } else if (!numbers.insert(c.number).second) {
            out.push_back(col + "another column has number " + std::to_string(c.number));
        }
        // Access stores some AutoNumbers as variable columns of their own size, and Jackcess
        // its decimals as shorter ones.
        const uint32_t size = typeSize(c.type);
        if (size != 0 && (c.isFixed() ? c.length != size : c.length > size)) {
            out.push_back(col + "a " + typeName(c.type) + " column is " + bytes(size) + ", not " +
                          std::to_string(c.length));
            continue;
        }
        if (c.isLongValue() && c.length != 0) {
            out.push_back(col + "a " + typeName(c.type) + " column keeps no length, not " +
                          std::to_string(c.length));
            continue;
        }
        if (c.type == ColumnType::kBoolean)
            continue;  // no bytes in the row
        if (c.isFixed()) {
            const uint32_t end = uint32_t{c.fixed_offset} + c.length;
            if (f.row_count_size + end > f.max_row_size) {
                out.push_back(col + "its fixed offset " + std::to_string(c.fixed_offset) +
                              " puts it past the largest row");
            } else {
                fixed.emplace_back(c.fixed_offset, end);
            }
        } else if (c.var_index >= def.num_var_cols) {
            out.push_back(col + "variable slot " + std::to_string(c.var_index) +
                          " is past the table's " + std::to_string(def.num_var_cols));
        } else if (!slots.insert(c.var_index).second) {
            out.push_back(col + "another column has variable slot " + std::to_string(c.var_index));
        }
    }
    std::sort(fixed.begin(), fixed.end());
    uint32_t reach = 0;  // the end of the fixed columns so far
    for (const auto& [start, end] : fixed) {
        if (start < reach) {
            out.push_back("two fixed columns share bytes " + std::to_string(start) + " to " +
                          std::to_string(std::min(end, reach) - 1) + " of the row");
        }
        reach = std::max(reach, end);
    }
    return out;
}

}  // namespace jet
