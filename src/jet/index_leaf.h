// Single index leaf pages (type 0x04) of Jet 4: parsing the entries, inserting one in sorted
// position and writing the page back. Multi-level indexes (node pages, splits) are beyond
// this engine; an insert that does not fit on the page is refused with kNotSupported.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/status.h"

namespace jet {

struct IndexLeaf {
    uint32_t owner = 0;  // TDEF page of the table
    uint32_t prev = 0;
    uint32_t next = 0;
    // Complete entries (key bytes, 3-byte page, row), ascending.
    std::vector<std::vector<uint8_t>> entries;
};

// Parses a leaf page. kCorrupt when the entry bitmap or prefix is inconsistent.
Result<IndexLeaf> parseIndexLeaf(const uint8_t* page, uint32_t page_size, uint32_t page_number);

// Writes `leaf` as a complete page. Entries are stored without a shared prefix when they fit
// that way (as the Jet engine does on small leaves), and with the longest common prefix
// otherwise. kNotSupported when even that does not fit.
Status writeIndexLeaf(const IndexLeaf& leaf, uint8_t* page, uint32_t page_size,
                      uint32_t page_number);

// Inserts `entry` in order. Returns false (and leaves `leaf` alone) when `unique` and an
// entry with the same key (the entry minus its 4-byte row id) exists already.
bool insertIndexEntry(IndexLeaf& leaf, std::vector<uint8_t> entry, bool unique);

}  // namespace jet
