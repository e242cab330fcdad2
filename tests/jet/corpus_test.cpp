// The reader against the real corpus: every user table of every file, every cell, compared
// with what mdb-export wrote (truth/<file>/<table>.csv), through the same CSV code the CLI
// uses. Where mdbtools is known to be wrong, the expected value comes from mdb-reader's
// dump (_mdbreader.json) instead; each such case is explained where it is handled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "cli/csv_writer.h"
#include "jet/database.h"
#include "support/csv_lite.h"
#include "support/files.h"
#include "support/json.h"

namespace {

using testing_support::CsvField;
using testing_support::CsvRow;
using testing_support::element;
using testing_support::items;
using testing_support::Json;
using testing_support::member;
using testing_support::number;
using testing_support::numberText;
using testing_support::utf16;
using testing_support::utf8;

constexpr size_t kMaxReported = 25;

std::vector<std::string> corpusFiles() {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        return {""};  // one test that reports the skip
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir + "/files")) {
        if (e.is_regular_file())
            names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string paramName(const testing::TestParamInfo<std::string>& info) {
    if (info.param.empty())
        return "NoCorpus";
    std::string out;
    for (char c : info.param)
        out.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return out;
}

std::string csvQuoted(const std::string& s) {
    return CsvField{s, true}.encoded();
}

std::string csvOf(const jet::Value& v) {
    std::string out;
    cli::appendCsvField(out, v);
    return out;
}

std::string shorten(const std::string& s) {
    return s.size() <= 120 ? s : s.substr(0, 117) + "...";
}

// Collects differences for one file and prints the first few in full.
class Mismatches {
  public:
    void add(const std::string& table, size_t row, const std::string& column,
             const std::string& expected, const std::string& actual) {
        if (count_++ < kMaxReported) {
            lines_ += "  table " + table + ", row " + std::to_string(row) + ", column " + column +
                      ": expected " + shorten(expected) + ", got " + shorten(actual) + "\n";
        }
    }
    size_t count() const { return count_; }
    std::string report() const {
        std::string r = std::to_string(count_) + " mismatch(es)";
        if (count_ > kMaxReported)
            r += ", first " + std::to_string(kMaxReported);
        return r + ":\n" + lines_;
    }

  private:
    size_t count_ = 0;
    std::string lines_;
};

// ---- Dates ----

// Days from 1970-01-01, written independently of the engine's calendar code.
int64_t civilDays(int64_t y, int m, int d) {
    static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    auto leapsBefore = [](int64_t year) {  // leap years in [1, year)
        const int64_t p = year - 1;
        return p / 4 - p / 100 + p / 400;
    };
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int64_t days_to_year = (y - 1) * 365 + leapsBefore(y);
    const int64_t days_to_1970 = 1969 * 365 + leapsBefore(1970);
    return days_to_year + kBefore[m - 1] + (m > 2 && leap) + d - 1 - days_to_1970;
}

void civilFromDays(int64_t days, int64_t& y, int& m, int& d) {
    y = 1970 + days / 365;
    while (civilDays(y, 1, 1) > days)
        --y;
    while (civilDays(y + 1, 1, 1) <= days)
        ++y;
    m = 12;
    while (civilDays(y, m, 1) > days)
        --m;
    d = static_cast<int>(days - civilDays(y, m, 1)) + 1;
}

// mdb-reader turns the stored double into time linearly (days * 86,400,000 ms). Access reads a
// negative value differently: the integer part is the day and the fraction's magnitude is the
// time of day, counted forward from midnight (-1.25 is 1899-12-29 06:00, not 12-28 18:00).
// Before 1899-12-30 mdb-reader is therefore wrong whenever there is a time of day, and
// mdbtools prints "1900-01-00" for every such date. This inverts mdb-reader's linear
// milliseconds to the stored double and applies Access's rule, giving the CSV text.
std::optional<std::string> accessDateFromLinearIso(const std::string& iso) {
    long long y;
    int mo, d, h, mi, s, ms;
    if (std::sscanf(iso.c_str(), "%lld-%d-%dT%d:%d:%d.%dZ", &y, &mo, &d, &h, &mi, &s, &ms) != 7) {
        return std::nullopt;
    }
    constexpr int64_t kDay = 86'400'000;
    const int64_t linear = (civilDays(y, mo, d) - civilDays(1899, 12, 30)) * kDay +
                           ((h * 60 + mi) * 60 + s) * 1000 + ms;
    int64_t day;
    int64_t time_ms;
    if (linear >= 0) {
        day = linear / kDay;
        time_ms = linear % kDay;
    } else {
        day = -((-linear) / kDay);  // the double's integer part, truncated toward zero
        time_ms = (-linear) % kDay;
    }
    int64_t secs = (time_ms + 500) / 1000;
    if (secs == 86400) {
        secs = 0;
        ++day;
    }
    int64_t cy;
    int cm, cd;
    civilFromDays(civilDays(1899, 12, 30) + day, cy, cm, cd);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d %02lld:%02lld:%02lld",
                  static_cast<long long>(cy), cm, cd, static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
    return std::string(buf);
}

// ---- Types ----

std::optional<jet::ColumnType> typeFromMdbReader(const std::string& t) {
    static const std::pair<const char*, jet::ColumnType> kTypes[] = {
        {"boolean", jet::ColumnType::kBoolean}, {"byte", jet::ColumnType::kByte},
        {"integer", jet::ColumnType::kInt},     {"long", jet::ColumnType::kLong},
        {"currency", jet::ColumnType::kMoney},  {"float", jet::ColumnType::kFloat},
        {"double", jet::ColumnType::kDouble},   {"datetime", jet::ColumnType::kDateTime},
        {"binary", jet::ColumnType::kBinary},   {"text", jet::ColumnType::kText},
        {"ole", jet::ColumnType::kOle},         {"memo", jet::ColumnType::kMemo},
        {"repid", jet::ColumnType::kGuid},      {"numeric", jet::ColumnType::kNumeric},
    };
    for (const auto& [name, type] : kTypes) {
        if (t == name)
            return type;
    }
    return std::nullopt;
}

bool hasSurrogatePair(const std::u16string& s) {
    return std::any_of(s.begin(), s.end(), [](char16_t c) { return c >= 0xD800 && c <= 0xDFFF; });
}

// ---- One cell ----

struct CellContext {
    const jet::ColumnDef* column;
    bool jet3;
};

struct TableContext {
    const std::vector<jet::ColumnDef>* columns;
    bool jet3;
};

struct CellDiff {
    size_t row;
    std::string column, expected, actual;
};

// Compares our value with the truth. Returns an empty string when they agree, else the
// expected text (the actual text is csvOf(value)).
std::optional<std::string> checkCell(const CellContext& ctx, const jet::Value& value,
                                     const CsvField& truth, const Json& reader_value) {
    const std::string actual = csvOf(value);
    const bool truth_null = !truth.quoted && truth.text.empty();
    // mdb-export writes a zero-length value as NULL (it cannot tell them apart); Access keeps
    // the empty text "" distinct from NULL, and so do mdb-reader and we.
    if (truth_null && reader_value.is_string() && utf16(reader_value).empty()) {
        return actual == "\"\"" ? std::nullopt : std::optional<std::string>("\"\"");
    }
    if (truth_null && reader_value.is_object() && member(reader_value, "hex").is_string() &&
        utf16(member(reader_value, "hex")).empty()) {
        return actual == "\"\"" ? std::nullopt : std::optional<std::string>("\"\"");
    }
    switch (ctx.column->type) {
        case jet::ColumnType::kFloat:
        case jet::ColumnType::kDouble: {
            // mdbtools prints %.8g / %.16g, which need not read back exactly; mdb-reader has
            // the exact IEEE value (single widened to double). Compare numbers, and check that
            // our own text reads back to the very same value.
            if (truth_null || reader_value.is_null()) {
                if (jet::isNull(value) && truth_null && reader_value.is_null())
                    return std::nullopt;
                return truth.encoded();
            }
            const double want = number(reader_value);
            double got;
            bool round_trips;
            if (const float* f = std::get_if<float>(&value)) {
                got = *f;
                round_trips = std::strtof(actual.c_str(), nullptr) == *f;
            } else if (const double* d = std::get_if<double>(&value)) {
                got = *d;
                round_trips = std::strtod(actual.c_str(), nullptr) == *d;
            } else {
                return numberText(reader_value);
            }
            if (got == want && round_trips)
                return std::nullopt;
            return numberText(reader_value) + (round_trips ? "" : " (our text does not read back)");
        }
        case jet::ColumnType::kDateTime: {
            if (reader_value.is_string()) {
                const std::string iso = utf8(reader_value);
                if (iso < "1899-12-30") {  // see accessDateFromLinearIso
                    auto want = accessDateFromLinearIso(iso);
                    if (!want)
                        return "unparsable truth " + iso;
                    return actual == csvQuoted(*want)
                               ? std::nullopt
                               : std::optional<std::string>(csvQuoted(*want));
                }
            }
            break;
        }
        case jet::ColumnType::kGuid: {
            // mdb-export applies its binary format to GUIDs: hex of the ASCII text, with one
            // hyphen missing. mdb-reader has the plain lower-case form.
            if (reader_value.is_null())
                break;
            std::string want = utf8(reader_value);
            std::transform(want.begin(), want.end(), want.begin(),
                           [](unsigned char c) { return std::toupper(c); });
            want = csvQuoted("{" + want + "}");
            return actual == want ? std::nullopt : std::optional<std::string>(want);
        }
        case jet::ColumnType::kText:
        case jet::ColumnType::kMemo: {
            if (!reader_value.is_string())
                break;
            const std::u16string& mr = utf16(reader_value);
            // mdbtools cuts text at U+0000 and mangles characters outside the BMP; mdb-reader
            // keeps both exactly.
            if (mr.find(u'\0') != std::u16string::npos || hasSurrogatePair(mr)) {
                const std::string want = csvQuoted(utf8(reader_value));
                return actual == want ? std::nullopt : std::optional<std::string>(want);
            }
            // Jet 3 bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D: mdbtools prints '?', mdb-reader
            // U+FFFD. Windows' cp1252 table maps them to U+0081 etc., which is what we expect:
            // every U+FFFD of mdb-reader must be one of those five code points in ours.
            if (ctx.jet3 && mr.find(u'\uFFFD') != std::u16string::npos) {
                const auto* ours = std::get_if<std::u16string>(&value);
                bool ok = ours && ours->size() == mr.size();
                for (size_t i = 0; ok && i < mr.size(); ++i) {
                    const char16_t c = (*ours)[i];
                    ok = mr[i] == u'\uFFFD'
                             ? (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D)
                             : c == mr[i];
                }
                if (ok)
                    return std::nullopt;
                return csvQuoted(utf8(reader_value)) + " (U+FFFD as U+0081/8D/8F/90/9D)";
            }
            break;
        }
        default:
            break;
    }
    if (actual == truth.encoded())
        return std::nullopt;
    return truth.encoded();
}

void compareRow(const TableContext& ctx, const std::vector<jet::Value>& ours, const CsvRow& truth,
                const Json& reader_row, size_t row, std::vector<CellDiff>& diffs) {
    const auto& cols = *ctx.columns;
    if (truth.size() != cols.size() || items(reader_row).size() != cols.size()) {
        diffs.push_back(
            {row, "(cells)", std::to_string(cols.size()), std::to_string(truth.size())});
        return;
    }
    for (size_t c = 0; c < cols.size(); ++c) {
        if (auto want =
                checkCell({&cols[c], ctx.jet3}, ours[c], truth[c], element(reader_row, c))) {
            diffs.push_back({row, cols[c].name, *want, csvOf(ours[c])});
        }
    }
}

// ---- One table ----

void checkTable(jet::Database& db, const std::string& dir, const std::string& file,
                const std::string& table, const std::string& csv_name, const Json& reader_table,
                Mismatches& mm) {
    auto csv_text = testing_support::readFile(dir + "/truth/" + file + "/" + csv_name);
    std::vector<CsvRow> truth;
    if (!csv_text || !testing_support::parseCsv(*csv_text, truth) || truth.empty()) {
        mm.add(table, 0, "-", "a readable truth CSV " + csv_name, "none");
        return;
    }
    const CsvRow header = truth.front();
    const size_t truth_rows = truth.size() - 1;

    auto count = db.countRows(table);
    if (!count) {
        mm.add(table, 0, "-", std::to_string(truth_rows) + " rows", count.status().toString());
        return;
    }
    if (*count != truth_rows) {
        mm.add(table, 0, "(row count)", std::to_string(truth_rows), std::to_string(*count));
    }

    auto cursor = db.openTable(table);
    if (!cursor) {
        mm.add(table, 0, "-", "an open cursor", cursor.status().toString());
        return;
    }
    const auto& cols = (*cursor)->def().columns;
    const Json& reader_cols = member(reader_table, "columns");
    if (cols.size() != header.size() || cols.size() != items(reader_cols).size()) {
        mm.add(table, 0, "(columns)", std::to_string(header.size()) + " columns",
               std::to_string(cols.size()));
        return;
    }
    for (size_t c = 0; c < cols.size(); ++c) {
        if (cols[c].name != header[c].text) {
            mm.add(table, 0, "(name of column " + std::to_string(c) + ")", header[c].text,
                   cols[c].name);
        }
        const auto want_type = typeFromMdbReader(utf8(member(element(reader_cols, c), "type")));
        if (!want_type || *want_type != cols[c].type) {
            mm.add(table, 0, cols[c].name + " (type)",
                   utf8(member(element(reader_cols, c), "type")), jet::typeName(cols[c].type));
        }
    }

    // Our rows, read in full (the tables are small), then compared in order.
    std::vector<std::vector<jet::Value>> ours;
    std::vector<jet::Value> row;
    while (true) {
        auto more = (*cursor)->next(row);
        if (!more) {
            mm.add(table, ours.size(), "-", "row " + std::to_string(ours.size()),
                   more.status().toString());
            return;
        }
        if (!*more)
            break;
        ours.push_back(row);
    }
    if (ours.size() != truth_rows) {
        mm.add(table, ours.size(), "(rows read)", std::to_string(truth_rows),
               std::to_string(ours.size()));
        return;
    }

    const TableContext ctx{&cols, db.header().version == jet::JetVersion::kJet3};
    const Json& reader_rows = member(reader_table, "rows");
    if (items(reader_rows).size() != truth_rows) {
        mm.add(table, 0, "(mdb-reader rows)", std::to_string(truth_rows),
               std::to_string(items(reader_rows).size()));
        return;
    }
    std::vector<CellDiff> diffs;
    for (size_t r = 0; r < truth_rows; ++r) {
        compareRow(ctx, ours[r], truth[r + 1], element(reader_rows, r), r, diffs);
    }
    if (diffs.empty())
        return;

    // Row order. Where a row was moved to another page (its slot holds an overflow pointer),
    // we return it at the pointer's slot, while mdbtools skips the pointer and returns the
    // row where its bytes lie. Both give every row once; if ours are a permutation of the
    // truth's, that is all the difference there is.
    std::vector<bool> used(truth_rows, false);
    size_t moved = 0;
    bool permutation = true;
    for (size_t r = 0; r < truth_rows && permutation; ++r) {
        bool found = false;
        for (size_t k = 0; k < truth_rows && !found; ++k) {
            const size_t t = (r + k) % truth_rows;  // try the same position first
            if (used[t])
                continue;
            std::vector<CellDiff> d;
            compareRow(ctx, ours[r], truth[t + 1], element(reader_rows, t), r, d);
            if (d.empty()) {
                used[t] = found = true;
                moved += t != r;
            }
        }
        permutation = found;
    }
    if (permutation) {
        std::printf("note: %s: %zu of %zu rows come in another order than mdb-export's\n",
                    table.c_str(), moved, truth_rows);
        return;
    }
    for (const auto& d : diffs)
        mm.add(table, d.row, d.column, d.expected, d.actual);
}

jet::Result<std::unique_ptr<jet::Database>> openCorpus(const std::string& file,
                                                       const std::u16string& password) {
    jet::OpenOptions opts;
    opts.password = password;
    return jet::Database::open(testing_support::testdataDir() + "/files/" + file, opts);
}

// ---- The per-file test ----

class CorpusTest : public testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, MatchesTruth) {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        GTEST_SKIP() << "no corpus: set VKDC_TESTDATA_DIR to testdata/jet";
    const std::string file = GetParam();
    std::string err;
    auto info = testing_support::readJsonFile(dir + "/truth/" + file + "/_info.json", &err);
    ASSERT_TRUE(info) << err;
    auto reader = testing_support::readJsonFile(dir + "/truth/" + file + "/_mdbreader.json", &err);
    ASSERT_TRUE(reader) << err;

    auto db = openCorpus(file, utf16(member(*reader, "password")));
    if (utf8(member(*info, "kind")) != "Jet") {
        ASSERT_FALSE(db) << file << " is not Jet 3/4 and must be refused";
        EXPECT_EQ(db.status().code(), jet::Status::Code::kUnsupportedVersion)
            << db.status().toString();
        return;
    }
    ASSERT_TRUE(db) << db.status().toString();

    // Header facts.
    const jet::Header& h = (*db)->header();
    const Json& th = member(*info, "header");
    EXPECT_EQ(h.code_page, number(member(th, "code_page")));
    EXPECT_EQ(h.sort_order, number(member(th, "sort_order")));
    EXPECT_EQ(h.page_size, number(member(th, "page_size")));
    EXPECT_EQ(h.version == jet::JetVersion::kJet3 ? 0 : 1, number(member(th, "version_byte")));
    EXPECT_EQ(h.db_key != 0, testing_support::isTrue(member(th, "pages_encoded")));
    if (h.version == jet::JetVersion::kJet4) {
        EXPECT_EQ(h.creation_date, number(member(th, "creation_date_raw")));
    }
    EXPECT_EQ(h.hasPassword(), !member(*reader, "password").is_null());
    EXPECT_EQ(jet::toUtf8(h.password()), utf8(member(*reader, "password")));

    // The table list, and linked tables reported as such.
    std::set<std::string> want_tables, got_tables, want_linked, got_linked;
    for (const auto& t : items(member(*info, "tables")))
        want_tables.insert(utf8(member(t, "name")));
    for (const auto& t : items(member(*info, "linked_tables")))
        want_linked.insert(utf8(t));
    for (const auto& o : (*db)->objects()) {
        (o.kind == jet::ObjectKind::kTable ? got_tables : got_linked).insert(o.name);
    }
    EXPECT_EQ(got_tables, want_tables);
    EXPECT_EQ(got_linked, want_linked);

    Mismatches mm;
    for (const auto& t : items(member(*info, "tables"))) {
        const std::string name = utf8(member(t, "name"));
        const Json& files = member(*info, "table_files");
        const Json* csv_name = files.contains(name) ? &*files.find(name) : nullptr;
        const Json* reader_table = nullptr;
        for (const auto& rt : items(member(*reader, "tables"))) {
            if (utf8(member(rt, "name")) == name)
                reader_table = &rt;
        }
        if (!csv_name || !reader_table) {
            mm.add(name, 0, "-", "truth files for the table", "none");
            continue;
        }
        checkTable(**db, dir, file, name, utf8(*csv_name), *reader_table, mm);
    }
    EXPECT_EQ(mm.count(), 0u) << file << ": " << mm.report();
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, testing::ValuesIn(corpusFiles()), paramName);

// ---- Specific promises about particular files ----

class CorpusFacts : public testing::Test {
  protected:
    void SetUp() override {
        if (testing_support::testdataDir().empty()) {
            GTEST_SKIP() << "no corpus: set VKDC_TESTDATA_DIR to testdata/jet";
        }
    }
};

TEST_F(CorpusFacts, PasswordsAreCheckedExactly) {
    const std::pair<const char*, std::u16string> kProtected[] = {
        {"mdbreader-V2000_with-password.mdb", u"password"},
        {"mdbreader-V2003_with-password.mdb", u"password"},
        {"ucanaccess-password.mdb", u"ucanaccess"},
    };
    for (const auto& [file, password] : kProtected) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(openCorpus(file, password));
        for (const std::u16string wrong : {u"", u"Password", u"password ", u"ucanacces"}) {
            if (wrong == password)
                continue;
            auto db = openCorpus(file, wrong);
            ASSERT_FALSE(db);
            EXPECT_EQ(db.status().code(), jet::Status::Code::kWrongPassword);
        }
        // Inspection may skip the check, and still sees that a password is set.
        jet::OpenOptions inspect;
        inspect.check_password = false;
        auto db = jet::Database::open(testing_support::testdataDir() + "/files/" + file, inspect);
        ASSERT_TRUE(db) << db.status().toString();
        EXPECT_TRUE((*db)->header().hasPassword());
        EXPECT_EQ((*db)->header().password(), password);
    }
    for (const char* file :
         {"mdbreader-V2000_no-password.mdb", "mdbreader-V2003_no-password.mdb"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(openCorpus(file, u""));
        auto db = openCorpus(file, u"password");
        ASSERT_FALSE(db);
        EXPECT_EQ(db.status().code(), jet::Status::Code::kWrongPassword);
    }
}

TEST_F(CorpusFacts, AceFilesAreRefusedAsUnsupported) {
    for (const char* file : {"jackcess-V2007-testV2007.accdb", "jackcess-V2010-testV2010.accdb",
                             "jackcess-empty2016.accdb"}) {
        auto db = openCorpus(file, u"");
        ASSERT_FALSE(db) << file;
        EXPECT_EQ(db.status().code(), jet::Status::Code::kUnsupportedVersion) << file;
        EXPECT_FALSE(db.status().message().empty());
    }
}

TEST_F(CorpusFacts, LinkedTablesAreListedWithTheirTarget) {
    auto db = openCorpus("ucanaccess-linked.mdb", u"");
    ASSERT_TRUE(db) << db.status().toString();
    EXPECT_TRUE((*db)->tables().empty());
    std::map<std::string, std::string> linked;
    for (const auto& o : (*db)->objects()) {
        EXPECT_EQ(o.kind, jet::ObjectKind::kLinkedTable) << o.name;
        linked[o.name] = o.linked_database;
    }
    ASSERT_EQ(linked.size(), 2u);
    EXPECT_NE(linked["Table1"].find("linkee1.mdb"), std::string::npos) << linked["Table1"];
    EXPECT_NE(linked["table2"].find("linkee2.mdb"), std::string::npos) << linked["table2"];
    // A linked table has no rows here to read.
    EXPECT_FALSE((*db)->openTable("Table1"));
}

TEST_F(CorpusFacts, RowCountComesFromTheDataNotTheTdef) {
    // The TDEF of this table says 274, but 275 rows are on its pages.
    auto db = openCorpus("jackcess-testIndexCodes-r2009.mdb", u"");
    ASSERT_TRUE(db) << db.status().toString();
    auto def = (*db)->tableDef("Table1");
    ASSERT_TRUE(def) << def.status().toString();
    EXPECT_EQ(def->num_rows, 274u);
    auto count = (*db)->countRows("Table1");
    ASSERT_TRUE(count) << count.status().toString();
    EXPECT_EQ(*count, 275u);
}

TEST(CorpusDates, LinearReadingIsConvertedToAccessRule) {
    // The helper above is the test's own ground truth; pin it to hand-worked values.
    EXPECT_EQ(accessDateFromLinearIso("1899-12-28T21:36:00.000Z"), "1899-12-29 02:24:00");
    EXPECT_EQ(accessDateFromLinearIso("1899-12-29T23:59:29.644Z"), "1899-12-30 00:00:30");
    EXPECT_EQ(accessDateFromLinearIso("1899-09-26T13:40:45.033Z"), "1899-09-27 10:19:15");
    EXPECT_EQ(accessDateFromLinearIso("1805-06-12T00:00:00.000Z"), "1805-06-12 00:00:00");
    EXPECT_EQ(accessDateFromLinearIso("1974-09-21T12:00:00.000Z"), "1974-09-21 12:00:00");
}

}  // namespace
