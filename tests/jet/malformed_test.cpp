// Damaged copies of real files. Whatever the damage, opening, listing and reading every row,
// and the integrity check, must end in a clean error value or in correct rows: never a crash,
// a hang or a sanitizer report. Every damaged image is built in memory from a corpus file (the
// corpus itself is only read); truncations also go through a real file in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <set>
#include <thread>
#include <type_traits>

#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/integrity_check.h"
#include "jet/rc4.h"
#include "support/files.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using Code = Status::Code;

// A read-only file over bytes in memory; reads past the end fail the way a real file does.
class MemoryFile final : public File {
  public:
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    Status readAt(uint64_t offset, size_t n, uint8_t* dst) override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) {
            return Status::corrupt(name_ + ": file ends at byte " + std::to_string(bytes_.size()));
        }
        std::memcpy(dst, bytes_.data() + offset, n);
        return Status::ok();
    }
    Status writeAt(uint64_t, const uint8_t*, size_t) override {
        return Status::ioError(name_ + ": opened read-only");
    }
    Result<uint64_t> size() override { return static_cast<uint64_t>(bytes_.size()); }
    Status sync() override { return Status::ok(); }
    const std::string& name() const override { return name_; }

  private:
    std::vector<uint8_t> bytes_;
    std::string name_ = "memory";
};

// SplitMix64: the same sequence on every platform, so a failing case number replays.
class Rng {
  public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }

  private:
    uint64_t s_;
};

// Aborts the whole process, naming the case, when one case outlives its budget: a reader
// stuck in a loop must fail the suite quickly instead of stalling it until the CTest timeout.
class Watchdog {
  public:
    Watchdog() : thread_([this] { run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void arm(const std::string& label) {
        std::lock_guard<std::mutex> lock(mu_);
        label_ = label;
        deadline_ = std::chrono::steady_clock::now() + kBudget;
        armed_ = true;
        cv_.notify_all();
    }
    void disarm() {
        std::lock_guard<std::mutex> lock(mu_);
        armed_ = false;
    }

  private:
    static constexpr std::chrono::seconds kBudget{20};

    void run() {
        std::unique_lock<std::mutex> lock(mu_);
        while (!stop_) {
            if (!armed_) {
                cv_.wait(lock);
                continue;
            }
            auto deadline = deadline_;
            if (cv_.wait_until(lock, deadline) == std::cv_status::timeout && armed_ &&
                deadline_ == deadline) {
                std::fprintf(stderr, "malformed input case '%s' did not finish within %lld s\n",
                             label_.c_str(), static_cast<long long>(kBudget.count()));
                std::abort();
            }
        }
    }

    std::mutex mu_;
    std::condition_variable cv_;
    bool stop_ = false;
    bool armed_ = false;
    std::string label_;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

// ---- Reading everything a caller can reach ----

void mix(uint64_t& h, const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ b[i]) * 0x100000001B3ULL;
}

void mixValue(uint64_t& h, const Value& v) {
    const uint8_t kind = static_cast<uint8_t>(v.index());
    mix(h, &kind, 1);
    std::visit(
        [&h](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Null>) {
            } else if constexpr (std::is_arithmetic_v<T>) {
                mix(h, &x, sizeof x);
            } else if constexpr (std::is_same_v<T, Money>) {
                mix(h, &x.scaled, sizeof x.scaled);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                mix(h, &x.ole, sizeof x.ole);
            } else if constexpr (std::is_same_v<T, Guid>) {
                mix(h, x.bytes.data(), x.bytes.size());
            } else if constexpr (std::is_same_v<T, Decimal>) {
                const uint8_t head[3] = {x.negative, x.precision, x.scale};
                mix(h, head, 3);
                mix(h, x.words.data(), sizeof x.words);
            } else {  // std::u16string, Bytes
                const uint64_t n = x.size();
                mix(h, &n, sizeof n);
                mix(h, x.data(), x.size() * sizeof(x[0]));
            }
        },
        v);
}

struct TableRead {
    std::string name;
    uint32_t tdef_page = 0;
    Status status;  // first error while reading rows
    uint64_t rows = 0;
    uint64_t digest = 0xCBF29CE484222325ULL;
    Status count_status;
    uint64_t count = 0;
};

struct ReadAll {
    Status open;
    std::vector<TableRead> tables;
    Status check;  // the integrity check's error, if it could not read the file through
};

// A runaway cursor (one that never ends) is a failure in its own right.
constexpr uint64_t kMaxRows = 1000000;

ReadAll readAll(std::unique_ptr<File> file) {
    ReadAll out;
    OpenOptions options;
    options.check_password = false;
    options.cache_pages = 32;
    auto db = Database::open(std::move(file), options);
    if (!db) {
        out.open = db.status();
        return out;
    }
    for (const CatalogEntry& e : (*db)->tables()) {
        TableRead t;
        t.name = e.name;
        t.tdef_page = e.id;
        auto cursor = (*db)->openTableAt(e.id);
        if (!cursor) {
            t.status = cursor.status();
        } else {
            std::vector<Value> row;
            while (true) {
                auto more = (*cursor)->next(row);
                if (!more) {
                    t.status = more.status();
                    break;
                }
                if (!*more)
                    break;
                if (row.size() != (*cursor)->def().columns.size()) {
                    t.status = Status::invalidArgument(
                        "row has " + std::to_string(row.size()) + " values for " +
                        std::to_string((*cursor)->def().columns.size()) + " columns");
                    break;
                }
                for (const Value& v : row)
                    mixValue(t.digest, v);
                if (++t.rows > kMaxRows) {
                    t.status = Status::invalidArgument("cursor never ends");
                    break;
                }
            }
        }
        auto count = (*db)->countRows(e.name);
        if (count) {
            t.count = *count;
        } else {
            t.count_status = count.status();
        }
        out.tables.push_back(std::move(t));
    }
    out.check = checkIntegrity(**db).status();
    return out;
}

std::string describe(const ReadAll& r) {
    if (!r.open.isOk())
        return "open: " + r.open.toString();
    std::string s;
    for (const TableRead& t : r.tables) {
        s += "[" + t.name + ": " + std::to_string(t.rows) + " rows, " +
             (t.status.isOk() ? "ok" : t.status.toString()) + ", count " +
             (t.count_status.isOk() ? std::to_string(t.count) : t.count_status.toString()) + "] ";
    }
    return s;
}

bool allowed(const Status& s, std::initializer_list<Code> kinds) {
    return s.isOk() || std::find(kinds.begin(), kinds.end(), s.code()) != kinds.end();
}

// Every error is of a sensible kind, and a table that reads to the end agrees with its count.
void expectClean(const ReadAll& r, const std::string& label,
                 std::initializer_list<Code> open_kinds = {Code::kCorrupt}) {
    EXPECT_TRUE(allowed(r.open, open_kinds)) << label << ": " << r.open.toString();
    for (const TableRead& t : r.tables) {
        EXPECT_TRUE(allowed(t.status, {Code::kCorrupt}))
            << label << ": table " << t.name << ": " << t.status.toString();
        EXPECT_TRUE(allowed(t.count_status, {Code::kCorrupt}))
            << label << ": count of " << t.name << ": " << t.count_status.toString();
        if (t.status.isOk() && t.count_status.isOk()) {
            EXPECT_EQ(t.rows, t.count) << label << ": table " << t.name;
        }
    }
}

// Clean, and what was read is exactly the undamaged file's content.
void expectErrorOrSame(const ReadAll& r, const ReadAll& base, const std::string& label,
                       std::initializer_list<Code> open_kinds = {Code::kCorrupt}) {
    expectClean(r, label, open_kinds);
    if (!r.open.isOk())
        return;
    ASSERT_EQ(r.tables.size(), base.tables.size()) << label << ": " << describe(r);
    for (size_t i = 0; i < r.tables.size(); ++i) {
        const TableRead& t = r.tables[i];
        EXPECT_EQ(t.name, base.tables[i].name) << label;
        if (t.status.isOk()) {
            EXPECT_EQ(t.rows, base.tables[i].rows) << label << ": table " << t.name;
            EXPECT_EQ(t.digest, base.tables[i].digest) << label << ": table " << t.name;
        }
    }
}

// ---- Building damaged images ----

// A file image that knows its page layout and encoding, so structures can be edited in
// plain form and stored back the way the file keeps them.
class Image {
  public:
    explicit Image(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        auto h = parseHeader(bytes_.data(), bytes_.size());
        if (h)
            header_ = *h;
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    uint32_t pageSize() const { return header_.page_size; }
    const Format& format() const { return header_.format(); }
    uint32_t pageCount() const { return static_cast<uint32_t>(bytes_.size() / pageSize()); }

    // Runs `edit` over the plain bytes of page n and stores the result.
    void editPage(uint32_t n, const std::function<void(uint8_t*)>& edit) {
        uint8_t* p = bytes_.data() + static_cast<size_t>(n) * pageSize();
        const bool encoded = header_.db_key != 0 && n != 0;
        if (encoded)
            rc4Apply(header_.db_key ^ n, p, pageSize());
        edit(p);
        if (encoded)
            rc4Apply(header_.db_key ^ n, p, pageSize());
    }
    // XOR needs no decoding: RC4 is itself an XOR stream.
    void flip(size_t offset, uint8_t mask) { bytes_[offset] ^= mask; }

    // Bounds [start, end) of row `row` on a data page, or false when there is no such row.
    bool rowBounds(const uint8_t* page, uint32_t row, uint32_t& start, uint32_t& end) const {
        const Format& f = format();
        const uint32_t rows = le16(page + f.data_row_count);
        if (row >= rows)
            return false;
        auto entry = [&](uint32_t r) { return le16(page + f.data_row_table + 2 * r); };
        start = entry(row) & kRowOffsetMask;
        end = row == 0 ? pageSize() : (entry(row - 1) & kRowOffsetMask);
        return start < end && end <= pageSize();
    }

  private:
    std::vector<uint8_t> bytes_;
    Header header_;
};

// What the reader finds in the undamaged file, as places to damage.
struct Layout {
    std::vector<uint32_t> tdef_pages;  // MSysObjects and every user table, all continuations
    std::vector<uint32_t> data_pages;  // MSysObjects and every user table
    std::vector<uint32_t> lval_pages;
    std::vector<RowPointer> maps;  // owned and free-space maps of the tables
    struct Table {
        uint32_t tdef = 0;
        std::vector<uint32_t> tdef_pages;
        RowPointer owned_map;
        std::vector<uint32_t> data_pages;
    };
    std::vector<Table> tables;  // MSysObjects first
    struct LongValue {
        uint32_t tdef = 0;
        size_t header_offset = 0;  // file offset of the 12-byte header in the row
        RowPointer first;          // first LVAL row
    };
    std::vector<LongValue> long_values;
};

void addUnique(std::vector<uint32_t>& v, uint32_t n) {
    if (std::find(v.begin(), v.end(), n) == v.end())
        v.push_back(n);
}

// Bounds [start, stop) of variable column `v` in a row, from the offset table at the row's
// end (Jet 4: 16-bit entries; Jet 3: 8-bit entries plus a jump table for the high bytes).
bool varColumn(JetVersion version, const uint8_t* r, uint32_t len, uint32_t v, uint32_t& start,
               uint32_t& stop) {
    if (version == JetVersion::kJet4) {
        const uint32_t nm = (le16(r) + 7) / 8;
        if (len < nm + 8)
            return false;
        const uint32_t nvar = le16(r + len - nm - 2);
        if (v >= nvar || len < nm + 6 + 2 * v)
            return false;
        start = le16(r + len - nm - 4 - 2 * v);
        stop = le16(r + len - nm - 6 - 2 * v);
    } else {
        const int64_t n = len, last = n - 1, nm = (r[0] + 7) / 8;
        if (last - nm < 1)
            return false;
        const int64_t nvar = r[last - nm];
        int64_t jumps = (n - 1) / 256;
        const int64_t p = last - nm - jumps - 1;
        if ((p - nvar) / 256 < jumps)
            --jumps;
        if (v >= nvar || p - nvar < 1)
            return false;
        int64_t used = 0;
        int64_t offsets[2] = {};
        for (int64_t i = 0; i <= static_cast<int64_t>(v) + 1; ++i) {
            while (used < jumps && i == r[last - nm - 1 - used])
                ++used;
            if (i >= static_cast<int64_t>(v))
                offsets[i - v] = r[p - i] + 256 * used;
        }
        start = static_cast<uint32_t>(offsets[0]);
        stop = static_cast<uint32_t>(offsets[1]);
    }
    return start <= stop && stop <= len;
}

// Locates the 12-byte headers of MEMO/OLE values stored outside their rows.
void findLongValues(Database& db, const TableDef& def, uint32_t page, Layout& layout) {
    if (def.num_var_cols == 0)
        return;
    auto pref = db.pager().read(page);
    if (!pref)
        return;
    const Format& f = db.format();
    const uint32_t rows = le16((*pref)->data() + f.data_row_count);
    for (uint32_t slot = 0; slot < rows; ++slot) {
        const uint16_t entry = le16((*pref)->data() + f.data_row_table + 2 * slot);
        if (entry & (kRowDeleted | kRowOverflow))
            continue;
        auto raw = db.decoder().rowAt(RowPointer{page, static_cast<uint8_t>(slot)}, false);
        if (!raw || raw->deleted || raw->length < 4)
            continue;
        const uint8_t* r = raw->page->data() + raw->offset;
        for (const ColumnDef& c : def.columns) {
            uint32_t start, stop;
            if (!c.isLongValue() ||
                !varColumn(f.version, r, raw->length, c.var_index, start, stop) ||
                stop < start + 12)
                continue;
            const uint8_t kind = r[start + 3] & 0xC0;
            const RowPointer first = RowPointer::decode(le32(r + start + 4));
            if ((kind == 0x40 || kind == 0x00) && !first.isNull()) {
                layout.long_values.push_back(
                    {def.tdef_page, static_cast<size_t>(page) * f.page_size + raw->offset + start,
                     first});
                addUnique(layout.lval_pages, first.page);
            }
        }
    }
}

Layout findLayout(Database& db) {
    Layout layout;
    std::vector<uint32_t> tdefs = {2};
    for (const CatalogEntry& e : db.tables())
        tdefs.push_back(e.id);
    for (uint32_t tp : tdefs) {
        auto def = db.tableDefAt(tp);
        if (!def)
            continue;
        for (uint32_t p : def->tdef_pages)
            addUnique(layout.tdef_pages, p);
        layout.maps.push_back(def->owned_map);
        layout.maps.push_back(def->free_map);
        Layout::Table t{tp, def->tdef_pages, def->owned_map, {}};
        if (auto pages = db.usageMapPages(def->owned_map))
            t.data_pages = *pages;
        for (uint32_t p : t.data_pages) {
            addUnique(layout.data_pages, p);
            if (tp != 2)
                findLongValues(db, *def, p, layout);
        }
        for (const LongValueMaps& m : def->long_value_maps) {
            if (auto pages = db.usageMapPages(m.owned)) {
                for (uint32_t p : *pages)
                    addUnique(layout.lval_pages, p);
            }
        }
        layout.tables.push_back(std::move(t));
    }
    if (layout.lval_pages.empty()) {
        // Jet 3 keeps no per-column maps; LVAL pages name themselves in the owner field.
        for (uint32_t n = 1; n < db.pager().pageCount(); ++n) {
            auto p = db.pager().read(n);
            if (p && (*p)->data()[0] == kPageData &&
                std::memcmp((*p)->data() + 4, "LVAL", 4) == 0) {
                layout.lval_pages.push_back(n);
            }
        }
    }
    return layout;
}

// ---- The corpus files ----

struct Sample {
    const char* file;
    int flips_per_page;       // random damage cases per page of each kind
    uint32_t trunc_stride;    // truncate at every n-th page boundary
    uint32_t pages_per_kind;  // at most this many pages of each kind get damaged
};

void PrintTo(const Sample& s, std::ostream* os) {
    *os << s.file;
}

class MalformedTest : public ::testing::TestWithParam<Sample> {
  protected:
    void SetUp() override {
        const std::string dir = testing_support::testdataDir();
        if (dir.empty())
            GTEST_SKIP() << "Jet corpus not found (set VKDC_TESTDATA_DIR)";
        const fs::path path = fs::path(dir) / "files" / GetParam().file;
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << "cannot read " << path;
        original_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

        base_ = readAll(std::make_unique<MemoryFile>(original_));
        ASSERT_TRUE(base_.open.isOk()) << base_.open.toString();
        for (const TableRead& t : base_.tables) {
            ASSERT_TRUE(t.status.isOk()) << t.name << ": " << t.status.toString();
        }
        OpenOptions options;
        options.check_password = false;
        auto db = Database::open(std::make_unique<MemoryFile>(original_), options);
        ASSERT_TRUE(db.isOk());
        layout_ = findLayout(**db);
        page_size_ = (*db)->format().page_size;
        mask_len_ = (*db)->format().header_mask_len;
    }

    void TearDown() override { RecordProperty("damaged_cases", cases_); }

    ReadAll run(const std::string& label, std::vector<uint8_t> bytes) {
        ++cases_;
        watchdog_.arm(std::string(GetParam().file) + ": " + label);
        ReadAll r = readAll(std::make_unique<MemoryFile>(std::move(bytes)));
        watchdog_.disarm();
        return r;
    }

    // Damages `pages` with seeded random byte changes. Even cases hit the first `head`
    // bytes of the page, where counts, lengths and pointers live; odd cases the whole page.
    void randomFlips(const std::string& kind, std::vector<uint32_t> pages, uint32_t head) {
        if (pages.size() > GetParam().pages_per_kind)
            pages.resize(GetParam().pages_per_kind);
        uint64_t seed = 0;
        for (char ch : kind)
            seed = seed * 131 + static_cast<uint8_t>(ch);
        for (uint32_t page : pages) {
            for (int c = 0; c < GetParam().flips_per_page; ++c) {
                const uint32_t lo = 0, hi = c % 2 ? page_size_ : std::min(head, page_size_);
                Rng rng(seed * 0x10001 + page * 1000003ULL + c * 7919ULL);
                Image img(original_);
                const int changes = 1 + rng.below(3);
                for (int k = 0; k < changes; ++k) {
                    const uint32_t at = lo + rng.below(hi - lo);
                    img.flip(static_cast<size_t>(page) * page_size_ + at,
                             static_cast<uint8_t>(1 + rng.below(255)));
                }
                const std::string label =
                    kind + " page " + std::to_string(page) + " case " + std::to_string(c);
                expectClean(run(label, img.bytes()), label);
            }
        }
    }

    std::vector<uint8_t> original_;
    ReadAll base_;
    Layout layout_;
    uint32_t page_size_ = 0;
    uint32_t mask_len_ = 0;
    int cases_ = 0;
    Watchdog watchdog_;
};

TEST_P(MalformedTest, TruncatedFileGivesErrorOrSameRows) {
    std::vector<size_t> sizes = {0, 1, 4, 0x14, 0x15, 0x18, 0x40, 0x80, 0x18 + mask_len_ - 1};
    const uint32_t pages = static_cast<uint32_t>(original_.size() / page_size_);
    for (uint32_t p = 1; p < pages; p += GetParam().trunc_stride) {
        sizes.push_back(static_cast<size_t>(p) * page_size_);
    }
    sizes.push_back(static_cast<size_t>(pages / 2) * page_size_ + page_size_ / 2);
    sizes.push_back(original_.size() - 1);

    // Through a real file too: the OS-backed reader sees the short file the same way.
    testing_support::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string copy = dir.file("truncated.mdb");
    for (size_t size : sizes) {
        const std::string label = "truncated to " + std::to_string(size) + " bytes";
        std::vector<uint8_t> cut(original_.begin(), original_.begin() + size);
        // Too short for a header: nothing about it says "Jet" yet, or it is cut mid-header.
        const auto header_kinds = {Code::kCorrupt, Code::kNotJet};
        expectErrorOrSame(
            run(label, cut), base_, label,
            size < page_size_ ? header_kinds : std::initializer_list<Code>{Code::kCorrupt});
        {
            std::ofstream out(copy, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(cut.data()),
                      static_cast<std::streamsize>(cut.size()));
        }
        ++cases_;
        watchdog_.arm(label + " (on disk)");
        auto file = openFileReadOnly(copy);
        ASSERT_TRUE(file.isOk()) << file.status().toString();
        ReadAll r = readAll(std::move(file).value());
        watchdog_.disarm();
        expectErrorOrSame(
            r, base_, label + " (on disk)",
            size < page_size_ ? header_kinds : std::initializer_list<Code>{Code::kCorrupt});
    }
}

TEST_P(MalformedTest, DamagedHeaderIsRefusedOrHarmless) {
    const auto kinds = {Code::kCorrupt, Code::kNotJet, Code::kUnsupportedVersion};
    // Targeted: the identifying fields.
    struct Edit {
        const char* what;
        size_t offset;
        uint8_t value;
        Code expect;
    };
    const Edit edits[] = {
        {"page type", 0, 0x01, Code::kNotJet},
        {"engine name", 4, 'X', Code::kNotJet},
        {"version byte ACE 12", 0x14, 0x02, Code::kUnsupportedVersion},
        {"version byte ACE 17", 0x14, 0x06, Code::kUnsupportedVersion},
        {"version byte unknown", 0x14, 0x7F, Code::kUnsupportedVersion},
    };
    for (const Edit& e : edits) {
        std::vector<uint8_t> bytes = original_;
        bytes[e.offset] = e.value;
        ReadAll r = run(e.what, bytes);
        EXPECT_EQ(r.open.code(), e.expect) << e.what << ": " << r.open.toString();
    }
    // Random damage over the fixed and the masked fields (code page, key, dates, password).
    for (int c = 0; c < 6 * GetParam().flips_per_page; ++c) {
        Rng rng(0x4EAD + c);
        Image img(original_);
        const int changes = 1 + rng.below(3);
        for (int k = 0; k < changes; ++k) {
            img.flip(rng.below(0x18 + mask_len_), static_cast<uint8_t>(1 + rng.below(255)));
        }
        const std::string label = "header case " + std::to_string(c);
        expectClean(run(label, img.bytes()), label, kinds);
    }
}

TEST_P(MalformedTest, DamagedTableDefinitionsGiveCleanErrors) {
    // The header block and the first column descriptors.
    randomFlips("TDEF", layout_.tdef_pages, 160);
}

TEST_P(MalformedTest, DamagedDataPagesGiveCleanErrors) {
    const Format& f = Image(original_).format();
    randomFlips("data", layout_.data_pages, f.data_row_table + 2 * 16);
}

TEST_P(MalformedTest, DamagedLongValuePagesGiveCleanErrors) {
    if (layout_.lval_pages.empty())
        GTEST_SKIP() << "no long values stored outside rows";
    const Format& f = Image(original_).format();
    randomFlips("LVAL", layout_.lval_pages, f.data_row_table + 2 * 8);
}

TEST_P(MalformedTest, DamagedUsageMapsGiveCleanErrors) {
    const Format& f = Image(original_).format();
    std::vector<uint32_t> pages;
    for (RowPointer m : layout_.maps)
        addUnique(pages, m.page);
    randomFlips("usage map", pages, f.data_row_table + 2 * 8);
    // Inside the map rows only: start page, map type and bitmap bytes.
    int c = 0;
    for (RowPointer m : layout_.maps) {
        for (int k = 0; k < GetParam().flips_per_page; ++k, ++c) {
            Image img(original_);
            Rng rng(0x3A9 + c);
            img.editPage(m.page, [&](uint8_t* p) {
                uint32_t start, end;
                if (!img.rowBounds(p, m.row, start, end))
                    return;
                const uint32_t at = start + (k == 0 ? 0 : rng.below(std::min(end - start, 8u)));
                p[at] ^= static_cast<uint8_t>(1 + rng.below(255));
            });
            const std::string label = "map row " + std::to_string(m.page) + ":" +
                                      std::to_string(m.row) + " case " + std::to_string(k);
            expectClean(run(label, img.bytes()), label);
        }
    }
}

TEST_P(MalformedTest, TableDefinitionChainPointingToItself) {
    for (const Layout::Table& t : layout_.tables) {
        Image img(original_);
        img.editPage(t.tdef, [&](uint8_t* p) { put32(p + 4, t.tdef); });
        const std::string label = "TDEF " + std::to_string(t.tdef) + " continues on itself";
        expectErrorOrSame(run(label, img.bytes()), base_, label);
        if (t.tdef_pages.size() > 1) {
            // The last continuation leads back to the first page.
            Image cycle(original_);
            cycle.editPage(t.tdef_pages.back(), [&](uint8_t* p) { put32(p + 4, t.tdef); });
            const std::string l2 = "TDEF " + std::to_string(t.tdef) + " chain cycles";
            expectErrorOrSame(run(l2, cycle.bytes()), base_, l2);
        }
    }
}

TEST_P(MalformedTest, OverflowRowPointingToItself) {
    // Turn the first live row of each table into an overflow pointer to its own slot.
    const Format& f = Image(original_).format();
    int cases = 0;
    for (const Layout::Table& t : layout_.tables) {
        for (uint32_t page : t.data_pages) {
            Image img(original_);
            bool done = false;
            img.editPage(page, [&](uint8_t* p) {
                const uint32_t rows = le16(p + f.data_row_count);
                for (uint32_t r = 0; r < rows && !done; ++r) {
                    uint8_t* entry = p + f.data_row_table + 2 * r;
                    uint32_t start, end;
                    if ((le16(entry) & kRowDeleted) || !img.rowBounds(p, r, start, end) ||
                        end - start < 4) {
                        continue;
                    }
                    put16(entry,
                          static_cast<uint16_t>((le16(entry) & kRowOffsetMask) | kRowOverflow));
                    put32(p + start, RowPointer{page, static_cast<uint8_t>(r)}.encode());
                    done = true;
                }
            });
            if (!done)
                continue;
            ++cases;
            const std::string label = "overflow loop on page " + std::to_string(page);
            ReadAll r = run(label, img.bytes());
            expectClean(r, label);
            if (t.tdef == 2) {
                EXPECT_FALSE(r.open.isOk()) << label << ": " << describe(r);
            } else if (r.open.isOk()) {
                for (const TableRead& tr : r.tables) {
                    if (tr.tdef_page == t.tdef) {
                        EXPECT_EQ(tr.status.code(), Code::kCorrupt) << label << ": " << describe(r);
                    }
                }
            }
            break;  // one page per table
        }
    }
    EXPECT_GT(cases, 0);
}

// Files whose MEMO/OLE values live on LVAL pages.
class MalformedLongValueTest : public MalformedTest {};

TEST_P(MalformedLongValueTest, LongValueChainPointingToItself) {
    ASSERT_FALSE(layout_.long_values.empty()) << "no long values stored outside rows";
    size_t cases = 0;
    for (const Layout::LongValue& lv : layout_.long_values) {
        if (cases++ >= 4)
            break;
        Image img(original_);
        const uint32_t row_page = static_cast<uint32_t>(lv.header_offset / page_size_);
        const uint32_t in_page = static_cast<uint32_t>(lv.header_offset % page_size_);
        // Make the value a chain whose first row names itself as the next one.
        img.editPage(row_page, [&](uint8_t* p) { p[in_page + 3] &= 0x3F; });
        bool done = false;
        img.editPage(lv.first.page, [&](uint8_t* p) {
            uint32_t start, end;
            if (!img.rowBounds(p, lv.first.row, start, end) || end - start < 4)
                return;
            put32(p + start, lv.first.encode());
            done = true;
        });
        if (!done)
            continue;
        const std::string label = "long-value chain loops at page " +
                                  std::to_string(lv.first.page) + " row " +
                                  std::to_string(lv.first.row);
        ReadAll r = run(label, img.bytes());
        expectClean(r, label);
        ASSERT_TRUE(r.open.isOk()) << label << ": " << r.open.toString();
        for (const TableRead& t : r.tables) {
            if (t.tdef_page == lv.tdef) {
                EXPECT_EQ(t.status.code(), Code::kCorrupt) << label << ": " << describe(r);
            }
        }
    }
}

TEST_P(MalformedTest, ReferenceMapNamingPageOfWrongType) {
    // Rewrite each table's owned-pages map as a reference map whose first bitmap page is
    // something else: the table's own TDEF, one of its data pages, or a page past the end.
    // Or it is a bitmap page of all ones: the map then marks some 30,000 pages past the end,
    // and the first of them must end the listing (it once went on to list every one).
    const uint32_t pages = Image(original_).pageCount();
    struct Target {
        uint32_t page;
        bool all_ones;
    };
    for (const Layout::Table& t : layout_.tables) {
        std::vector<Target> targets = {{t.tdef, false}, {pages + 5, false}};
        if (!t.data_pages.empty()) {
            targets.push_back({t.data_pages.front(), false});
            targets.push_back({t.data_pages.front(), true});
        }
        for (const Target& target : targets) {
            Image img(original_);
            bool done = false;
            img.editPage(t.owned_map.page, [&](uint8_t* p) {
                uint32_t start, end;
                if (!img.rowBounds(p, t.owned_map.row, start, end) || end - start < 5)
                    return;
                std::memset(p + start, 0, end - start);
                p[start] = 0x01;
                put32(p + start + 1, target.page);
                done = true;
            });
            ASSERT_TRUE(done);
            if (target.all_ones) {
                img.editPage(target.page, [&](uint8_t* p) {
                    std::memset(p, 0xFF, page_size_);
                    p[0] = kPageUsageBitmap;
                    p[1] = 0x01;
                    p[2] = p[3] = 0;
                });
            }
            const std::string label = "table at " + std::to_string(t.tdef) +
                                      ": reference map names page " + std::to_string(target.page) +
                                      (target.all_ones ? " of all ones" : "");
            ReadAll r = run(label, img.bytes());
            expectClean(r, label);
            const std::string first_past = "lists page " + std::to_string(pages) + " beyond";
            if (t.tdef == 2) {
                EXPECT_FALSE(r.open.isOk()) << label << ": " << describe(r);
                if (target.all_ones) {
                    EXPECT_NE(r.open.message().find(first_past), std::string::npos) << label;
                }
                continue;
            }
            ASSERT_TRUE(r.open.isOk()) << label << ": " << r.open.toString();
            for (const TableRead& tr : r.tables) {
                if (tr.tdef_page != t.tdef)
                    continue;
                EXPECT_EQ(tr.status.code(), Code::kCorrupt) << label << ": " << describe(r);
                EXPECT_EQ(tr.count_status.code(), Code::kCorrupt) << label << ": " << describe(r);
                if (target.all_ones) {
                    EXPECT_NE(tr.status.message().find(first_past), std::string::npos)
                        << label << ": " << tr.status.toString();
                }
            }
        }
    }
}

std::string sampleName(const ::testing::TestParamInfo<Sample>& info) {
    std::string name = info.param.file;
    name = name.substr(0, name.rfind('.'));
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    }
    return name;
}

// Small files of each kind; the large one only lightly.
INSTANTIATE_TEST_SUITE_P(Corpus, MalformedTest,
                         ::testing::Values(Sample{"jackcess-V2000-test2V2000.mdb", 24, 1, 32},
                                           Sample{"jackcess-V2000-overflowTestV2000.mdb", 32, 1,
                                                  32},
                                           Sample{"jackcess-V2000-delTestV2000.mdb", 32, 1, 32},
                                           Sample{"jackcess-V1997-testV1997.mdb", 24, 1, 32},
                                           Sample{"jackcess-V1997-test2V1997.mdb", 16, 1, 16},
                                           Sample{"jackcessencrypt-db-enc.mdb", 32, 1, 32},
                                           Sample{"jackcessencrypt-db97-enc.mdb", 16, 1, 16},
                                           Sample{"jackcess-V2000-testV2000.mdb", 4, 23, 6}),
                         sampleName);

INSTANTIATE_TEST_SUITE_P(Corpus, MalformedLongValueTest,
                         ::testing::Values(Sample{"jackcess-V2000-test2V2000.mdb", 0, 1, 0},
                                           Sample{"jackcess-V1997-test2V1997.mdb", 0, 1, 0},
                                           Sample{"tika-testAccess2_2000.mdb", 0, 1, 0}),
                         sampleName);

}  // namespace
}  // namespace jet
