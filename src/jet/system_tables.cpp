#include "jet/system_tables.h"

#include "jet/tdef_writer.h"

namespace jet {
namespace {

// Column flags the engine gives system-table columns.
constexpr uint8_t kSysFixed = 0x13;
constexpr uint8_t kSysVariable = 0x12;
constexpr uint8_t kSysSid = 0x32;  // the Owner and SID binary columns

uint16_t lengthOf(ColumnType t) {
    switch (t) {
        case ColumnType::kBoolean:
            return 1;
        case ColumnType::kByte:
            return 1;
        case ColumnType::kInt:
            return 2;
        case ColumnType::kLong:
            return 4;
        case ColumnType::kDateTime:
            return 8;
        default:
            return 0;
    }
}

ColumnDef fixedCol(uint16_t number, const char* name, ColumnType t, uint16_t offset,
                   uint16_t sort) {
    ColumnDef c;
    c.name = name;
    c.type = t;
    c.type_code = static_cast<uint8_t>(t);
    c.number = number;
    c.fixed_offset = offset;
    c.length = lengthOf(t);
    c.flags = kSysFixed;
    c.sort_order = sort;
    return c;
}

ColumnDef varCol(uint16_t number, const char* name, ColumnType t, uint16_t var_index, uint16_t sort,
                 uint8_t flags = kSysVariable) {
    ColumnDef c;
    c.name = name;
    c.type = t;
    c.type_code = static_cast<uint8_t>(t);
    c.number = number;
    c.var_index = var_index;
    c.length = (t == ColumnType::kText || t == ColumnType::kBinary) ? 510 : 0;
    c.flags = flags;
    c.sort_order = sort;
    return c;
}

RowPointer mapRow(uint8_t row) {
    return RowPointer{kSystemMapsPage, row};
}

RealIndex realIndex(std::vector<uint16_t> columns, uint8_t map_row, uint32_t root, uint8_t flags) {
    RealIndex ri;
    for (uint16_t c : columns)
        ri.columns.push_back({c, true});
    ri.owned_map = mapRow(map_row);
    ri.root_page = root;
    ri.flags = flags;
    return ri;
}

LogicalIndex logicalIndex(const char* name, uint32_t number, uint32_t real, uint8_t type) {
    LogicalIndex li;
    li.name = name;
    li.number = number;
    li.real_index = real;
    li.type = type;
    return li;
}

TableDef systemTable(uint32_t page, uint16_t max_cols, uint16_t num_var, uint8_t owned_row) {
    TableDef d;
    d.tdef_page = page;
    d.tdef_pages = {page};
    d.table_type = 'S';
    d.max_cols = max_cols;
    d.num_var_cols = num_var;
    d.owned_map = mapRow(owned_row);
    d.free_map = mapRow(static_cast<uint8_t>(owned_row + 1));
    return d;
}

}  // namespace

TableDef msysObjectsDef(uint16_t s) {
    TableDef d = systemTable(kMSysObjectsPage, 17, 11, 0);
    using T = ColumnType;
    d.columns = {
        fixedCol(0, "Id", T::kLong, 0, s),
        fixedCol(1, "ParentId", T::kLong, 4, s),
        varCol(2, "Name", T::kText, 0, s),
        fixedCol(3, "Type", T::kInt, 8, s),
        fixedCol(4, "DateCreate", T::kDateTime, 10, s),
        fixedCol(5, "DateUpdate", T::kDateTime, 18, s),
        varCol(6, "Owner", T::kBinary, 1, s, kSysSid),
        fixedCol(7, "Flags", T::kLong, 26, s),
        varCol(8, "Database", T::kMemo, 2, s),
        varCol(9, "Connect", T::kMemo, 3, s),
        varCol(10, "ForeignName", T::kText, 4, s),
        varCol(11, "RmtInfoShort", T::kBinary, 5, s),
        varCol(12, "RmtInfoLong", T::kOle, 6, s),
        varCol(13, "Lv", T::kOle, 7, s),
        varCol(14, "LvProp", T::kOle, 8, s),
        varCol(15, "LvModule", T::kOle, 9, s),
        varCol(16, "LvExtra", T::kOle, 10, s),
    };
    d.real_indexes = {realIndex({1, 2}, 16, 7, 0x81), realIndex({0}, 17, 8, 0x81)};
    d.indexes = {logicalIndex("Id", 1, 1, 1), logicalIndex("ParentIdName", 0, 0, 0)};
    uint8_t row = 2;
    for (uint16_t col : {8, 9, 12, 13, 14, 15, 16}) {
        d.long_value_maps.push_back({col, mapRow(row), mapRow(static_cast<uint8_t>(row + 1))});
        row += 2;
    }
    assignVarSlotsOfFixedColumns(d);
    return d;
}

TableDef msysAcesDef(uint16_t s) {
    TableDef d = systemTable(kMSysAcesPage, 4, 1, 18);
    using T = ColumnType;
    d.columns = {
        fixedCol(0, "ObjectId", T::kLong, 0, s),
        varCol(1, "SID", T::kBinary, 0, s, kSysSid),
        fixedCol(2, "ACM", T::kLong, 4, s),
        fixedCol(3, "FInheritable", T::kBoolean, 0, s),
    };
    d.real_indexes = {realIndex({0}, 20, 9, 0x88)};
    d.indexes = {logicalIndex("ObjectId", 0, 0, 0)};
    assignVarSlotsOfFixedColumns(d);
    return d;
}

TableDef msysQueriesDef(uint16_t s) {
    TableDef d = systemTable(kMSysQueriesPage, 8, 4, 21);
    using T = ColumnType;
    d.columns = {
        fixedCol(0, "ObjectId", T::kLong, 0, s), fixedCol(1, "Attribute", T::kByte, 4, s),
        varCol(2, "Order", T::kBinary, 0, s),    varCol(3, "Name1", T::kText, 1, s),
        varCol(4, "Name2", T::kText, 2, s),      varCol(5, "Expression", T::kMemo, 3, s),
        fixedCol(6, "Flag", T::kInt, 5, s),      fixedCol(7, "LvExtra", T::kLong, 7, s),
    };
    d.real_indexes = {realIndex({0, 1, 2}, 25, 10, 0x81)};
    d.indexes = {logicalIndex("ObjectIdAttribute", 0, 0, 1)};
    d.long_value_maps = {{5, mapRow(23), mapRow(24)}};
    assignVarSlotsOfFixedColumns(d);
    return d;
}

TableDef msysRelationshipsDef(uint16_t s) {
    TableDef d = systemTable(kMSysRelationshipsPage, 8, 5, 26);
    using T = ColumnType;
    d.columns = {
        varCol(0, "szRelationship", T::kText, 0, s),
        fixedCol(1, "grbit", T::kLong, 0, s),
        fixedCol(2, "ccolumn", T::kLong, 4, s),
        fixedCol(3, "icolumn", T::kLong, 8, s),
        varCol(4, "szObject", T::kText, 1, s),
        varCol(5, "szColumn", T::kText, 2, s),
        varCol(6, "szReferencedObject", T::kText, 3, s),
        varCol(7, "szReferencedColumn", T::kText, 4, s),
    };
    d.real_indexes = {realIndex({0}, 28, 11, 0x82), realIndex({4}, 29, 12, 0x82),
                      realIndex({6}, 30, 13, 0x82)};
    d.indexes = {logicalIndex("szObject", 1, 1, 0), logicalIndex("szReferencedObject", 2, 2, 0),
                 logicalIndex("szRelationship", 0, 0, 0)};
    assignVarSlotsOfFixedColumns(d);
    return d;
}

}  // namespace jet
