// The headless conversion: both version pairs end to end, checked by our reader and by the
// two outside readers, and every way a conversion can fail.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "convert/conversion.h"
#include "jet/database.h"
#include "jet/pager.h"
#include "jet/writer.h"
#include "jet/writer_support.h"
#include "store/data_control.h"
#include "store/templates.h"
#include "store/value_text.h"
#include "support/damage.h"
#include "support/failing_save_env.h"
#include "support/files.h"

namespace vkdc {
namespace {

namespace fs = std::filesystem;
using testing_support::element;
using testing_support::items;
using testing_support::member;
using testing_support::TempDir;
using testing_support::utf8;

struct Stamp {
    std::string bytes;
    std::filesystem::file_time_type mtime;
};

Stamp stampOf(const std::string& path) {
    std::error_code ec;
    return {testing_support::readFile(path).value_or(""),
            std::filesystem::last_write_time(path, ec)};
}

void expectUnchanged(const Stamp& before, const std::string& path) {
    Stamp after = stampOf(path);
    EXPECT_TRUE(before.bytes == after.bytes) << path << " changed";
    EXPECT_TRUE(before.mtime == after.mtime) << path << " was written";
}

bool hasNonBmp(const std::u16string& s) {
    for (char16_t c : s)
        if (c >= 0xD800 && c <= 0xDFFF)
            return true;
    return false;
}

class ConversionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        templates_ = dir_.path() + "/share";
        fs::create_directory(templates_);
        ASSERT_TRUE(makeTemplate("2.0", templates_ + "/VKDB12.mdb").isOk());
        ASSERT_TRUE(makeTemplate("3.0", templates_ + "/VKDB23.mdb").isOk());
        work_ = dir_.path() + "/work";
        fs::create_directory(work_);
    }

    std::string sample(const std::string& version, uint32_t contacts, const std::string& name) {
        SampleOptions o;
        o.contacts = contacts;
        const std::string path = dir_.path() + "/" + name;
        EXPECT_TRUE(makeSample(version, path, o).isOk());
        return path;
    }

    // A source of `version` with the tables reshaped by `reshape` and rows added by `fill`.
    std::string customSource(const std::string& version, const std::string& name,
                             const std::function<void(jet::TableSpec&)>& reshape,
                             const std::function<void(jet::Writer&)>& fill) {
        const std::string path = dir_.path() + "/" + name;
        jet::CreateOptions co;
        co.password = jet::fromUtf8(passwordOfVersion(version));
        auto w = jet::Writer::create(path, co);
        EXPECT_TRUE(w.isOk());
        auto layouts = schemaOf(version);
        for (auto layout : *layouts) {
            reshape(layout);
            EXPECT_TRUE((*w)->createTable(layout).isOk());
        }
        fill(**w);
        EXPECT_TRUE((*w)->close().isOk());
        return path;
    }

    // Converts `source` with `pair` into `dest`; returns the report.
    ConversionReport convert(const VersionPair& pair, const std::string& source,
                             const std::string& dest) {
        Conversion c(pair, templates_, work_);
        EXPECT_TRUE(c.analyse(source).ok());
        ConversionReport report;
        Outcome o = c.convert(report);
        EXPECT_TRUE(o.ok()) << o.detail;
        Outcome s = c.save(dest);
        EXPECT_TRUE(s.ok()) << s.detail;
        return report;
    }

    // Every row of every table of `dest` must be its source row through the field pairs, as
    // read by our reader, by mdb-export and by mdb-reader.
    void expectCarried(const VersionPair& pair, const std::string& source,
                       const std::string& dest) {
        EXPECT_TRUE(verifyConversion(pair, source, dest).ok())
            << verifyConversion(pair, source, dest).detail;
        const bool tools = writer_test::haveMdbTools();
        const bool reader = writer_test::haveMdbReader();
        if (!tools || !reader) {
            std::cerr << "note: mdbtools or mdb-reader missing; outside readers not checked\n";
        }
        for (const TablePair& t : pair.tables) {
            auto src = writer_test::readAll(source, t.table, jet::fromUtf8(pair.source_password));
            ASSERT_TRUE(src.isOk()) << src.status().toString();
            auto src_def = [&] {
                jet::OpenOptions o;
                o.password = jet::fromUtf8(pair.source_password);
                return (*jet::Database::open(source, o))->tableDef(t.table).value();
            }();
            // Expected cells by target column, in the destination's column order.
            std::vector<std::vector<jet::Value>> expected(src->size());
            std::vector<std::string> names;
            for (const FieldPair& f : t.fields)
                names.push_back(f.target_column);
            for (size_t r = 0; r < src->size(); ++r) {
                for (const FieldPair& f : t.fields) {
                    if (f.isBlank()) {
                        expected[r].push_back(jet::Null{});
                    } else {
                        const jet::ColumnDef* c = src_def.findColumn(*f.source_column);
                        expected[r].push_back((*src)[r][c - src_def.columns.data()]);
                    }
                }
            }
            if (tools) {
                auto csv = writer_test::mdbExport(dest, t.table);
                ASSERT_TRUE(csv.has_value()) << "mdb-export failed on " << t.table;
                ASSERT_EQ(src->size() + 1, csv->size()) << t.table;
                const auto& header = (*csv)[0];
                for (size_t c = 0; c < names.size(); ++c) {
                    size_t at = 0;
                    while (at < header.size() && header[at].text != names[c])
                        ++at;
                    ASSERT_LT(at, header.size())
                        << "mdb-export lacks " << t.table << "." << names[c];
                    for (size_t r = 0; r < src->size(); ++r) {
                        const jet::Value& v = expected[r][c];
                        const std::u16string s = jet::isNull(v) ? u"" : std::get<std::u16string>(v);
                        if (hasNonBmp(s))
                            continue;  // mdbtools prints those as "??"
                        // mdb-export writes the empty text like NULL: compare the text only.
                        EXPECT_EQ(jet::toUtf8(s), (*csv)[r + 1][at].text)
                            << t.table << " row " << r + 1 << " column " << names[c];
                    }
                }
            }
            if (reader) {
                auto dump = writer_test::mdbReaderDump(dest, pair.target_password, t.table);
                ASSERT_TRUE(dump.has_value()) << "mdb-reader failed on " << t.table;
                EXPECT_EQ(pair.target_password, utf8(member(*dump, "password")));
                const auto* table = writer_test::dumpTable(*dump, t.table);
                ASSERT_NE(nullptr, table);
                const auto& cols = items(member(*table, "columns"));
                const auto& rows = items(member(*table, "rows"));
                ASSERT_EQ(src->size(), rows.size()) << t.table;
                for (size_t c = 0; c < names.size(); ++c) {
                    size_t at = 0;
                    while (at < cols.size() && utf8(member(cols[at], "name")) != names[c])
                        ++at;
                    ASSERT_LT(at, cols.size());
                    for (size_t r = 0; r < rows.size(); ++r) {
                        const auto& cell = element(rows[r], at);
                        const jet::Value& v = expected[r][c];
                        if (jet::isNull(v)) {
                            EXPECT_TRUE(cell.is_null())
                                << t.table << " row " << r + 1 << " " << names[c];
                        } else {
                            EXPECT_EQ(std::get<std::u16string>(v), testing_support::utf16(cell))
                                << t.table << " row " << r + 1 << " " << names[c];
                        }
                    }
                }
            }
        }
    }

    TempDir dir_;
    std::string templates_;
    std::string work_;
};

TEST_F(ConversionTest, OneToTwoCarriesEveryCellAndLeavesTheNewColumnsEmpty) {
    const std::string src = sample("1.0", 60, "old.dbb");
    const Stamp before = stampOf(src);
    const Stamp tpl = stampOf(templates_ + "/VKDB12.mdb");
    const std::string dest = dir_.path() + "/new.dbb";
    ConversionReport report = convert(versionPair(PairId::k10to20), src, dest);
    ASSERT_EQ(4u, report.tables.size());
    EXPECT_EQ(60u, report.tables[3].written);
    EXPECT_EQ(0u, report.totalLost());
    expectCarried(versionPair(PairId::k10to20), src, dest);
    expectUnchanged(before, src);
    expectUnchanged(tpl, templates_ + "/VKDB12.mdb");
    EXPECT_TRUE(fs::is_empty(work_)) << "the working copy outlived its conversion";
}

TEST_F(ConversionTest, TwoToThreeDropsTheRetiredColumnsAndBlanksTheNewOnes) {
    const std::string src = sample("2.0", 60, "old.dbb");
    const Stamp before = stampOf(src);
    const std::string dest = dir_.path() + "/new.dbb";
    ConversionReport report = convert(versionPair(PairId::k20to30), src, dest);
    EXPECT_EQ(0u, report.totalLost());
    expectCarried(versionPair(PairId::k20to30), src, dest);
    expectUnchanged(before, src);

    // The three retired columns had values in the source; none reaches the new file.
    auto site = writer_test::readAll(dest, "Table_Site", u"7#%2=91@&^408!3");
    ASSERT_TRUE(site.isOk());
    jet::OpenOptions o;
    o.password = u"7#%2=91@&^408!3";
    auto def = (*jet::Database::open(dest, o))->tableDef("Table_Site");
    EXPECT_EQ(nullptr, def->findColumn("Yahoo"));
    for (const auto& row : *site) {
        for (const char* col : {"Telegram", "Instagram", "Linkedin"}) {
            EXPECT_TRUE(jet::isNull(row[def->findColumn(col) - def->columns.data()]));
        }
    }
}

TEST_F(ConversionTest, TwoConversionsInARowEachHoldOnlyTheirOwnRows) {
    const std::string a = sample("2.0", 10, "a.dbb");
    const std::string b = sample("2.0", 25, "b.dbb");
    convert(versionPair(PairId::k20to30), a, dir_.path() + "/a3.dbb");
    convert(versionPair(PairId::k20to30), b, dir_.path() + "/b3.dbb");
    auto rows = writer_test::readAll(dir_.path() + "/b3.dbb", "Table_Contact", u"7#%2=91@&^408!3");
    ASSERT_TRUE(rows.isOk());
    EXPECT_EQ(25u, rows->size());
    EXPECT_TRUE(verifyConversion(versionPair(PairId::k20to30), b, dir_.path() + "/b3.dbb").ok());
}

TEST_F(ConversionTest, EmptyTablesConvertToEmptyTables) {
    const std::string src = customSource(
        "1.0", "empty.dbb", [](jet::TableSpec&) {},
        [](jet::Writer& w) {
            ASSERT_TRUE(w.append("Table_Category", {std::u16string(u"تنها")}).isOk());
        });
    ConversionReport r = convert(versionPair(PairId::k10to20), src, dir_.path() + "/out.dbb");
    EXPECT_EQ(0u, r.tables[0].read);
    EXPECT_EQ(1u, r.tables[2].written);
    expectCarried(versionPair(PairId::k10to20), src, dir_.path() + "/out.dbb");
}

TEST_F(ConversionTest, ASourceThatCannotBeOpenedSaysWhyAndConvertsNothing) {
    const VersionPair& p = versionPair(PairId::k10to20);
    Conversion c(p, templates_, work_);
    struct Case {
        std::string path;
        Problem expected;
    };
    const std::string junk = dir_.path() + "/junk.dbb";
    std::ofstream(junk) << std::string(5000, 'x');
    const std::string v2 = sample("2.0", 3, "v2.dbb");
    const std::string folder = dir_.path() + "/folder.dbb";
    fs::create_directory(folder);
    std::vector<Case> cases{Case{"", Problem::kEmptyPath},
                            Case{"   ", Problem::kSourceMissing},
                            Case{dir_.path() + "/none.dbb", Problem::kSourceMissing},
                            Case{folder, Problem::kSourceUnreadable},
                            Case{junk, Problem::kSourceInvalid},
                            Case{v2, Problem::kSourceWrongVersion}};
#ifndef _WIN32
    const std::string fifo = dir_.path() + "/fifo.dbb";  // opening it for reading would block
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    cases.push_back(Case{fifo, Problem::kSourceUnreadable});
#endif
    for (const Case& k : cases) {
        Outcome o = c.analyse(k.path);
        EXPECT_EQ(k.expected, o.problem) << k.path << ": " << o.detail;
        EXPECT_FALSE(c.analysed());
        EXPECT_EQ(nullptr, c.control("Adodc1"));
        ConversionReport r;
        EXPECT_EQ(Problem::kNotAnalysed, c.convert(r).problem);
    }
    EXPECT_TRUE(fs::is_empty(work_));
    // After all that, a good file still converts in the same session.
    EXPECT_TRUE(c.analyse(sample("1.0", 3, "ok.dbb")).ok());
}

// Jet holds NAME.ldb while a database is open; a copy read meanwhile need not be whole.
TEST_F(ConversionTest, ASourceAnotherProgramHasOpenIsRefusedUntilItLetsGo) {
    EXPECT_EQ("a.v2/backup.ldb", lockFileOf("a.v2/backup"));
    EXPECT_EQ("C:\\x\\b.ldb", lockFileOf("C:\\x\\b.dbb"));
    Conversion c(versionPair(PairId::k10to20), templates_, work_);
    const std::string src = sample("1.0", 3, "open.dbb");
    const std::string ldb = dir_.path() + "/open.ldb";
    ASSERT_EQ(ldb, lockFileOf(src));
    std::ofstream{ldb};
    {
        testing_support::HeldFile held(ldb);
        ASSERT_TRUE(held.held());
        Outcome o = c.analyse(src);
        EXPECT_EQ(Problem::kSourceInUse, o.problem) << o.detail;
        EXPECT_NE(std::string::npos, o.detail.find("close the contact manager first")) << o.detail;
        EXPECT_TRUE(fs::is_empty(work_));
    }
    // A lock file nobody holds is what a crash leaves behind: no reason to refuse.
    EXPECT_TRUE(c.analyse(src).ok());
}

TEST_F(ConversionTest, ASourceWithoutAMappedColumnIsRefusedBeforeAnyRowIsLost) {
    // A 2.0 file whose Table_Site lacks Rss: every row would fail, so the analysis says why.
    const std::string src = customSource(
        "2.0", "narrow.dbb",
        [](jet::TableSpec& t) {
            if (t.name == "Table_Site")
                t.columns.pop_back();  // Rss
        },
        [](jet::Writer&) {});
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    Outcome o = c.analyse(src);
    EXPECT_EQ(Problem::kSourceInvalid, o.problem);
    EXPECT_NE(std::string::npos, o.detail.find("Rss")) << o.detail;
    EXPECT_FALSE(c.analysed());
}

TEST_F(ConversionTest, AMissingTemplateIsReportedBeforeAnythingHappens) {
    Conversion c(versionPair(PairId::k20to30), dir_.path() + "/nowhere", work_);
    Outcome o = c.analyse(sample("2.0", 3, "s.dbb"));
    EXPECT_EQ(Problem::kTemplateMissing, o.problem);
    EXPECT_NE(std::string::npos, o.detail.find("VKDB23.mdb"));
}

TEST_F(ConversionTest, TheTemplateIsTakenFromTheFirstFolderHoldingItAndAMissingOneNamesEach) {
    const std::string a = dir_.path() + "/a", b = dir_.path() + "/b";
    Conversion missing(versionPair(PairId::k20to30), std::vector{a, b}, work_);
    Outcome o = missing.analyse(sample("2.0", 3, "s.dbb"));
    EXPECT_EQ(Problem::kTemplateMissing, o.problem);
    EXPECT_NE(std::string::npos, o.detail.find(a + "/VKDB23.mdb, " + b + "/VKDB23.mdb"))
        << o.detail;

    Conversion found(versionPair(PairId::k20to30), std::vector{a, templates_}, work_);
    EXPECT_TRUE(found.analyse(dir_.path() + "/s.dbb").ok());
}

TEST_F(ConversionTest, ARowThatDoesNotFitIsCountedWithItsReasonAndTheRestGoOn) {
    // A source whose Table_User.UserName is a Memo: one value is longer than the template's
    // Text(255) column holds.
    const std::string src = customSource(
        "2.0", "wide.dbb",
        [](jet::TableSpec& t) {
            if (t.name == "Table_User")
                t.columns[0].type = jet::ColumnType::kMemo;
        },
        [](jet::Writer& w) {
            const jet::Value n = jet::Null{};
            ASSERT_TRUE(w.append("Table_User", {std::u16string(u"ok"), n, n, n}).isOk());
            ASSERT_TRUE(w.append("Table_User", {std::u16string(300, u'x'), n, n, n}).isOk());
            ASSERT_TRUE(w.append("Table_User", {std::u16string(u"also ok"), n, n, n}).isOk());
        });
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(c.analyse(src).ok());
    ConversionReport r;
    Outcome o = c.convert(r);
    EXPECT_EQ(Problem::kRowsLost, o.problem);
    EXPECT_EQ(3u, r.tables[0].read);
    EXPECT_EQ(2u, r.tables[0].written);
    EXPECT_EQ(1u, r.tables[0].failed);
    ASSERT_EQ(1u, r.tables[0].reasons.size());
    EXPECT_NE(std::string::npos, r.tables[0].reasons[0].find("row 2")) << r.tables[0].reasons[0];
    EXPECT_NE(std::string::npos, r.tables[0].reasons[0].find("UserName"));
    ASSERT_TRUE(c.save(dir_.path() + "/out.dbb").ok());
    auto users = writer_test::readAll(dir_.path() + "/out.dbb", "Table_User", u"7#%2=91@&^408!3");
    ASSERT_EQ(2u, users->size());
    EXPECT_EQ(u"also ok", std::get<std::u16string>((*users)[1][0]));
}

TEST_F(ConversionTest, AFailedSaveKeepsTheOldFileAndTheWorkForAnotherTry) {
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    const std::string src = sample("2.0", 5, "s.dbb");
    ASSERT_TRUE(c.analyse(src).ok());
    ConversionReport r;
    ASSERT_TRUE(c.convert(r).ok());

    const std::string existing = dir_.path() + "/existing.dbb";
    std::ofstream(existing) << "precious";
    // A destination in a folder that does not exist, one that is a folder, and the source.
    for (const std::string& bad :
         {dir_.path() + "/no/such/folder/x.dbb", dir_.path() + "/share", src}) {
        Outcome o = c.save(bad);
        EXPECT_EQ(Problem::kSaveFailed, o.problem) << bad;
        EXPECT_FALSE(o.detail.empty());
    }
    expectUnchanged(stampOf(src), src);
    EXPECT_EQ("precious", testing_support::readFile(existing).value_or(""));
    ASSERT_TRUE(c.save(existing).ok());  // replaces the old file
    EXPECT_TRUE(verifyConversion(versionPair(PairId::k20to30), src, existing).ok());
    for (const auto& e : fs::directory_iterator(dir_.path())) {
        EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tmp-"))
            << "temporary file left behind: " << e.path();
    }
}

// Each system call of the save failing, on both ways a save goes (the working copy linked into
// place, or written out where no link can be made): kSaveFailed (status 6), the old file as it
// was, nothing beside it, and the work kept for another try. On Windows the replace also
// recovers from what it can.
TEST_F(ConversionTest, EachFailingCallOfTheSaveLeavesTheOldFileAndNothingElse) {
    using testing_support::FailingSaveEnv;
    using Call = FailingSaveEnv::Call;
    const std::string src = sample("2.0", 5, "s.dbb");
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(c.analyse(src).ok());
    ConversionReport r;
    ASSERT_TRUE(c.convert(r).ok());
    const std::string out = dir_.path() + "/out", dest = out + "/dest.dbb";
    fs::create_directory(out);
    std::ofstream(dest) << "precious";
    const auto expectUntouched = [&] {
        EXPECT_EQ("precious", testing_support::readFile(dest).value_or(""));
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"dest.dbb"});
    };
    using Fault = FailingSaveEnv::Fault;
    struct Case {
        const char* what;
        std::vector<Fault> faults;  // the last is the one that must be met
        bool saved = false;
    };
#ifdef _WIN32
    const Case cases[] = {
        {"a full disk", {{Call::kWrite, ERROR_DISK_FULL, 1}}},
        {"a failing write", {{Call::kWrite, ERROR_WRITE_FAULT}}},
        {"a failing flush", {{Call::kSync, ERROR_WRITE_FAULT}}},
        {"a replace that cannot move", {{Call::kReplace, ERROR_UNABLE_TO_MOVE_REPLACEMENT}}},
        {"a replace held up for good", {{Call::kReplace, ERROR_SHARING_VIOLATION}}},
        {"a replace held up for a moment", {{Call::kReplace, ERROR_SHARING_VIOLATION, 0, 2}}, true},
        // The old file already at the backup name: the new one is moved in, or the old one back.
        {"a replace that fails half-way",
         {{Call::kReplace, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}},
         true},
        {"a half-way replace, then no move",
         {{Call::kReplace, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2},
          {Call::kMove, ERROR_ACCESS_DENIED, 0, 10}}},
    };
#else
    const Fault no_links{Call::kLink, EXDEV};  // another file system: the copy is written out
    const Case cases[] = {
        {"a full disk", {no_links, {Call::kWrite, ENOSPC, 1}}},
        {"a failing write", {no_links, {Call::kWrite, EIO}}},
        {"a failing fsync", {{Call::kSync, EIO}}},
        {"a failing fsync of the copy", {no_links, {Call::kSync, EIO, 1}}},
        {"a failing link", {{Call::kLink, EIO}}},
        {"a failing rename", {{Call::kRename, EIO}}},
        {"a failing rename of the copy", {no_links, {Call::kRename, EIO}}},
    };
#endif
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        FailingSaveEnv env(k.faults);
        SaveOptions options;
        options.env = &env;
        EXPECT_EQ(k.saved, c.save(dest, options).ok());
        EXPECT_GT(env.calls(k.faults.back().call), k.faults.back().pass) << "the fault was not met";
        if (k.saved) {
            EXPECT_TRUE(verifyConversion(versionPair(PairId::k20to30), src, dest).ok());
            std::ofstream(dest, std::ios::trunc) << "precious";
        }
        expectUntouched();
    }
    ASSERT_TRUE(c.save(dest).ok());
    EXPECT_TRUE(verifyConversion(versionPair(PairId::k20to30), src, dest).ok());
}

TEST_F(ConversionTest, AResultPastTheSizeLimitStopsAndSavesNothing) {
    const std::string src = sample("2.0", 400, "s.dbb");
    const std::string existing = dir_.path() + "/existing.dbb";
    std::ofstream(existing) << "precious";
    const Stamp before = stampOf(existing);
    // The template is 24 pages; a limit of 100 is reached within Table_Contact.
    jet::setPageLimitForTesting(100);
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(c.analyse(src).ok());
    jet::setPageLimitForTesting(0);
    ConversionReport r;
    Outcome o = c.convert(r);
    EXPECT_EQ(Problem::kTooLarge, o.problem);
    EXPECT_STREQ(kTooLargeText, problemName(o.problem));
    EXPECT_NE(std::string::npos, o.detail.find("Table_Contact row ")) << o.detail;
    ASSERT_EQ(4u, r.tables.size());
    EXPECT_EQ(1u, r.tables[3].failed);
    EXPECT_LT(r.tables[3].read, 400u);
    EXPECT_EQ(Problem::kTooLarge, c.save(existing).problem);
    expectUnchanged(before, existing);
}

// A stop asked for between rows: its own outcome (no row counts as lost), and nothing saved.
TEST_F(ConversionTest, AStoppedConversionSavesNothing) {
    const std::string src = sample("2.0", 400, "s.dbb");
    const std::string existing = dir_.path() + "/existing.dbb";
    std::ofstream(existing) << "precious";
    const Stamp before = stampOf(existing);
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(c.analyse(src).ok());
    ConversionReport r;
    uint64_t reports = 0;
    Outcome o = c.convert(r, [&](uint64_t done, uint64_t) {
        if (++reports == 10)
            c.requestStop();
        EXPECT_LE(done, 10u) << "no row after the stop";
    });
    EXPECT_EQ(Problem::kCancelled, o.problem);
    EXPECT_EQ(10u, r.totalRows());
    EXPECT_EQ(0u, r.totalLost());
    EXPECT_EQ(Problem::kCancelled, c.save(existing).problem);
    expectUnchanged(before, existing);
}

// The windows and the CLI tests cover a file of the next version and a template with rows;
// here, what is neither the one version nor the other.
TEST_F(ConversionTest, TheAnalysisRefusesSourcesAndTemplatesOfNoVersion) {
    const VersionPair& p23 = versionPair(PairId::k20to30);
    // A 2.0 file without Yahoo, a column 3.0 drops: the copy would not miss it, but the file is
    // not what it claims to be.
    Conversion c(p23, templates_, work_);
    Outcome o = c.analyse(customSource(
        "2.0", "noyahoo.dbb",
        [](jet::TableSpec& t) {
            std::erase_if(t.columns, [](const jet::ColumnSpec& c) { return c.name == "Yahoo"; });
        },
        [](jet::Writer&) {}));
    EXPECT_EQ(Problem::kSourceInvalid, o.problem);
    EXPECT_NE(std::string::npos, o.detail.find("Table_Site.Yahoo")) << o.detail;
    // A 2.0 database installed as the 3.0 template.
    fs::remove(templates_ + "/VKDB23.mdb");
    fs::copy_file(sample("2.0", 0, "two.dbb"), templates_ + "/VKDB23.mdb");
    o = c.analyse(sample("2.0", 3, "good.dbb"));
    EXPECT_EQ(Problem::kTemplateInvalid, o.problem);
    EXPECT_NE(std::string::npos, o.detail.find("Telegram")) << o.detail;
    EXPECT_FALSE(c.analysed());
    EXPECT_TRUE(fs::is_empty(work_));
}

// A damaged data page can hide rows from the reader; the table definition still counts them.
TEST_F(ConversionTest, RowsTheReaderCannotFindAreLostAndExtraRowsOnlyWarn) {
    const std::u16string pw = u"7#%2=91@&^408!3";
    const std::string src = sample("2.0", 10, "s.dbb");
    ASSERT_TRUE(testing_support::setDeclaredRows(src, "Table_Contact", pw, 22));
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(c.analyse(src).ok());
    ConversionReport r;
    Outcome o = c.convert(r);
    EXPECT_EQ(Problem::kRowsLost, o.problem);
    const TableReport& contacts = r.tables[3];
    EXPECT_EQ(22u, contacts.declared);
    EXPECT_EQ(10u, contacts.read);
    EXPECT_EQ(10u, contacts.written);
    EXPECT_EQ(12u, contacts.unread);
    EXPECT_EQ(12u, r.totalLost());
    ASSERT_FALSE(contacts.reasons.empty());
    EXPECT_NE(std::string::npos, contacts.reasons[0].find("declares 22 rows"))
        << contacts.reasons[0];

    // A stale count below the rows held (Access files carry them): every row converts.
    ASSERT_TRUE(testing_support::setDeclaredRows(src, "Table_Contact", pw, 7));
    Conversion again(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(again.analyse(src).ok());
    EXPECT_TRUE(again.convert(r).ok());
    EXPECT_EQ(10u, r.tables[3].written);
    ASSERT_EQ(1u, r.warnings().size());
    EXPECT_NE(std::string::npos, r.warnings()[0].find("10 rows read where the table declares 7"));
}

// The CLI and window tests cover the destinations refused; here, what only the core sees.
TEST_F(ConversionTest, SaveChecksTheCompleteFileAndRefusesATemplateThatIsNotThereYet) {
    const std::string src = sample("2.0", 5, "s.dbb");
    Conversion c(versionPair(PairId::k20to30), templates_, work_);
    ASSERT_TRUE(c.analyse(src).ok());
    ConversionReport r;
    ASSERT_TRUE(c.convert(r).ok());
    // Saving under a template's name where the program takes templates from would plant one.
    fs::remove(templates_ + "/VKDB12.mdb");
    EXPECT_EQ(Problem::kSaveFailed, c.save(templates_ + "/../share/VKDB12.mdb").problem);
    EXPECT_FALSE(fs::exists(templates_ + "/VKDB12.mdb"));

    // A failed check leaves the old file; the check's own problem is returned.
    const std::string existing = dir_.path() + "/old.dbb";
    std::ofstream(existing) << "precious";
    SaveOptions refuse;
    refuse.check = [&](const std::string& complete) {
        EXPECT_TRUE(verifyConversion(versionPair(PairId::k20to30), src, complete).ok())
            << "the check sees the complete new file";
        return Outcome{Problem::kRowsLost, "row 1 differs"};
    };
    EXPECT_EQ(Problem::kRowsLost, c.save(existing, refuse).problem);
    EXPECT_EQ("precious", testing_support::readFile(existing).value_or(""));
    ASSERT_TRUE(c.save(existing).ok());
    for (const auto& e : fs::directory_iterator(dir_.path())) {
        EXPECT_NE(0u, e.path().filename().string().rfind(".vkdc-", 0)) << e.path();
    }
}

// The same template and source, dates fixed, give the same bytes: faster code must not
// change a single one (the figures are today's output, FNV-1a 64).
TEST_F(ConversionTest, OutputsAreByteForByteWhatTheyWere) {
    constexpr double kDate = 45000.25;
    ASSERT_TRUE(makeTemplate("2.0", templates_ + "/VKDB12.mdb", kDate).isOk());
    ASSERT_TRUE(makeTemplate("3.0", templates_ + "/VKDB23.mdb", kDate).isOk());
    auto made = [&](const std::string& version) {
        SampleOptions o;
        o.contacts = 400;
        o.date = kDate;
        const std::string path = dir_.path() + "/" + version + ".dbb";
        EXPECT_TRUE(makeSample(version, path, o).isOk());
        return path;
    };
    auto hashOf = [](const std::string& path) {
        uint64_t h = 14695981039346656037ull;
        for (char c : testing_support::readFile(path).value_or(""))
            h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
        return h;
    };
    auto converted = [&](PairId id, const std::string& src, const std::string& name) {
        const std::string dest = dir_.path() + "/" + name;
        convert(versionPair(id), src, dest);
        return hashOf(dest);
    };
    EXPECT_EQ(0x23c28a49c363f7dfull, converted(PairId::k10to20, made("1.0"), "to20.dbb"));
    EXPECT_EQ(0x83c0a7e64fbf7d1dull, converted(PairId::k20to30, made("2.0"), "to30.dbb"));
    EXPECT_EQ(0x05ac3e7dc8aa7df4ull,
              converted(PairId::k20to30, dir_.path() + "/to20.dbb", "both.dbb"));
    // 1.0 straight to 3.0 in one pass: the file of the two conversions one after the other.
    const std::string one = dir_.path() + "/one.dbb";
    Conversion c(versionPair(PairId::k10to20), versionPair(PairId::k20to30), templates_, work_);
    ConversionReport report;
    ASSERT_TRUE(c.analyse(dir_.path() + "/1.0.dbb").ok());
    ASSERT_TRUE(c.convert(report).ok());
    ASSERT_TRUE(c.save(one).ok());
    EXPECT_EQ(0x05ac3e7dc8aa7df4ull, hashOf(one));
    EXPECT_TRUE(verifyConversion(versionPair(PairId::k10to20), versionPair(PairId::k20to30),
                                 templates_ + "/VKDB12.mdb", dir_.path() + "/1.0.dbb", one)
                    .ok());
}

// In one pass a row still goes through the 2.0 template's rules: a Table_Site row that 3.0
// would hold but 2.0 (four more columns) would not is lost, and what is saved is the file
// the two conversions give.
TEST_F(ConversionTest, OnePassLosesWhatTheFirstTemplateRefuses) {
    const std::u16string fill(255, u'\u0628');
    const std::string src = customSource(
        "1.0", "full.dbb", [](jet::TableSpec&) {},
        [&](jet::Writer& w) {
            // 30 bytes of row and 4,026 of text: 1.0 holds it, 2.0 needs 4,064 bytes.
            std::vector<jet::Value> row(11, jet::Value(fill));
            row[7] = std::u16string(228, u'\u0628');  // Onvan .. Yahoo (3.0 drops it) full
            row[8] = row[9] = jet::Null{};
            row[10] = jet::Null{};  // Tozihat
            ASSERT_TRUE(w.append("Table_Site", row).isOk());
            row[0] = std::u16string(u"short");
            ASSERT_TRUE(w.append("Table_Site", row).isOk());
        });
    const VersionPair& p12 = versionPair(PairId::k10to20);
    const VersionPair& p23 = versionPair(PairId::k20to30);
    auto run = [&](Conversion& c, const std::string& from, const std::string& to) {
        ConversionReport r;
        EXPECT_TRUE(c.analyse(from).ok());
        Outcome o = c.convert(r);
        EXPECT_TRUE(c.save(to).ok());
        return std::make_pair(o.problem, r.tables[1]);
    };
    Conversion first(p12, templates_, work_), second(p23, templates_, work_);
    Conversion both(p12, p23, templates_, work_);
    const auto [step1, _] = run(first, src, dir_.path() + "/20.dbb");
    const auto [step2, __] = run(second, dir_.path() + "/20.dbb", dir_.path() + "/two.dbb");
    const auto [once, site] = run(both, src, dir_.path() + "/one.dbb");
    EXPECT_EQ(Problem::kRowsLost, step1);
    EXPECT_EQ(Problem::kRowsLost, once);
    EXPECT_EQ(2u, site.read);
    EXPECT_EQ(1u, site.failed);
    ASSERT_EQ(1u, site.reasons.size());
    EXPECT_NE(std::string::npos, site.reasons[0].find("row 1: ")) << site.reasons[0];
    EXPECT_NE(std::string::npos, site.reasons[0].find("4064")) << site.reasons[0];
    EXPECT_TRUE(testing_support::readFile(dir_.path() + "/two.dbb") ==
                testing_support::readFile(dir_.path() + "/one.dbb"));
}

TEST_F(ConversionTest, DetectsTheVersionOfASource) {
    EXPECT_EQ("1.0", detectVersion(sample("1.0", 2, "a.dbb")).version);
    EXPECT_EQ("2.0", detectVersion(sample("2.0", 2, "b.dbb")).version);
    EXPECT_EQ("3.0", detectVersion(templates_ + "/VKDB23.mdb").version);
    EXPECT_FALSE(detectVersion(dir_.path() + "/none").outcome.ok());
}

}  // namespace
}  // namespace vkdc
