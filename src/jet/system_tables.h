// The four system tables every Jet 4 database has, laid out exactly as the Jet engine
// creates them in a new database, and the catalog constants they use.
#pragma once

#include <cstdint>

#include "jet/tdef.h"

namespace jet {

// MSysObjects Ids and values.
constexpr int32_t kDatabaseParentId = 0x0F000000;  // parent of the containers
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabasesContainerId = 0x0F000002;
constexpr int32_t kRelationshipsContainerId = 0x0F000003;
constexpr int32_t kMSysDbId = 0x10000000;
constexpr int16_t kObjectTypeTable = 1;
constexpr int16_t kObjectTypeDatabase = 2;
constexpr int16_t kObjectTypeContainer = 3;
constexpr int32_t kSystemObjectFlag = static_cast<int32_t>(0x80000000);
constexpr int32_t kAltSystemObjectFlag = 0x02;

// Pages of the engine layout of a new database.
constexpr uint32_t kGlobalMapPage = 1;
constexpr uint32_t kMSysObjectsPage = 2;
constexpr uint32_t kMSysAcesPage = 3;
constexpr uint32_t kMSysQueriesPage = 4;
constexpr uint32_t kMSysRelationshipsPage = 5;
constexpr uint32_t kSystemMapsPage = 6;

// Plain (unmasked) security ids of the built-in accounts.
constexpr uint8_t kSidAdmin[2] = {0x03, 0x01};
constexpr uint8_t kSidUsers[2] = {0x02, 0x01};
constexpr uint8_t kSidEngine[2] = {0x02, 0x03};
constexpr uint8_t kSidCreator[2] = {0x02, 0x04};

// Access rights given to new tables when the Tables container's rights cannot be read.
constexpr int32_t kFullAccessAcm = 0xFFFFF;

// Definitions with the engine's pages, map rows and index roots; counts are zero.
// `sort_order` is the database's collation LCID written into every column.
TableDef msysObjectsDef(uint16_t sort_order);
TableDef msysAcesDef(uint16_t sort_order);
TableDef msysQueriesDef(uint16_t sort_order);
TableDef msysRelationshipsDef(uint16_t sort_order);

}  // namespace jet
