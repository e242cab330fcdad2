// Table definitions (TDEF pages): columns, indexes and the usage maps a table owns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/value.h"

namespace jet {

struct ColumnDef {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::kText;
    uint8_t type_code = 0;  // raw type byte, for types this engine does not know
    uint16_t number = 0;    // stable id; selects the null-mask bit
    uint16_t var_index = 0;
    uint16_t fixed_offset = 0;
    uint16_t length = 0;  // bytes (TEXT: 2 per character in Jet 4)
    uint8_t flags = 0;
    uint8_t ext_flags = 0;
    uint8_t precision = 0;  // NUMERIC only
    uint8_t scale = 0;      // NUMERIC only
    uint16_t sort_order = 0;

    static constexpr uint8_t kFlagFixed = 0x01;
    static constexpr uint8_t kFlagNullable = 0x02;
    static constexpr uint8_t kFlagAutoLong = 0x04;
    static constexpr uint8_t kFlagAutoGuid = 0x40;
    static constexpr uint8_t kFlagHyperlink = 0x80;
    static constexpr uint8_t kExtCompressedUnicode = 0x01;

    bool isFixed() const { return flags & kFlagFixed; }
    bool isNullable() const { return flags & kFlagNullable; }
    bool isAutoNumber() const { return flags & kFlagAutoLong; }
    bool isLongValue() const { return type == ColumnType::kMemo || type == ColumnType::kOle; }
    bool isText() const { return type == ColumnType::kText || type == ColumnType::kMemo; }
    // TEXT: the maximum number of characters (Jet 4 stores 2 bytes each).
    uint32_t maxChars(JetVersion v) const { return v == JetVersion::kJet4 ? length / 2u : length; }
};

struct IndexColumn {
    uint16_t column_number = 0;
    bool ascending = true;
};

struct RealIndex {
    std::vector<IndexColumn> columns;
    RowPointer owned_map;
    uint32_t root_page = 0;
    uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required
    uint32_t unique_count = 0;
};

struct LogicalIndex {
    std::string name;
    uint32_t number = 0;
    uint32_t real_index = 0;
    uint8_t type = 0;  // 1 primary key, 2 foreign key
};

struct LongValueMaps {
    uint16_t column_number = 0;
    RowPointer owned;
    RowPointer free;
};

struct TableDef {
    uint32_t tdef_page = 0;
    std::vector<uint32_t> tdef_pages;  // first page and every continuation page
    uint32_t tdef_len = 0;
    uint32_t num_rows = 0;  // as the TDEF says; see Table::countRows for the exact number
    uint32_t autonumber = 0;
    uint8_t table_type = 0;  // 'N' user, 'S' system
    uint16_t max_cols = 0;
    uint16_t num_var_cols = 0;
    RowPointer owned_map;
    RowPointer free_map;
    std::vector<ColumnDef> columns;  // sorted by column number
    std::vector<RealIndex> real_indexes;
    std::vector<LogicalIndex> indexes;
    std::vector<LongValueMaps> long_value_maps;

    // Length of the fixed area a row must reserve (largest fixed_offset + length).
    uint32_t fixedAreaSize() const;
    const ColumnDef* findColumn(const std::string& name) const;  // exact, case-sensitive
};

// Reads and parses the TDEF starting at `page`, following continuation pages (a loop or an
// out-of-range field gives kCorrupt naming the page). Names are decoded with `code_page`
// for Jet 3.
Result<TableDef> readTableDef(Pager& pager, JetVersion version, uint16_t code_page, uint32_t page);

}  // namespace jet
