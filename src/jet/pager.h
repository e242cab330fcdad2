// Page access through a bounded cache. The pager decrypts encoded pages on read and
// encodes them again on write, so everything above it sees plain pages.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/file.h"
#include "jet/status.h"

namespace jet {

struct Page {
    uint32_t number = 0;
    std::vector<uint8_t> bytes;

    const uint8_t* data() const { return bytes.data(); }
    uint8_t* data() { return bytes.data(); }
    size_t size() const { return bytes.size(); }
};

using PageRef = std::shared_ptr<const Page>;
using MutablePageRef = std::shared_ptr<Page>;

class Pager {
  public:
    // `db_key` is the header's encoding key (0: pages are stored plain). `capacity` is the
    // number of pages kept in memory; dirty pages beyond it are written out (not synced).
    Pager(std::unique_ptr<File> file, uint32_t page_size, uint32_t db_key, size_t capacity = 256);
    ~Pager();

    Pager(const Pager&) = delete;
    Pager& operator=(const Pager&) = delete;

    uint32_t pageSize() const { return page_size_; }
    // Number of whole pages in the file (including pages allocated but not yet flushed).
    uint32_t pageCount() const { return page_count_; }
    // The most pages the file may hold: the format's size limit, 2 GB of 4096-byte pages for
    // Jet 4 and 1 GB of 2048-byte pages for Jet 3 (524,288 pages either way).
    uint32_t pageLimit() const { return page_limit_; }

    // Returns page n. Pages past the end of the file are kCorrupt, naming the page.
    // Page 0 is returned as stored (its header mask is the caller's business).
    Result<PageRef> read(uint32_t n);

    // Returns page n for modification; it is written back on flush() or eviction.
    Result<MutablePageRef> write(uint32_t n);
    // Appends a zeroed page at the end of the file and returns it for modification.
    // kTooLarge once the file holds pageLimit() pages.
    Result<MutablePageRef> allocate();

    // Writes every dirty page and fsyncs the file. Errors are reported, never swallowed;
    // after an error the dirty pages stay dirty.
    Status flush();
    // flush() without the fsync: other handles on the file then read every page.
    Status writeOut();

    File& file() { return *file_; }

    // Counters for tests and benchmarks.
    uint64_t physicalReads() const { return physical_reads_; }
    size_t cachedPages() const { return map_.size(); }

  private:
    struct Entry {
        MutablePageRef page;
        bool dirty = false;
        std::list<uint32_t>::iterator lru;
    };
    using Map = std::unordered_map<uint32_t, Entry>;

    // Dirty pages leave the cache in batches, consecutive pages in one write.
    static constexpr size_t kEvictionBatch = 64;
    static constexpr size_t kMaxRunPages = 64;

    Result<Entry*> load(uint32_t n);
    // Caches page n (not cached yet) as the most recently used, its bytes page_size_ long
    // and to be filled by the caller; the entry and buffer of an evicted page are reused.
    Entry& insert(uint32_t n);
    // Takes the cache's entry for page n out again, into the spares.
    void remove(Map::iterator it);
    // Writes the cached dirty `pages` (ascending), a run of consecutive ones per write; each
    // is clean once its run is written.
    Status writeRuns(const std::vector<uint32_t>& pages);
    // Evicts until `room` more pages fit in the cache.
    Status evictIfNeeded(size_t room);
    // Makes io_buffer_ at least `bytes` long.
    void growIoBuffer(size_t bytes);

    std::unique_ptr<File> file_;
    uint32_t page_size_;
    uint32_t db_key_;
    size_t capacity_;
    uint32_t page_count_ = 0;
    uint32_t page_limit_ = 0;
    Map map_;
    std::list<uint32_t> lru_;  // front = most recently used
    // Evicted entries, their list nodes and the pages no reader holds, for insert() to
    // reuse: a scan through the cache allocates nothing per page. At most a run's worth.
    std::vector<Map::node_type> spare_;
    std::list<uint32_t> spare_lru_;
    uint64_t physical_reads_ = 0;
    uint32_t next_in_scan_ = 0;       // the page after the last read from the file
    std::vector<uint8_t> io_buffer_;  // runs of pages read ahead or written out
};

// The message of the kTooLarge error for a file of `page_size`-byte pages.
std::string sizeLimitMessage(uint32_t page_size);

// Makes pagers created from now on stop at `pages` pages instead of the format's limit (0
// restores it), so tests can reach the limit with small files.
void setPageLimitForTesting(uint32_t pages);

}  // namespace jet
