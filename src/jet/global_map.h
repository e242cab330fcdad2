// The global usage map: row 0 of page 1, where a set bit marks a free page. Real files hold
// it in both map forms, and this follows what the engines do with each:
//
// - Inline (the form of every new file). Access grows the row in place, four bytes (32
//   pages) at a time, so that it covers the whole file; we do the same while page 1 has
//   room, which reaches about 32,000 pages (130 MB). Past that the window moves forward, as
//   Jackcess moves it: the new page lands in the middle of the window, the pages before the
//   window are no longer described, and pages after the window's end count as free. No
//   engine takes pages from before the window: new pages come from the end of the file.
// - Reference. Each bitmap page is added when the file first reaches its range.
//
// Pages a move or a new bitmap page takes in are marked used when they are already in the
// file and free otherwise, so the map never calls a page free that holds data.
#pragma once

#include <cstdint>

#include "jet/bytes.h"
#include "jet/pager.h"
#include "jet/status.h"

namespace jet {

class GlobalMap {
  public:
    static constexpr RowPointer kRow{1, 0};

    explicit GlobalMap(Pager& pager) : pager_(pager) {}

    // Records `page`, normally the page just appended at the end of the file, as used. A
    // reference map may take a bitmap page for it, straight from the pager.
    Status markUsed(uint32_t page);

    enum class PageState { kUsed, kFree, kOutside };
    // What the map says about `page`; kOutside for pages it does not describe (before an
    // inline window, past its end, or in a reference slot without a bitmap page).
    Result<PageState> state(uint32_t page);

  private:
    Status markUsedInline(uint32_t page);
    Status markUsedReference(uint32_t page);
    Status growInline(uint32_t page);
    Status moveWindow(uint32_t page);

    Pager& pager_;
};

}  // namespace jet
