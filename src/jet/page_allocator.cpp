#include "jet/page_allocator.h"

namespace jet {

PageAllocator::PageAllocator(Pager& pager)
    : pager_(pager), global_(pager), maps_(pager, [this]() { return allocate(); }) {}

Result<uint32_t> PageAllocator::allocate() {
    uint32_t n = 0;
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef page, pager_.allocate());
        n = page->number;
    }
    JET_RETURN_IF_ERROR(global_.markUsed(n));
    return n;
}

Status PageAllocator::checkRoom(uint64_t pages, uint32_t maps) const {
    // Each map may promote (a few bitmap pages) and cross into new slots as it grows; the
    // global map may open new slots too.
    const uint64_t per = pagesPerBitmapPage(pager_.pageSize());
    const uint64_t bitmaps =
        (uint64_t{maps} + 1) * (UsageMapEditor::kMaxPagesPerSet + pages / per + 1);
    if (uint64_t{pager_.pageCount()} + pages + bitmaps > pager_.pageLimit())
        return Status::tooLarge(sizeLimitMessage(pager_.pageSize()));
    return Status::ok();
}

}  // namespace jet
