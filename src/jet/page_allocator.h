// Taking new pages for a database being written: every page comes from the end of the file
// (free pages are never reused) and is recorded as used in the global usage map.
#pragma once

#include <cstdint>

#include "jet/global_map.h"
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
    // kTooLarge when the file is at its format's size limit.
    Result<uint32_t> allocate();

    // kTooLarge unless `pages` new pages, listed in `maps` usage maps, still fit under the
    // file's size limit together with every bitmap page those maps and the global map may
    // take for them. Writers ask before they write anything, so that a refusal leaves the
    // file as it was.
    Status checkRoom(uint64_t pages, uint32_t maps) const;

    UsageMapEditor& maps() { return maps_; }
    GlobalMap& global() { return global_; }
    Pager& pager() { return pager_; }

  private:
    Pager& pager_;
    GlobalMap global_;
    UsageMapEditor maps_;
};

}  // namespace jet
