// Serializing table definitions (TDEF pages) for Jet 4.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/pager.h"
#include "jet/status.h"
#include "jet/tdef.h"

namespace jet {

struct TdefStyle {
    // Engine-made system tables store column descriptors sorted by name and leave the
    // per-column position word 0; user tables store them by column number.
    bool system_table = false;
    // Byte 3 of every column's sort-order field: 0 = "General (legacy)".
    uint8_t sort_version = 0;
};

// The logical TDEF buffer of `def` (Jet 4): page header, table header, index counters,
// column descriptors and names, index definitions and names, long-value column maps and the
// FF FF terminator. The free-space and next-page words are filled by writeTdefPages().
// Fields of `def` used: everything except tdef_page, tdef_pages and tdef_len. A fixed
// column's variable-slot word is written as given; the engine stores there the number of
// variable columns numbered before it (see assignVarSlotsOfFixedColumns).
std::vector<uint8_t> buildJet4Tdef(const TableDef& def, const TdefStyle& style);

// Gives each fixed column of `def` the engine's value for its variable-slot word: how many
// variable columns have a lower column number.
void assignVarSlotsOfFixedColumns(TableDef& def);

// Logical offsets of fields that change as rows are added.
constexpr uint32_t kTdefNumRowsOffset = 16;
constexpr uint32_t kTdefAutonumberOffset = 20;
// Offset of the unique-entry count of real index `i`.
inline uint32_t tdefUniqueCountOffset(uint32_t i) {
    return 63 + 12 * i + 4;
}

// Where the bytes of a TDEF buffer go: the first `pages` entry gets bytes [0, page_size),
// each continuation page 8 header bytes and then the next page_size - 8 bytes.
struct TdefPlacement {
    uint32_t page_index;
    uint32_t offset;
};
TdefPlacement placeTdefOffset(uint32_t logical_offset, uint32_t page_size);
// Number of pages a buffer of `len` bytes needs.
uint32_t tdefPageCount(size_t len, uint32_t page_size);

// Writes `buffer` over `pages` (as many as tdefPageCount() says), linking them and filling
// each page's free-space word.
Status writeTdefPages(Pager& pager, const std::vector<uint32_t>& pages,
                      const std::vector<uint8_t>& buffer);

// Overwrites `n` bytes at `logical_offset` of the TDEF spread over `pages`.
Status patchTdef(Pager& pager, const std::vector<uint32_t>& pages, uint32_t logical_offset,
                 const uint8_t* bytes, size_t n);
Status patchTdef32(Pager& pager, const std::vector<uint32_t>& pages, uint32_t logical_offset,
                   uint32_t value);
Result<uint32_t> readTdef32(Pager& pager, const std::vector<uint32_t>& pages,
                            uint32_t logical_offset);

}  // namespace jet
