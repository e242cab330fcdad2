// The writer when the disk lets it down: a write that fails part way, an fsync that fails.
// Errors must reach the caller, and a writer that saw one must refuse further work. Also
// checks that a tiny page cache (constant evictions) still produces a correct file.
#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/writer.h"
#include "mem_file.h"

namespace {

using jet::ColumnType;
using jet::Status;
using jet::Value;
using writer_test::MemFile;
using writer_test::MemFileState;

jet::TableSpec contacts() {
    return {"Table_Contact",
            {{"ID", ColumnType::kLong, 0, true, true},
             {"Name", ColumnType::kText, 60},
             {"Notes", ColumnType::kMemo}}};
}

std::vector<Value> contactRow(int i) {
    return {jet::Null{}, u"\u0646\u0627\u0645 " + jet::fromUtf8(std::to_string(i)),
            std::u16string(static_cast<size_t>(i % 7) * 900, u'\u0628')};
}

// Writes rows until something fails; returns the first error (ok if nothing failed).
Status writeUntilError(jet::Writer& w, int rows) {
    Status st = w.createTable(contacts());
    for (int i = 0; st.isOk() && i < rows; ++i)
        st = w.append("Table_Contact", contactRow(i));
    if (st.isOk())
        st = w.flush();
    return st;
}

TEST(WriterFailure, AFailedWriteIsReportedAndStopsTheWriter) {
    for (size_t limit : {size_t{0}, size_t{4096 * 3}, size_t{4096 * 20}, size_t{4096 * 100}}) {
        SCOPED_TRACE("writes fail after " + std::to_string(limit) + " bytes");
        auto state = std::make_shared<MemFileState>();
        state->fail_writes_after = limit;
        jet::CreateOptions opts;
        opts.cache_pages = 8;  // evictions write pages long before flush()
        auto w = jet::Writer::create(std::make_unique<MemFile>(state), opts);
        if (!w.isOk()) {
            // Creating the catalog already needed more pages than the cache holds.
            EXPECT_EQ(w.status().code(), Status::Code::kIoError);
            EXPECT_NE(w.status().message().find("No space left"), std::string::npos);
            continue;
        }
        Status st = writeUntilError(**w, 2000);
        ASSERT_EQ(st.code(), Status::Code::kIoError) << st.toString();
        EXPECT_NE(st.message().find("No space left"), std::string::npos) << st.message();
        // Every later call reports the same failure instead of writing more.
        Status again = (*w)->append("Table_Contact", contactRow(1));
        EXPECT_EQ(again.code(), Status::Code::kIoError);
        EXPECT_NE(again.message().find("earlier write failed"), std::string::npos);
        EXPECT_EQ((*w)->flush().code(), Status::Code::kIoError);
        EXPECT_EQ((*w)->close().code(), Status::Code::kIoError);
        EXPECT_LE(state->written, limit);
    }
}

TEST(WriterFailure, AFailedSyncIsReported) {
    auto state = std::make_shared<MemFileState>();
    auto w = jet::Writer::create(std::make_unique<MemFile>(state));
    ASSERT_TRUE(w.isOk());
    ASSERT_TRUE(writeUntilError(**w, 10).isOk());
    EXPECT_EQ(state->syncs, 1);
    state->fail_sync = true;
    ASSERT_TRUE((*w)->append("Table_Contact", contactRow(11)).isOk());
    Status st = (*w)->flush();
    EXPECT_EQ(st.code(), Status::Code::kIoError);
    EXPECT_NE(st.message().find("fsync failed"), std::string::npos) << st.message();
    EXPECT_EQ((*w)->close().code(), Status::Code::kIoError);
}

// A writer dropped without close() writes its rows and their count out; it syncs only when
// nobody else is to sync the file.
TEST(WriterFailure, ADroppedWriterSyncsOnlyWhenAskedTo) {
    for (const bool sync : {true, false}) {
        auto state = std::make_shared<MemFileState>();
        ASSERT_TRUE(
            writeUntilError(**jet::Writer::create(std::make_unique<MemFile>(state)), 3).isOk());
        const int syncs = state->syncs;
        {
            jet::WriterOpenOptions o;
            o.sync_on_close = sync;
            auto w = jet::Writer::open(std::make_unique<MemFile>(state), o);
            ASSERT_TRUE(w.isOk());
            ASSERT_TRUE((*w)->append("Table_Contact", contactRow(4)).isOk());
        }
        EXPECT_EQ(state->syncs, syncs + (sync ? 1 : 0));
        auto db = jet::Database::open(std::make_unique<MemFile>(state));
        EXPECT_EQ((*db)->tableDef("Table_Contact")->num_rows, 4u);
        EXPECT_EQ(*(*db)->countRows("Table_Contact"), 4u);
    }
}

TEST(WriterFailure, CloseReportsWhatFlushReports) {
    auto state = std::make_shared<MemFileState>();
    auto w = jet::Writer::create(std::make_unique<MemFile>(state));
    ASSERT_TRUE(w.isOk());
    ASSERT_TRUE(writeUntilError(**w, 5).isOk());
    ASSERT_TRUE((*w)->append("Table_Contact", contactRow(6)).isOk());
    state->fail_writes_after = state->written;  // the next page write fails
    EXPECT_EQ((*w)->close().code(), Status::Code::kIoError);
    EXPECT_EQ((*w)->append("Table_Contact", contactRow(7)).code(), Status::Code::kInvalidArgument);
}

// With an eight-page cache almost every step evicts pages that are still being worked on;
// the file must come out the same as with a large cache.
TEST(WriterFailure, ATinyCacheGivesTheSameFile) {
    std::vector<uint8_t> files[2];
    for (int pass = 0; pass < 2; ++pass) {
        auto state = std::make_shared<MemFileState>();
        jet::CreateOptions opts;
        opts.creation_date = 45000.5;
        opts.cache_pages = pass == 0 ? 8 : 100000;
        auto w = jet::Writer::create(std::make_unique<MemFile>(state), opts);
        ASSERT_TRUE(w.isOk());
        ASSERT_TRUE(writeUntilError(**w, 3000).isOk());
        EXPECT_LE((*w)->pager().cachedPages(), opts.cache_pages);
        ASSERT_TRUE((*w)->close().isOk());
        files[pass] = state->bytes;
    }
    // The catalog rows carry the time the table was created; everything else is equal.
    ASSERT_EQ(files[0].size(), files[1].size());
    size_t differing = 0;
    for (size_t i = 0; i < files[0].size(); ++i)
        differing += files[0][i] != files[1][i];
    EXPECT_LE(differing, 16u);

    auto state = std::make_shared<MemFileState>();
    state->bytes = files[0];
    auto db = jet::Database::open(std::make_unique<MemFile>(state));
    ASSERT_TRUE(db.isOk()) << db.status().toString();
    auto cursor = (*db)->openTable("Table_Contact");
    ASSERT_TRUE(cursor.isOk());
    std::vector<Value> row;
    int n = 0;
    while (true) {
        auto more = (*cursor)->next(row);
        ASSERT_TRUE(more.isOk()) << more.status().toString();
        if (!*more)
            break;
        std::vector<Value> want = contactRow(n);
        want[0] = int32_t{n + 1};
        ASSERT_EQ(row, want) << "row " << n;
        ++n;
    }
    EXPECT_EQ(n, 3000);
}

// Damaged databases give error values: never a crash, a hang or a read out of bounds (the
// sanitizer build checks the last). Bytes of the catalog and data pages are garbled at
// random (deterministic seeds) and the writer is asked to open, add a table and append.
TEST(WriterFailure, DamagedFilesGiveErrorsNotCrashes) {
    auto base = std::make_shared<MemFileState>();
    {
        jet::CreateOptions opts;
        opts.creation_date = 45000.5;
        auto w = jet::Writer::create(std::make_unique<MemFile>(base), opts);
        ASSERT_TRUE(w.isOk());
        ASSERT_TRUE(writeUntilError(**w, 300).isOk());
        ASSERT_TRUE((*w)->close().isOk());
    }
    const size_t pages = base->bytes.size() / 4096;
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int opened = 0;
    for (int round = 0; round < 300; ++round) {
        auto state = std::make_shared<MemFileState>();
        state->bytes = base->bytes;
        const size_t page = 1 + next() % (pages - 1);
        const int flips = 1 + static_cast<int>(next() % 24);
        for (int k = 0; k < flips; ++k) {
            const size_t at = page * 4096 + next() % 4096;
            state->bytes[at] = static_cast<uint8_t>(next());
        }
        auto w = jet::Writer::open(std::make_unique<MemFile>(state));
        if (!w.isOk())
            continue;
        ++opened;
        (void)(*w)->createTable({"T" + std::to_string(round), {{"A", ColumnType::kText, 10}}});
        for (int i = 0; i < 20; ++i)
            (void)(*w)->append("Table_Contact", contactRow(i));
        (void)(*w)->close();
    }
    EXPECT_GT(opened, 0);
}

}  // namespace
