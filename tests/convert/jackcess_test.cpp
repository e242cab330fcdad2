// Jackcess, the third engine: every kind of file we write (templates, samples, conversions of
// both pairs and through both, a larger sample, and a file whose global map has had to move
// its window) reads the same in Jackcess as in our reader, usage maps included. Jackcess then
// writes into copies (updates that overflow, deletes, appends, a keyed table, an index), our
// writer appends after it, and all four readers agree on the result. Our integrity check
// finds nothing in any of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "convert/conversion.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/global_map.h"
#include "jet/integrity_check.h"
#include "jet/writer.h"
#include "jet/writer_support.h"
#include "store/templates.h"
#include "store/version_pair.h"
#include "support/files.h"

namespace vkdc {
namespace {

namespace fs = std::filesystem;
using testing_support::element;
using testing_support::isTrue;
using testing_support::items;
using testing_support::Json;
using testing_support::member;
using testing_support::number;
using testing_support::numberText;
using testing_support::TempDir;
using testing_support::utf8;

struct TestFile {
    std::string path;
    std::string version;  // file version: its password and schema
};

std::u16string passwordOf(const std::string& version) {
    return jet::fromUtf8(passwordOfVersion(version));
}

// A 2.0 database whose page 1 leaves the global map 100 bytes to grow: it covers 1,312 pages,
// then moves its window as the file passes 3,000 pages.
void writeMovedWindowFile(const std::string& path) {
    jet::CreateOptions co;
    co.password = passwordOf("2.0");
    ASSERT_TRUE((*jet::Writer::create(path, co))->close().isOk());
    {
        auto file = jet::openFileReadWrite(path);
        jet::Pager pager(std::move(file).value(), 4096, 0);
        auto page = pager.write(1);
        jet::DataPageView v{(*page)->data(), 4096, 1};
        const size_t grown = v.offsets()->slot(1)->size() + *v.freeSpace() - 100;
        ASSERT_TRUE(v.replaceRow(1, std::vector<uint8_t>(grown, 0)).isOk());
        ASSERT_TRUE(pager.flush().isOk());
    }
    jet::WriterOpenOptions oo;
    oo.password = co.password;
    auto w = jet::Writer::open(path, oo);
    ASSERT_TRUE(w.isOk()) << w.status().toString();
    const auto tables = schemaOf("2.0");
    for (const auto& table : *tables)
        ASSERT_TRUE((*w)->createTable(table).isOk());
    const jet::Value n = jet::Null{};
    for (int i = 0; i < 4000; ++i) {
        std::u16string address = u"تهران، خیابان " + jet::fromUtf8(std::to_string(i));
        if (i % 5 == 0)
            address.append(6000, u'م');  // a chain over several LVAL pages
        ASSERT_TRUE((*w)->append("Table_Contact",
                                 {std::u16string(u"نام " + jet::fromUtf8(std::to_string(i))), n, n,
                                  n, n, n, n, n, address, n})
                        .isOk());
    }
    ASSERT_TRUE((*w)->close().isOk());
}

class JackcessTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (writer_test::jackcessClasspath().empty())
            return;
        dir_ = new TempDir;
        const std::string share = dir_->file("share");
        fs::create_directory(share);
        auto add = [](const std::string& path, const std::string& version) {
            files_.push_back({path, version});
            return path;
        };
        ASSERT_TRUE(makeTemplate("2.0", add(share + "/VKDB12.mdb", "2.0")).isOk());
        ASSERT_TRUE(makeTemplate("3.0", add(share + "/VKDB23.mdb", "3.0")).isOk());
        SampleOptions small;
        small.contacts = 300;
        const std::string s10 = add(dir_->file("s10.dbb"), "1.0");
        const std::string s20 = add(dir_->file("s20.dbb"), "2.0");
        ASSERT_TRUE(makeSample("1.0", s10, small).isOk());
        ASSERT_TRUE(makeSample("2.0", s20, small).isOk());
        // c13: 1.0 through 2.0 to 3.0, as convert --to 3.0 takes it.
        for (const auto& [id, src, dest] :
             {std::tuple{PairId::k10to20, s10, "c12.dbb"},
              std::tuple{PairId::k20to30, s20, "c23.dbb"},
              std::tuple{PairId::k20to30, dir_->file("c12.dbb"), "c13.dbb"}}) {
            Conversion c(versionPair(id), share, dir_->path());
            ASSERT_TRUE(c.analyse(src).ok());
            ConversionReport r;
            ASSERT_TRUE(c.convert(r).ok());
            ASSERT_TRUE(c.save(add(dir_->file(dest), versionPair(id).target_version)).ok());
        }
        SampleOptions larger;
        larger.contacts = 20000;
        ASSERT_TRUE(makeSample("2.0", add(dir_->file("s20-large.dbb"), "2.0"), larger).isOk());
        writeMovedWindowFile(add(dir_->file("moved-window.mdb"), "2.0"));
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
        files_.clear();
    }
    void SetUp() override {
        if (!dir_)
            GTEST_SKIP() << "Jackcess is not available";
    }

    static std::vector<std::string> paths(const std::vector<TestFile>& files) {
        std::vector<std::string> out;
        for (const auto& f : files)
            out.push_back(f.path);
        return out;
    }

    static TempDir* dir_;
    static std::vector<TestFile> files_;
};

TempDir* JackcessTest::dir_ = nullptr;
std::vector<TestFile> JackcessTest::files_;

std::set<uint32_t> expand(const Json& ranges) {
    std::set<uint32_t> out;
    for (const auto& r : items(ranges))
        for (uint32_t p = static_cast<uint32_t>(number(element(r, 0)));
             p <= static_cast<uint32_t>(number(element(r, 1))); ++p)
            out.insert(p);
    return out;
}

std::set<uint32_t> ours(jet::Database& db, jet::RowPointer map) {
    auto pages = db.usageMapPages(map);
    EXPECT_TRUE(pages.isOk()) << pages.status().toString();
    return pages.isOk() ? std::set<uint32_t>(pages->begin(), pages->end()) : std::set<uint32_t>();
}

// Jackcess's reading of every table map, long-value map and the global map against ours.
void expectSameMaps(const TestFile& f, const Json& maps) {
    SCOPED_TRACE(f.path);
    ASSERT_TRUE(isTrue(member(maps, "ok"))) << utf8(member(maps, "error"));
    jet::OpenOptions o;
    o.password = passwordOf(f.version);
    auto db = jet::Database::open(f.path, o);
    ASSERT_TRUE(db.isOk());
    for (const auto& t : items(member(maps, "tables"))) {
        const std::string name = utf8(member(t, "name"));
        auto def = name == "MSysObjects" ? (*db)->tableDefAt(2) : (*db)->tableDef(name);
        ASSERT_TRUE(def.isOk()) << name;
        EXPECT_EQ(expand(member(t, "owned")), ours(**db, def->owned_map)) << name;
        EXPECT_EQ(expand(member(t, "free")), ours(**db, def->free_map)) << name;
        for (const auto& lv : items(member(t, "longValues"))) {
            const jet::ColumnDef* c = def->findColumn(utf8(member(lv, "column")));
            ASSERT_NE(c, nullptr);
            for (const auto& m : def->long_value_maps) {
                if (m.column_number != c->number)
                    continue;
                EXPECT_EQ(expand(member(lv, "owned")), ours(**db, m.owned))
                    << name << "." << c->name;
                EXPECT_EQ(expand(member(lv, "free")), ours(**db, m.free)) << name << "." << c->name;
            }
        }
    }
    // The global map: Jackcess lists the pages it calls free; no page of the file is among them.
    auto file = jet::openFileReadOnly(f.path);
    jet::Pager pager(std::move(file).value(), 4096, 0);
    jet::GlobalMap global(pager);
    const std::set<uint32_t> jackcess_free = expand(member(maps, "globalFree"));
    std::set<uint32_t> our_free;
    for (uint32_t p = 0; p < pager.pageCount() + 40000; ++p)
        if (*global.state(p) == jet::GlobalMap::PageState::kFree)
            our_free.insert(p);
    EXPECT_EQ(jackcess_free, our_free);
    ASSERT_FALSE(our_free.empty());
    EXPECT_GE(*our_free.begin(), pager.pageCount());
}

// Our integrity check finds nothing, not even a stale row count.
void expectNoFindings(const TestFile& f) {
    jet::OpenOptions o;
    o.password = passwordOf(f.version);
    auto db = jet::Database::open(f.path, o);
    ASSERT_TRUE(db.isOk());
    auto report = jet::checkIntegrity(**db);
    ASSERT_TRUE(report.isOk()) << report.status().toString();
    for (const jet::Finding& finding : report->findings)
        ADD_FAILURE() << f.path << ": " << finding.toString();
}

// One row as text: NULL and text kept apart, or (for mdb-export) both as their text.
using RowText = std::vector<std::string>;
constexpr char kNull[] = "\x01NULL";

// The files hold Text, Memo and (Jackcess_Keyed.ID) Long values.
std::string cellOf(const jet::Value& v, bool blank_null) {
    if (jet::isNull(v))
        return blank_null ? "" : kNull;
    if (const auto* n = std::get_if<int32_t>(&v))
        return std::to_string(*n);
    return jet::toUtf8(std::get<std::u16string>(v));
}
std::string cellOf(const Json& j, bool blank_null) {
    if (j.is_null())
        return blank_null ? "" : kNull;
    return j.is_number() ? numberText(j) : utf8(j);
}

template <typename Rows, typename Cell>
std::vector<RowText> sortedRows(const Rows& rows, Cell cell) {
    std::vector<RowText> out;
    for (const auto& r : rows) {
        RowText t;
        for (const auto& c : r)
            t.push_back(cell(c));
        out.push_back(std::move(t));
    }
    std::sort(out.begin(), out.end());
    return out;
}

const Json* tableIn(const Json& dump, const std::string& name) {
    return writer_test::dumpTable(dump, name);
}

TEST_F(JackcessTest, ReadsEveryKindOfFileWeWriteWithOurRowsAndMaps) {
    auto reads = writer_test::jackcessProbe("read", paths(files_));
    auto maps = writer_test::jackcessProbe("maps", paths(files_));
    ASSERT_TRUE(reads && maps) << "JackcessProbe did not run";
    for (size_t i = 0; i < files_.size(); ++i) {
        const TestFile& f = files_[i];
        SCOPED_TRACE(f.path);
        const Json& dump = (*reads)[i];
        ASSERT_TRUE(isTrue(member(dump, "ok"))) << utf8(member(dump, "error"));
        EXPECT_EQ(passwordOfVersion(f.version), utf8(member(dump, "password")));
        ASSERT_EQ(4u, items(member(dump, "tables")).size());
        for (const std::string& table : tableNames()) {
            const Json* t = tableIn(dump, table);
            ASSERT_NE(t, nullptr) << table;
            auto rows = writer_test::readAll(f.path, table, passwordOf(f.version));
            ASSERT_TRUE(rows.isOk());
            ASSERT_EQ(rows->size(), static_cast<size_t>(number(member(*t, "rowCount")))) << table;
            const Json& theirs = items(member(*t, "rows"));
            ASSERT_EQ(rows->size(), theirs.size()) << table;
            // Same order: our row order is the engine's scan order.
            for (size_t r = 0; r < rows->size(); ++r) {
                for (size_t c = 0; c < (*rows)[r].size(); ++c) {
                    ASSERT_EQ(cellOf((*rows)[r][c], false),
                              cellOf(element(element(theirs, r), c), false))
                        << table << " row " << r << " column " << c;
                }
            }
        }
        expectSameMaps(f, (*maps)[i]);
        expectNoFindings(f);
    }
}

TEST_F(JackcessTest, WritesIntoCopiesThatOurWriterAndEveryReaderThenAgreeOn) {
    std::vector<TestFile> copies;
    for (const auto& f : files_) {
        if (f.version == "1.0")
            continue;  // the same layout as 2.0, with another password
        const std::string copy = dir_->file("copy-" + fs::path(f.path).filename().string());
        fs::copy_file(f.path, copy, fs::copy_options::overwrite_existing);
        copies.push_back({copy, f.version});
    }
    auto modified = writer_test::jackcessProbe("modify", paths(copies), {"--table=Table_Contact"});
    ASSERT_TRUE(modified) << "JackcessProbe did not run";
    for (size_t i = 0; i < copies.size(); ++i) {
        const TestFile& f = copies[i];
        SCOPED_TRACE(f.path);
        const Json& m = (*modified)[i];
        ASSERT_TRUE(isTrue(member(m, "ok"))) << utf8(member(m, "error"));
        // Our writer appends after Jackcess, to a table Jackcess did not index.
        jet::WriterOpenOptions oo;
        oo.password = passwordOf(f.version);
        auto w = jet::Writer::open(f.path, oo);
        ASSERT_TRUE(w.isOk()) << w.status().toString();
        auto def = (*w)->tableDef("Table_Site");
        const size_t memo = def->findColumn("Tozihat") - def->columns.data();
        std::vector<jet::Value> site(def->columns.size(), jet::Null{});
        for (int k = 0; k < 50; ++k) {
            site[0] = u"پس از جک‌سس " + jet::fromUtf8(std::to_string(k));
            site[memo] = std::u16string(k * 100, u'ی');
            ASSERT_TRUE((*w)->append("Table_Site", site).isOk());
        }
        ASSERT_TRUE((*w)->close().isOk());
    }
    auto reads = writer_test::jackcessProbe("read", paths(copies));
    auto maps = writer_test::jackcessProbe("maps", paths(copies));
    ASSERT_TRUE(reads && maps);
    const bool tools = writer_test::haveMdbTools();
    const bool reader = writer_test::haveMdbReader();
    for (size_t i = 0; i < copies.size(); ++i) {
        const TestFile& f = copies[i];
        SCOPED_TRACE(f.path);
        const Json& dump = (*reads)[i];
        ASSERT_TRUE(isTrue(member(dump, "ok"))) << utf8(member(dump, "error"));
        std::optional<Json> mdbreader;
        if (reader) {
            mdbreader = writer_test::mdbReaderDump(f.path, passwordOfVersion(f.version));
            ASSERT_TRUE(mdbreader) << "mdb-reader failed";
        }
        for (const std::string table : {"Table_Contact", "Table_Site", "Jackcess_Keyed"}) {
            auto rows = writer_test::readAll(f.path, table, passwordOf(f.version));
            ASSERT_TRUE(rows.isOk()) << table << ": " << rows.status().toString();
            const Json* t = tableIn(dump, table);
            ASSERT_NE(t, nullptr) << table;
            // Moved rows come back where their bytes lie in mdbtools and mdb-reader, so the
            // rows are compared as sets.
            const auto expected =
                sortedRows(*rows, [](const jet::Value& v) { return cellOf(v, false); });
            auto json_rows = [](const Json& t) {
                std::vector<std::vector<Json>> out;
                for (const auto& r : items(member(t, "rows")))
                    out.emplace_back(items(r).begin(), items(r).end());
                return out;
            };
            EXPECT_EQ(expected,
                      sortedRows(json_rows(*t), [](const Json& j) { return cellOf(j, false); }))
                << table << ": Jackcess";
            if (mdbreader) {
                const Json* mt = tableIn(*mdbreader, table);
                ASSERT_NE(mt, nullptr) << table;
                EXPECT_EQ(expected, sortedRows(json_rows(*mt),
                                               [](const Json& j) { return cellOf(j, false); }))
                    << table << ": mdb-reader";
            }
            if (tools) {
                auto csv = writer_test::mdbExport(f.path, table);
                ASSERT_TRUE(csv) << table << ": mdb-export failed";
                std::vector<std::vector<std::string>> cells;
                for (size_t r = 1; r < csv->size(); ++r) {
                    cells.emplace_back();
                    for (const auto& c : (*csv)[r])
                        cells.back().push_back(c.text);
                }
                // mdb-export writes NULL like the empty text and replaces characters beyond
                // the BMP, so compare with blanks for NULLs, leaving out rows with such text.
                auto plain = sortedRows(*rows, [](const jet::Value& v) { return cellOf(v, true); });
                std::erase_if(plain, [](const RowText& r) {
                    return std::any_of(r.begin(), r.end(), [](const std::string& s) {
                        return s.find("\xF0") != std::string::npos;
                    });
                });
                auto theirs = sortedRows(cells, [](const std::string& s) { return s; });
                std::erase_if(theirs, [](const RowText& r) {
                    return std::any_of(r.begin(), r.end(), [](const std::string& s) {
                        return s.find('?') != std::string::npos;
                    });
                });
                EXPECT_EQ(plain, theirs) << table << ": mdb-export";
            }
        }
        expectSameMaps(f, (*maps)[i]);
        expectNoFindings(f);
    }
}

}  // namespace
}  // namespace vkdc
