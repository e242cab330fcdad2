#include "jet/pager.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "jet/rc4.h"

namespace jet {
namespace {

// Jet 4 files end at 2 GiB, Jet 3 files at 1 GiB; Jackcess refuses to grow a file past the
// same sizes.
constexpr uint64_t kJet4MaxBytes = uint64_t{2} << 30;
constexpr uint64_t kJet3MaxBytes = uint64_t{1} << 30;

std::atomic<uint32_t> g_test_page_limit{0};

uint64_t maxBytes(uint32_t page_size) {
    return page_size >= 4096 ? kJet4MaxBytes : kJet3MaxBytes;
}

}  // namespace

std::string sizeLimitMessage(uint32_t page_size) {
    return std::string("the database would exceed the ") +
           (maxBytes(page_size) == kJet4MaxBytes ? "2 GB" : "1 GB") + " limit of the file format";
}

void setPageLimitForTesting(uint32_t pages) {
    g_test_page_limit = pages;
}

Pager::Pager(std::unique_ptr<File> file, uint32_t page_size, uint32_t db_key, size_t capacity)
    : file_(std::move(file)),
      page_size_(page_size),
      db_key_(db_key),
      capacity_(std::max<size_t>(capacity, 8)) {
    auto sz = file_->size();
    if (sz.isOk())
        page_count_ = static_cast<uint32_t>(std::min<uint64_t>(*sz / page_size_, 0xFFFFFF));
    page_limit_ = static_cast<uint32_t>(maxBytes(page_size_) / page_size_);
    if (const uint32_t t = g_test_page_limit; t != 0)
        page_limit_ = std::min(page_limit_, t);
    map_.reserve(capacity_ + kMaxRunPages);
}

Pager::~Pager() = default;

Result<Pager::Entry*> Pager::load(uint32_t n) {
    auto it = map_.find(n);
    if (it != map_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second.lru);
        return &it->second;
    }
    if (n >= page_count_) {
        return Status::corrupt("page " + std::to_string(n) + " is beyond the end of the file (" +
                               std::to_string(page_count_) + " pages)");
    }
    // A scan reads ahead: the uncached pages that follow come in the same read.
    uint32_t run = 1;
    if (n == next_in_scan_) {
        const size_t most = std::min(kMaxRunPages, capacity_ / 8);
        while (run < most && n + run < page_count_ && !map_.count(n + run))
            ++run;
    }
    JET_RETURN_IF_ERROR(evictIfNeeded(run));
    if (run > 1) {
        growIoBuffer(size_t{run} * page_size_);
        // On failure the page alone is read again below, which reports the error as ever.
        if (!file_
                 ->readAt(static_cast<uint64_t>(n) * page_size_, size_t{run} * page_size_,
                          io_buffer_.data())
                 .isOk()) {
            run = 1;
        }
    }
    for (uint32_t k = run; k-- > 0;) {  // page n ends up the most recently used
        Entry& e = insert(n + k);
        Page& page = *e.page;
        if (run > 1) {
            std::memcpy(page.data(), io_buffer_.data() + size_t{k} * page_size_, page_size_);
        } else {
            Status st =
                file_->readAt(static_cast<uint64_t>(n) * page_size_, page_size_, page.data());
            if (!st.isOk()) {
                remove(map_.find(n));
                return st.withContext("page " + std::to_string(n));
            }
        }
        if (db_key_ != 0 && n + k != 0)
            rc4Apply(db_key_ ^ (n + k), page.data(), page_size_);
    }
    physical_reads_ += run;
    next_in_scan_ = n + run;
    return &map_.at(n);
}

Pager::Entry& Pager::insert(uint32_t n) {
    Entry* e;
    if (spare_.empty()) {
        lru_.push_front(n);
        e = &map_[n];
    } else {
        Map::node_type node = std::move(spare_.back());
        spare_.pop_back();
        node.key() = n;
        lru_.splice(lru_.begin(), spare_lru_, spare_lru_.begin());
        lru_.front() = n;
        e = &map_.insert(std::move(node)).position->second;
    }
    e->dirty = false;
    e->lru = lru_.begin();
    if (!e->page)
        e->page = std::make_shared<Page>();
    e->page->number = n;
    e->page->bytes.resize(page_size_);
    return *e;
}

void Pager::remove(Map::iterator it) {
    spare_lru_.splice(spare_lru_.begin(), lru_, it->second.lru);
    Map::node_type node = map_.extract(it);
    // A page a reader still holds must keep its bytes: it goes with its last reference.
    if (node.mapped().page.use_count() > 1)
        node.mapped().page.reset();
    spare_.push_back(std::move(node));
}

Result<PageRef> Pager::read(uint32_t n) {
    JET_ASSIGN_OR_RETURN(Entry * e, load(n));
    return PageRef(e->page);
}

Result<MutablePageRef> Pager::write(uint32_t n) {
    JET_ASSIGN_OR_RETURN(Entry * e, load(n));
    e->dirty = true;
    // Hand out a page that no reader shares, so a PageRef taken earlier stays unchanged.
    if (e->page.use_count() > 1)
        e->page = std::make_shared<Page>(*e->page);
    return e->page;
}

Result<MutablePageRef> Pager::allocate() {
    if (page_count_ >= page_limit_)
        return Status::tooLarge(sizeLimitMessage(page_size_));
    JET_RETURN_IF_ERROR(evictIfNeeded(1));
    Entry& e = insert(page_count_++);
    std::fill(e.page->bytes.begin(), e.page->bytes.end(), uint8_t{0});
    e.dirty = true;
    return e.page;
}

void Pager::growIoBuffer(size_t bytes) {
    // Only ever grown, so that its bytes are zeroed once rather than for every run.
    if (io_buffer_.size() < bytes)
        io_buffer_.resize(bytes);
}

Status Pager::writeRuns(const std::vector<uint32_t>& pages) {
    std::vector<uint8_t>& buf = io_buffer_;
    for (size_t i = 0; i < pages.size();) {
        size_t end = i + 1;
        while (end < pages.size() && pages[end] == pages[end - 1] + 1 && end - i < kMaxRunPages)
            ++end;
        growIoBuffer((end - i) * page_size_);
        for (size_t k = i; k < end; ++k) {
            const Page& page = *map_.at(pages[k]).page;
            uint8_t* to = buf.data() + (k - i) * page_size_;
            std::copy(page.bytes.begin(), page.bytes.end(), to);
            if (db_key_ != 0 && page.number != 0)
                rc4Apply(db_key_ ^ page.number, to, page_size_);
        }
        JET_RETURN_IF_ERROR(file_->writeAt(static_cast<uint64_t>(pages[i]) * page_size_, buf.data(),
                                           (end - i) * page_size_));
        for (size_t k = i; k < end; ++k)
            map_.at(pages[k]).dirty = false;
        i = end;
    }
    return Status::ok();
}

Status Pager::evictIfNeeded(size_t room) {
    while (map_.size() + room > capacity_ && !lru_.empty()) {
        uint32_t victim = lru_.back();
        auto it = map_.find(victim);
        if (it->second.dirty) {
            // The dirty pages next in line for eviction go out with the victim, in as few
            // writes as their numbers allow; they stay cached, clean.
            std::vector<uint32_t> batch;
            size_t seen = 0;
            for (auto r = lru_.rbegin(); r != lru_.rend() && seen < kEvictionBatch; ++r, ++seen) {
                if (map_.at(*r).dirty)
                    batch.push_back(*r);
            }
            std::sort(batch.begin(), batch.end());
            JET_RETURN_IF_ERROR(writeRuns(batch));
        }
        remove(it);
    }
    return Status::ok();
}

Status Pager::flush() {
    JET_RETURN_IF_ERROR(writeOut());
    return file_->sync();
}

Status Pager::writeOut() {
    std::vector<uint32_t> dirty;
    for (auto& [n, e] : map_)
        if (e.dirty)
            dirty.push_back(n);
    std::sort(dirty.begin(), dirty.end());
    return writeRuns(dirty);
}

}  // namespace jet
