// Editing the usage maps of tables, long-value columns and indexes: rows that list the pages
// (bit set) of one owner. The global map of page 1 has rules of its own (global_map.h).
//
// An inline map that must list a page outside its window moves the window when every listed
// page still fits in it, and otherwise becomes a reference map in the same row. A 69-byte
// reference row has 17 slots, which reach 556,512 pages: past the 2 GB limit of Jet 4.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jet/map_row.h"
#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

class UsageMapEditor {
  public:
    // Allocates one page at the end of the file, marks it used in the global map, and
    // returns its number; used when a reference map needs another bitmap page.
    using PageAllocator = std::function<Result<uint32_t>()>;

    UsageMapEditor(Pager& pager, PageAllocator allocate)
        : pager_(pager), allocate_(std::move(allocate)) {}

    // Whether `page` is listed in the map at `map`; pages outside its reach are not.
    Result<bool> test(RowPointer map, uint32_t page);

    // Lists (`value` true) or unlists `page`. Unlisting a page outside the map's reach does
    // nothing. When bitmap pages must be allocated and that fails, the map is unchanged.
    Status set(RowPointer map, uint32_t page, bool value);

    // Every listed page, ascending, below `limit`.
    Result<std::vector<uint32_t>> listed(RowPointer map, uint32_t limit);

    // The most bitmap pages one set() may allocate: a promotion takes a page for each slot
    // that the old window and the new page touch.
    static constexpr uint32_t kMaxPagesPerSet = 3;

  private:
    Status setInline(RowPointer map, MapRow& row, uint32_t page, bool value);
    Status promoteToReference(RowPointer map, uint32_t page);
    Status setReference(RowPointer map, MapRow& row, uint32_t page, bool value);

    Pager& pager_;
    PageAllocator allocate_;
};

// The bytes of an empty inline map row of `len` bytes (type 0, first page 0).
std::vector<uint8_t> emptyInlineMap(size_t len = 69);

}  // namespace jet
