#include "jet/page_allocator.h"

namespace jet {

PageAllocator::PageAllocator(Pager& pager)
    : pager_(pager), maps_(pager, [this]() { return allocate(); }) {}

Result<uint32_t> PageAllocator::allocate() {
    uint32_t n = 0;
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef page, pager_.allocate());
        n = page->number;
    }
    // The global map says "free" with a set bit.
    JET_RETURN_IF_ERROR(maps_.set(kGlobalMap, n, false, true));
    return n;
}

}  // namespace jet
