// The writer on copies of databases made by Microsoft Access: appending to their tables
// that have no indexes, refusing tables that have, and adding new tables to their catalog.
// Every row that was there before must read exactly as the corpus truth says afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "jet/rc4.h"
#include "jet/writer.h"
#include "support/files.h"
#include "support/json.h"
#include "writer_support.h"

namespace {

using jet::ColumnType;
using jet::Status;
using jet::Value;
using testing_support::element;
using testing_support::items;
using testing_support::Json;
using testing_support::member;
using testing_support::sameJson;
using testing_support::TempDir;
using testing_support::utf8;
using namespace writer_test;

// Copies a corpus file into `tmp`; empty when the corpus is absent.
std::string copyOf(const TempDir& tmp, const std::string& file) {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        return {};
    const std::string to = tmp.file(file);
    std::filesystem::copy_file(dir + "/files/" + file, to);
    return to;
}

std::string truthDir(const std::string& file) {
    return testing_support::testdataDir() + "/truth/" + file;
}

// The tables of `file` (other than `except`) read as the corpus truth says, by both readers.
void expectTablesAsTruth(const std::string& path, const std::string& file,
                         const std::string& new_table, size_t added_rows,
                         const std::string& grown_table = "") {
    auto truth = testing_support::readJsonFile(truthDir(file) + "/_mdbreader.json");
    ASSERT_TRUE(truth);
    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path);
        ASSERT_TRUE(dump) << "mdb-reader cannot read " << path;
        for (const Json& want : items(member(*truth, "tables"))) {
            const std::string name = utf8(member(want, "name"));
            const Json* got = dumpTable(*dump, name);
            ASSERT_TRUE(got) << name;
            EXPECT_TRUE(sameJson(member(want, "columns"), member(*got, "columns"))) << name;
            const auto& rows = items(member(*got, "rows"));
            const size_t extra = name == grown_table ? added_rows : 0;
            ASSERT_EQ(rows.size(), items(member(want, "rows")).size() + extra) << name;
            for (size_t i = 0; i < items(member(want, "rows")).size(); ++i)
                EXPECT_TRUE(sameJson(element(member(want, "rows"), i), rows[i]))
                    << name << " row " << i;
        }
        if (!new_table.empty()) {
            const Json* t = dumpTable(*dump, new_table);
            ASSERT_TRUE(t);
            EXPECT_EQ(items(member(*t, "rows")).size(), added_rows);
        }
    }
    if (haveMdbTools()) {
        for (const Json& want : items(member(*truth, "tables"))) {
            const std::string name = utf8(member(want, "name"));
            if (name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                       "0123456789 _.-") != std::string::npos)
                continue;  // truth CSV file names are percent-encoded; not needed here
            auto text = testing_support::readFile(truthDir(file) + "/" + name + ".csv");
            ASSERT_TRUE(text) << name;
            std::vector<testing_support::CsvRow> truth_rows;
            ASSERT_TRUE(testing_support::parseCsv(*text, truth_rows));
            auto got = mdbExport(path, name);
            ASSERT_TRUE(got) << name;
            const size_t extra = name == grown_table ? added_rows : 0;
            ASSERT_EQ(got->size(), truth_rows.size() + extra) << name;
            for (size_t r = 0; r < truth_rows.size(); ++r) {
                ASSERT_EQ((*got)[r].size(), truth_rows[r].size());
                for (size_t c = 0; c < truth_rows[r].size(); ++c) {
                    EXPECT_EQ((*got)[r][c].text, truth_rows[r][c].text) << name << " " << r;
                    EXPECT_EQ((*got)[r][c].quoted, truth_rows[r][c].quoted) << name << " " << r;
                }
            }
        }
    }
}

TEST(WriterAccess, AppendingToAnIndexedTableIsRefusedAndChangesNothing) {
    TempDir tmp;
    const std::string path = copyOf(tmp, "jackcess-V2000-testV2000.mdb");
    if (path.empty())
        GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
    const auto before = testing_support::readFile(path);
    auto w = jet::Writer::open(path);
    ASSERT_TRUE(w.isOk()) << w.status().toString();
    auto def = (*w)->tableDef("Table1");
    ASSERT_TRUE(def.isOk());
    std::vector<Value> row(def->columns.size(), jet::Null{});
    Status st = (*w)->append("Table1", row);
    EXPECT_EQ(st.code(), Status::Code::kNotSupported);
    EXPECT_NE(st.message().find("index \"B\""), std::string::npos) << st.message();
    EXPECT_EQ((*w)->append("Table3", {int32_t{1}, std::u16string(u"x")}).code(),
              Status::Code::kNotSupported);
    ASSERT_TRUE((*w)->close().isOk());
    EXPECT_EQ(testing_support::readFile(path), before);
}

// ACEs of a table, as (plain SID, ACM) pairs.
std::set<std::pair<std::vector<uint8_t>, int32_t>> acesOf(const std::string& path, int32_t id) {
    auto file = jet::openFileReadOnly(path);
    jet::Pager pager(std::move(file).value(), 4096, 0);
    std::vector<uint8_t> p0 = (*pager.read(0))->bytes;
    jet::toggleHeaderMask(jet::JetVersion::kJet4, p0.data());
    const uint32_t key = jet::sidMaskKey(p0.data());
    jet::OpenOptions inspect;
    inspect.check_password = false;
    auto db = jet::Database::open(path, inspect);
    auto cursor = (*db)->openTableAt(3);
    std::set<std::pair<std::vector<uint8_t>, int32_t>> out;
    EXPECT_TRUE((*cursor)
                    ->forEach([&](const std::vector<Value>& row) {
                        if (std::get<int32_t>(row[0]) != id)
                            return;
                        std::vector<uint8_t> sid = std::get<jet::Bytes>(row[1]);
                        jet::rc4Apply(key, sid.data(), sid.size());
                        out.insert({sid, std::get<int32_t>(row[2])});
                    })
                    .isOk());
    return out;
}

TEST(WriterAccess, NewTableInAnAccessFileLeavesEverythingElseAsItWas) {
    TempDir tmp;
    const std::string file = "jackcess-V2000-testV2000.mdb";
    const std::string path = copyOf(tmp, file);
    if (path.empty())
        GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
    auto counters = [&] {
        auto db = jet::Database::open(path);
        EXPECT_TRUE(db.isOk());
        return std::make_pair((*db)->tableDefAt(2)->num_rows, (*db)->tableDefAt(3)->num_rows);
    };
    const auto counted_before = counters();
    const std::vector<std::vector<Value>> rows = {
        {jet::Null{}, std::u16string(u"\u0639\u0644\u06cc\u200c\u0631\u0636\u0627"),
         std::u16string(6000, u'\u0633'), jet::DateTime{45000.25}},
        {jet::Null{}, std::u16string(u"Contact two"), jet::Null{}, jet::Null{}},
        {jet::Null{}, std::u16string(), std::u16string(u"short memo"), jet::DateTime{1.5}},
    };
    {
        auto w = jet::Writer::open(path);
        ASSERT_TRUE(w.isOk()) << w.status().toString();
        ASSERT_TRUE((*w)->createTable({"Table_Contact",
                                       {{"ID", ColumnType::kLong, 0, true, true},
                                        {"Name", ColumnType::kText, 100},
                                        {"Notes", ColumnType::kMemo},
                                        {"Added", ColumnType::kDateTime}}})
                        .isOk());
        for (const auto& r : rows)
            ASSERT_TRUE((*w)->append("Table_Contact", r).isOk());
        ASSERT_TRUE((*w)->close().isOk());
    }
    expectTablesAsTruth(path, file, "Table_Contact", rows.size());
    EXPECT_EQ(catalogProblems(path, false), "");
    // One object row and one ACE per right inherited from the Tables container.
    EXPECT_EQ(counters().first, counted_before.first + 1);
    EXPECT_EQ(counters().second, counted_before.second + 3);

    auto got = readAll(path, "Table_Contact");
    ASSERT_TRUE(got.isOk()) << got.status().toString();
    ASSERT_EQ(got->size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        std::vector<Value> want = rows[i];
        want[0] = static_cast<int32_t>(i + 1);
        EXPECT_EQ((*got)[i], want) << i;
    }
    auto db = jet::Database::open(path);
    ASSERT_TRUE(db.isOk());
    EXPECT_EQ((*db)->tables().size(), 5u);
    // The new table got the same owner and access rights as the tables Access made there:
    // the Tables container's inheritable rights, with "Creator" being the database owner.
    auto ours = (*db)->findTable("Table_Contact");
    auto theirs = (*db)->findTable("Table1");
    ASSERT_TRUE(ours.isOk() && theirs.isOk());
    const auto our_aces = acesOf(path, static_cast<int32_t>(ours->id));
    EXPECT_EQ(our_aces.size(), 3u);
    EXPECT_EQ(our_aces, acesOf(path, static_cast<int32_t>(theirs->id)));
    if (haveMdbTools()) {
        auto schema = mdbSchema(path);
        ASSERT_TRUE(schema);
        EXPECT_NE(schema->find("CREATE TABLE [Table_Contact]"), std::string::npos);
    }
}

// A value of the column's type, different for each `i`.
Value sampleValue(const jet::ColumnDef& c, int i) {
    switch (c.type) {
        case ColumnType::kText:
            return std::u16string(u"n\u00e9w \u0631\u062f\u06cc\u0641 ") +
                   static_cast<char16_t>(u'0' + i);
        case ColumnType::kMemo:
            return i == 1 ? std::u16string(7000, u'\u06a9')
                          : std::u16string(u"memo ") + static_cast<char16_t>(u'0' + i);
        case ColumnType::kLong:
            return c.isAutoNumber() ? Value(jet::Null{}) : Value(int32_t{1000 + i});
        case ColumnType::kNumeric: {
            jet::Decimal d;
            d.precision = c.precision;
            d.scale = c.scale;
            d.negative = i % 2 == 1;
            d.words = {0, 0, 0, static_cast<uint32_t>(12345 + i)};
            return d;
        }
        default:
            return jet::Null{};
    }
}

TEST(WriterAccess, AppendsToAccessTablesWithoutIndexes) {
    struct Target {
        const char* file;
        const char* table;
    };
    const Target targets[] = {
        {"jackcess-V2000-delTestV2000.mdb", "Table"},          // has deleted row slots
        {"jackcess-V2000-fixedNumericTestV2000.mdb", "test"},  // memo and fixed decimals
        {"jackcess-V2000-overflowTestV2000.mdb", "Table1"},    // overflow rows
        {"tika-testACCESS.mdb", "Batch"},                      // empty, with a memo
    };
    for (const Target& t : targets) {
        SCOPED_TRACE(t.file);
        TempDir tmp;
        const std::string path = copyOf(tmp, t.file);
        if (path.empty())
            GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
        auto before = readAll(path, t.table);
        ASSERT_TRUE(before.isOk()) << before.status().toString();
        std::vector<std::vector<Value>> added;
        {
            auto w = jet::Writer::open(path);
            ASSERT_TRUE(w.isOk()) << w.status().toString();
            auto def = (*w)->tableDef(t.table);
            ASSERT_TRUE(def.isOk());
            for (int i = 0; i < 3; ++i) {
                std::vector<Value> row;
                for (const auto& c : def->columns)
                    row.push_back(sampleValue(c, i));
                Status st = (*w)->append(t.table, row);
                ASSERT_TRUE(st.isOk()) << st.toString();
                added.push_back(row);
            }
            ASSERT_TRUE((*w)->close().isOk());
        }
        expectTablesAsTruth(path, t.file, "", added.size(), t.table);
        auto after = readAll(path, t.table);
        ASSERT_TRUE(after.isOk()) << after.status().toString();
        ASSERT_EQ(after->size(), before->size() + added.size());
        for (size_t i = 0; i < before->size(); ++i)
            EXPECT_EQ((*after)[i], (*before)[i]);
        for (size_t i = 0; i < added.size(); ++i)
            EXPECT_EQ((*after)[before->size() + i], added[i]) << "added row " << i;
        auto db = jet::Database::open(path);
        EXPECT_EQ((*db)->tableDef(t.table)->num_rows, before->size() + added.size());
    }
}

}  // namespace
