// Writes the system catalog of a new, empty Jet 4 database: the layout the Jet engine itself
// produces (16 pages, no Access UI objects).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

// Masks a plain security id with the database's SID key (keystream from byte 0).
std::vector<uint8_t> maskSid(uint32_t sid_key, const uint8_t* plain, size_t n);

// Writes pages 1..15 of a new database into `pager`, which must hold exactly page 0 (the
// finished header). `date` (OLE) becomes the creation and update time of every catalog row;
// `sid_key` is sidMaskKey() of the finished header; `sort_order` the database collation.
Status buildEmptyCatalog(Pager& pager, double date, uint16_t sort_order, uint32_t sid_key);

}  // namespace jet
