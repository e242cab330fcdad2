// The integrity check: silent on every real file (stale row counts only warn), and finding
// the damage that leaves every row readable, by table, page and row.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/integrity_check.h"
#include "jet/long_value_ledger.h"
#include "jet/tdef_check.h"
#include "jet/writer.h"
#include "support/damage.h"
#include "support/files.h"

namespace jet {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

Result<IntegrityReport> checkFile(const std::string& path, const std::u16string& password = {}) {
    OpenOptions o;
    o.password = password;
    o.check_password = !password.empty();
    JET_ASSIGN_OR_RETURN(std::unique_ptr<Database> db, Database::open(path, o));
    return checkIntegrity(*db);
}

TEST(IntegrityCheck, RealFilesHaveNoDamageAndStaleCountsOnlyWarn) {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        GTEST_SKIP() << "no test corpus (set VKDC_TESTDATA_DIR)";
    size_t checked = 0, warnings = 0;
    for (const auto& e : fs::directory_iterator(dir + "/files")) {
        if (e.path().extension() != ".mdb")
            continue;  // .accdb files do not open
        SCOPED_TRACE(e.path().filename().string());
        auto report = checkFile(e.path().string());
        ASSERT_TRUE(report.isOk()) << report.status().toString();
        ++checked;
        for (const Finding& f : report->findings) {
            EXPECT_FALSE(f.isDamage()) << f.toString();
            EXPECT_EQ(f.area, Finding::Area::kRowCount) << f.toString();
            warnings += !f.isDamage();
        }
        if (e.path().filename() == "jackcess-testIndexCodes-r2009.mdb") {
            const auto& fs = report->findings;
            EXPECT_TRUE(std::any_of(fs.begin(), fs.end(), [](const Finding& f) {
                return f.toString() ==
                       "Table1: page 24: the table declares 274 rows and holds 275 "
                       "(a stale count; every row is read)";
            }));
        }
    }
    EXPECT_EQ(40u, checked);
    EXPECT_EQ(4u, warnings);  // three MSysACEs tables and one user table
}

// A table of 120 rows over several pages: text, a number, and a memo that is inline, on a
// long-value row of its own, or a chain of them.
class IntegrityDamageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto w = Writer::create(base_, {.password = kPassword});
        ASSERT_TRUE(w.isOk());
        ASSERT_TRUE((*w)->createTable({"People",
                                       {{"Name", ColumnType::kText, 255},
                                        {"Age", ColumnType::kLong},
                                        {"Note", ColumnType::kMemo}}})
                        .isOk());
        for (int i = 0; i < 120; ++i) {
            const std::u16string note(i % 3 == 0 ? 10 : i % 3 == 1 ? 300 : 5000, u'ن');
            ASSERT_TRUE(
                (*w)->append("People", {u"شخص " + fromUtf8(std::to_string(i)), int32_t{i}, note})
                    .isOk());
        }
        ASSERT_TRUE((*w)->close().isOk());
    }

    static constexpr char16_t kPassword[] = u"رمز";
    TempDir dir_;
    const std::string base_ = dir_.file("base.mdb");
};

TEST_F(IntegrityDamageTest, FindsDamageThatLeavesTheRowsReadable) {
    auto clean = checkFile(base_, kPassword);
    ASSERT_TRUE(clean.isOk());
    EXPECT_TRUE(clean->findings.empty()) << clean->findings[0].toString();

    enum Damage { kRetype, kCopyPage, kMoreDeclared, kFewerDeclared };
    const auto apply = [](Damage d, const std::string& path) {
        using namespace testing_support;
        switch (d) {
            case kRetype:
                return setColumnType(path, "People", kPassword, "Name", 0x02);
            case kCopyPage:
                return copyDataPage(path, "People", kPassword, 0, 1);
            case kMoreDeclared:
                return setDeclaredRows(path, "People", kPassword, 125);
            case kFewerDeclared:
                return setDeclaredRows(path, "People", kPassword, 100);
        }
        return false;
    };
    const struct {
        Damage damage;
        Finding::Area area;
        const char* what;  // a part of the finding's text
        bool row;          // whether the finding names a row (it always names a page)
        bool damaged = true;
    } cases[] = {
        {kRetype, Finding::Area::kColumns, "column Name: a Byte column is 1 byte, not 510", false},
        {kCopyPage, Finding::Area::kPages, "repeats page", false},
        // The copied rows point to the long values of the rows they copy.
        {kCopyPage, Finding::Area::kLongValues, "column Note: its long value at page", true},
        {kMoreDeclared, Finding::Area::kRowCount, "declares 125 rows and holds 120", false},
        // A count Access did not keep: a warning.
        {kFewerDeclared, Finding::Area::kRowCount, "(a stale count", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir_.file("damaged.mdb");
        // Removed first: MinGW's copy_file refuses overwrite_existing on an existing file.
        fs::remove(path);
        fs::copy_file(base_, path);
        ASSERT_TRUE(apply(c.damage, path));
        auto report = checkFile(path, kPassword);
        ASSERT_TRUE(report.isOk()) << report.status().toString();
        EXPECT_EQ(c.damaged, !report->consistent());
        EXPECT_EQ(c.damaged, report->damaged("People"));
        const auto& all = report->findings;
        auto f = std::find_if(all.begin(), all.end(), [&](const Finding& f) {
            return f.area == c.area && f.what.find(c.what) != std::string::npos;
        });
        ASSERT_NE(f, all.end()) << (all.empty() ? "no findings" : all[0].toString());
        EXPECT_TRUE(f->page.has_value()) << f->toString();
        EXPECT_EQ(c.row, f->row.has_value()) << f->toString();
    }
}

TEST(LongValueLedger, EveryPointerReachesItsOwnValue) {
    const RowPointer a{10, 0}, b{10, 1}, c{11, 0}, row1{5, 0}, row2{5, 1};
    const struct {
        const char* name;
        bool maps;
        std::vector<std::pair<RowPointer, uint32_t>> next;  // values: at, next (table 0)
        uint32_t value_table;
        std::vector<std::pair<RowPointer, bool>> pointers;  // from row1, row2, ...: target, chain
        const char* problem;                                // nullptr: none
    } cases[] = {
        // clang-format off
        {"values of their own", true, {{a, 0}, {b, 0}}, 0, {{a, false}, {b, false}}, nullptr},
        {"a chain", true, {{a, c.encode()}, {c, 0}}, 0, {{a, true}}, nullptr},
        {"a value that is not there", true, {{a, 0}}, 0, {{b, false}},
         "at page 10 row 1 is not there"},
        {"two rows on one value", true, {{a, 0}}, 0, {{a, false}, {a, false}},
         "is also used by page 5 row 0"},
        {"a chain that loops", true, {{a, c.encode()}, {c, a.encode()}}, 0, {{a, true}},
         "also used by this row"},
        {"a chain cut short", true, {{a, c.encode()}}, 0, {{a, true}},
         "at page 11 row 0 is not there"},
        {"a page no map of the table lists", true, {{a, 0}}, LongValueLedger::kUnlisted,
         {{a, false}}, "no long-value map of the table lists"},
        {"Jet 3, which keeps no such maps", false, {{a, 0}}, LongValueLedger::kUnlisted,
         {{a, false}}, nullptr},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LongValueLedger ledger;
        for (const auto& [at, next] : c.next)
            ledger.addValue(at, next, c.value_table);
        for (size_t i = 0; i < c.pointers.size(); ++i)
            ledger.addPointer(c.pointers[i].first, c.pointers[i].second, i == 0 ? row1 : row2, 0,
                              2);
        const auto problems = ledger.match(c.maps);
        if (!c.problem) {
            EXPECT_TRUE(problems.empty()) << problems[0].what;
            continue;
        }
        ASSERT_EQ(1u, problems.size());
        EXPECT_EQ(2u, problems[0].column);
        EXPECT_NE(std::string::npos, problems[0].what.find(c.problem)) << problems[0].what;
    }
}

TEST(TableDefCheck, ColumnsMustFitTheirTypesAndTheirSlots) {
    // Name: variable slot 0; Id: fixed at 0; Born: fixed at 4; a deleted column left the gap
    // of number 3 and of slot 1.
    TableDef base;
    base.max_cols = 5;
    base.num_var_cols = 3;
    auto col = [](const char* name, ColumnType type, uint16_t number, uint16_t length, bool fixed,
                  uint16_t at) {
        ColumnDef c;
        c.name = name;
        c.type = type;
        c.type_code = static_cast<uint8_t>(type);
        c.number = number;
        c.length = length;
        c.flags = fixed ? ColumnDef::kFlagFixed : 0;
        (fixed ? c.fixed_offset : c.var_index) = at;
        return c;
    };
    base.columns = {col("Id", ColumnType::kLong, 0, 4, true, 0),
                    col("Name", ColumnType::kText, 1, 510, false, 0),
                    col("Born", ColumnType::kDateTime, 2, 8, true, 4),
                    col("Note", ColumnType::kMemo, 4, 0, false, 2)};
    EXPECT_TRUE(checkTableDef(base, JetVersion::kJet4).empty());

    const auto retype = [](ColumnDef& c, ColumnType t) {
        c.type = t;
        c.type_code = static_cast<uint8_t>(t);
    };
    const struct {
        const char* name;
        std::function<void(TableDef&)> change;
        const char* problem;  // nullptr: none
    } cases[] = {
        {"Text turned into Byte", [&](TableDef& d) { retype(d.columns[1], ColumnType::kByte); },
         "column Name: a Byte column is 1 byte, not 510"},
        {"a fixed Long of 8 bytes", [](TableDef& d) { d.columns[0].length = 8; },
         "a Long column is 4 bytes, not 8"},
        {"an AutoNumber stored as a variable column",
         [&](TableDef& d) { d.columns[0] = col("Id", ColumnType::kLong, 0, 4, false, 1); },
         nullptr},
        {"Text turned into Memo", [&](TableDef& d) { retype(d.columns[1], ColumnType::kMemo); },
         "a Memo column keeps no length, not 510"},
        {"an unknown type", [](TableDef& d) { d.columns[1].type_code = 0x14; },
         "unknown type code 20"},
        {"two columns with one number", [](TableDef& d) { d.columns[3].number = 2; },
         "column Note: another column has number 2"},
        {"a number past the columns", [](TableDef& d) { d.columns[3].number = 5; },
         "number 5 is past the table's 5 columns"},
        {"a slot past the variable columns", [](TableDef& d) { d.columns[3].var_index = 3; },
         "variable slot 3 is past the table's 3"},
        {"two columns in one slot", [](TableDef& d) { d.columns[3].var_index = 0; },
         "another column has variable slot 0"},
        {"overlapping fixed columns", [](TableDef& d) { d.columns[2].fixed_offset = 2; },
         "two fixed columns share bytes 2 to 3"},
        {"a fixed column past the largest row",
         [](TableDef& d) { d.columns[2].fixed_offset = 4055; }, "puts it past the largest row"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TableDef def = base;
        c.change(def);
        const auto problems = checkTableDef(def, JetVersion::kJet4);
        if (!c.problem) {
            EXPECT_TRUE(problems.empty()) << problems[0];
            continue;
        }
        ASSERT_EQ(1u, problems.size()) << problems[0];
        EXPECT_NE(std::string::npos, problems[0].find(c.problem)) << problems[0];
    }
}

}  // namespace
}  // namespace jet
