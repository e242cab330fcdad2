// Taking new pages for a database being written: every page comes from the end of the file
// (free pages are never reused) and is recorded as used in the global usage map.
#pragma once

#include <cstdint>

#include "jet/pager.h"
#include "jet/status.h"
#include "jet/usage_map.h"

namespace jet {

class PageAllocator {
  public:
    explicit PageAllocator(Pager& pager);

    PageAllocator(const PageAllocator&) = delete;
    PageAllocator& operator=(const PageAllocator&) = delete;

    // Appends a zeroed page and marks it used in the global map; returns its number.
    Result<uint32_t> allocate();

    UsageMapEditor& maps() { return maps_; }
    Pager& pager() { return pager_; }

    // The global usage map: row 0 of page 1.
    static constexpr RowPointer kGlobalMap{1, 0};

  private:
    Pager& pager_;
    UsageMapEditor maps_;
};

}  // namespace jet
