// The writer end to end: a new database, tables, rows of every type, long values of every
// storage form, large tables, refusals. Every file written is read back by our reader and
// cross-checked with mdbtools and mdb-reader (those checks skip when the tool is absent).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <type_traits>
#include <variant>

#include "jet/catalog_builder.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/rc4.h"
#include "jet/system_tables.h"
#include "jet/tdef_writer.h"
#include "jet/writer.h"
#include "support/files.h"
#include "writer_support.h"

namespace {

using jet::ColumnType;
using jet::Status;
using jet::Value;
using testing_support::element;
using testing_support::items;
using testing_support::Json;
using testing_support::member;
using testing_support::number;
using testing_support::numberText;
using testing_support::TempDir;
using testing_support::utf16;
using testing_support::utf8;
using namespace writer_test;

constexpr double kAdoxDate = 42329.94480300926;  // creation date of adox_jet4.mdb

std::unique_ptr<jet::Writer> createOrDie(const std::string& path, jet::CreateOptions opts = {}) {
    auto w = jet::Writer::create(path, opts);
    EXPECT_TRUE(w.isOk()) << w.status().toString();
    return w.isOk() ? std::move(w).value() : nullptr;
}

std::unique_ptr<jet::Pager> pagerFor(const std::string& path) {
    auto f = jet::openFileReadOnly(path);
    EXPECT_TRUE(f.isOk());
    return std::make_unique<jet::Pager>(std::move(f).value(), 4096, 0);
}

uint32_t sidKeyOf(jet::Pager& pager) {
    std::vector<uint8_t> p0 = (*pager.read(0))->bytes;
    jet::toggleHeaderMask(jet::JetVersion::kJet4, p0.data());
    return jet::sidMaskKey(p0.data());
}

// Column-by-column view of every row of a system table, SIDs unmasked, dates left out. The
// stored length of each row tells compressed text from plain.
std::vector<std::string> catalogRows(const std::string& path, uint32_t tdef_page) {
    const uint32_t key = sidKeyOf(*pagerFor(path));
    jet::OpenOptions inspect;
    inspect.check_password = false;
    auto db = jet::Database::open(path, inspect);
    EXPECT_TRUE(db.isOk());
    auto cursor = (*db)->openTableAt(tdef_page);
    EXPECT_TRUE(cursor.isOk());
    const auto& columns = (*cursor)->def().columns;
    std::vector<std::string> out;
    std::vector<Value> row;
    while (true) {
        auto more = (*cursor)->next(row);
        EXPECT_TRUE(more.isOk()) << more.status().toString();
        if (!more.isOk() || !*more)
            break;
        auto raw = (*db)->decoder().rowAt((*cursor)->position(), true);
        std::string line = "length=" + std::to_string(raw->length) + " ";
        for (size_t i = 0; i < columns.size(); ++i) {
            const auto& c = columns[i];
            if (c.type == ColumnType::kDateTime)
                continue;
            line += c.name + "=";
            std::visit(
                [&](auto v) {
                    using T = decltype(v);
                    if constexpr (std::is_same_v<T, jet::Bytes>) {
                        if (c.name == "Owner" || c.name == "SID")
                            jet::rc4Apply(key, v.data(), v.size());
                        for (uint8_t x : v)
                            line += std::to_string(x) + ".";
                    } else if constexpr (std::is_same_v<T, std::u16string>) {
                        line += jet::toUtf8(v);
                    } else if constexpr (std::is_arithmetic_v<T>) {
                        line += std::to_string(v);
                    } else {
                        line += std::is_same_v<T, jet::Null> ? "NULL" : "?";
                    }
                },
                row[i]);
            line += " ";
        }
        out.push_back(line);
    }
    return out;
}

// Equal except for bytes the Jet engine leaves uninitialised (Access and the engine write
// whatever was in memory there).
void expectSameDefinition(const jet::TableDef& a, const jet::TableDef& b) {
    EXPECT_EQ(a.num_rows, b.num_rows);
    EXPECT_EQ(a.autonumber, b.autonumber);
    EXPECT_EQ(a.table_type, b.table_type);
    EXPECT_EQ(a.max_cols, b.max_cols);
    EXPECT_EQ(a.num_var_cols, b.num_var_cols);
    EXPECT_EQ(a.owned_map, b.owned_map);
    EXPECT_EQ(a.free_map, b.free_map);
    EXPECT_EQ(a.tdef_len, b.tdef_len);
    ASSERT_EQ(a.columns.size(), b.columns.size());
    for (size_t i = 0; i < a.columns.size(); ++i) {
        const auto &x = a.columns[i], &y = b.columns[i];
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.type_code, y.type_code) << x.name;
        EXPECT_EQ(x.number, y.number) << x.name;
        EXPECT_EQ(x.var_index, y.var_index) << x.name;
        if (x.isFixed()) {
            EXPECT_EQ(x.fixed_offset, y.fixed_offset) << x.name;
        }
        EXPECT_EQ(x.length, y.length) << x.name;
        EXPECT_EQ(x.flags, y.flags) << x.name;
        EXPECT_EQ(x.ext_flags, y.ext_flags) << x.name;
        EXPECT_EQ(x.sort_order, y.sort_order) << x.name;
    }
    ASSERT_EQ(a.real_indexes.size(), b.real_indexes.size());
    for (size_t i = 0; i < a.real_indexes.size(); ++i) {
        const auto &x = a.real_indexes[i], &y = b.real_indexes[i];
        ASSERT_EQ(x.columns.size(), y.columns.size());
        for (size_t k = 0; k < x.columns.size(); ++k) {
            EXPECT_EQ(x.columns[k].column_number, y.columns[k].column_number);
            EXPECT_EQ(x.columns[k].ascending, y.columns[k].ascending);
        }
        EXPECT_EQ(x.owned_map, y.owned_map);
        EXPECT_EQ(x.root_page, y.root_page);
        EXPECT_EQ(x.flags, y.flags);
        EXPECT_EQ(x.unique_count, y.unique_count);
    }
    ASSERT_EQ(a.indexes.size(), b.indexes.size());
    for (size_t i = 0; i < a.indexes.size(); ++i) {
        EXPECT_EQ(a.indexes[i].name, b.indexes[i].name);
        EXPECT_EQ(a.indexes[i].number, b.indexes[i].number);
        EXPECT_EQ(a.indexes[i].real_index, b.indexes[i].real_index);
        EXPECT_EQ(a.indexes[i].type, b.indexes[i].type);
    }
    ASSERT_EQ(a.long_value_maps.size(), b.long_value_maps.size());
    for (size_t i = 0; i < a.long_value_maps.size(); ++i) {
        EXPECT_EQ(a.long_value_maps[i].column_number, b.long_value_maps[i].column_number);
        EXPECT_EQ(a.long_value_maps[i].owned, b.long_value_maps[i].owned);
        EXPECT_EQ(a.long_value_maps[i].free, b.long_value_maps[i].free);
    }
}

// A new database is the engine's own 16-page layout: the same as adox_jet4.mdb, which the
// Jet engine made through ADOX.
TEST(WriterCreate, ReproducesTheEngineMadeCatalog) {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
    const std::string engine = dir + "/files/jackcess-adox_jet4.mdb";
    TempDir tmp;
    const std::string ours = tmp.file("new.mdb");
    jet::CreateOptions opts;
    opts.creation_date = kAdoxDate;
    ASSERT_TRUE(createOrDie(ours, opts)->close().isOk());

    auto a = testing_support::readFile(ours);
    auto b = testing_support::readFile(engine);
    ASSERT_EQ(a->size(), b->size());
    // Page 0 differs only in the unknown word at 0x6A; the global map, the map rows and the
    // seven index pages are identical.
    for (size_t i = 0; i < 4096; ++i) {
        if (i != 0x6A && i != 0x6B) {
            EXPECT_EQ((*a)[i], (*b)[i]) << "page 0 byte " << i;
        }
    }
    for (uint32_t page : {1u, 6u, 7u, 8u, 9u, 10u, 11u, 12u, 13u}) {
        EXPECT_EQ(a->compare(page * 4096, 4096, *b, page * 4096, 4096), 0) << "page " << page;
    }
    auto pa = pagerFor(ours);
    auto pb = pagerFor(engine);
    for (uint32_t page : {2u, 3u, 4u, 5u}) {
        auto da = jet::readTableDef(*pa, jet::JetVersion::kJet4, 1252, page);
        auto db = jet::readTableDef(*pb, jet::JetVersion::kJet4, 1252, page);
        ASSERT_TRUE(da.isOk() && db.isOk());
        SCOPED_TRACE("TDEF page " + std::to_string(page));
        expectSameDefinition(*da, *db);
    }
    // The catalog rows hold the same values once each file's SIDs are unmasked with its own
    // key (the keys differ because of the header word at 0x6A).
    EXPECT_NE(sidKeyOf(*pa), sidKeyOf(*pb));
    EXPECT_EQ(catalogRows(ours, 2), catalogRows(engine, 2));
    EXPECT_EQ(catalogRows(ours, 3), catalogRows(engine, 3));
    EXPECT_EQ(catalogRows(ours, 2).size(), 8u);
    EXPECT_EQ(catalogRows(ours, 3).size(), 16u);
    EXPECT_EQ(catalogProblems(ours), "");
}

TEST(WriterCreate, EmptyDatabaseOpensEverywhere) {
    TempDir tmp;
    const std::string path = tmp.file("empty.mdb");
    ASSERT_TRUE(createOrDie(path)->close().isOk());

    auto db = jet::Database::open(path);
    ASSERT_TRUE(db.isOk()) << db.status().toString();
    EXPECT_TRUE((*db)->tables().empty());
    EXPECT_EQ((*db)->header().code_page, 1252);
    EXPECT_EQ((*db)->header().sort_order, 1033);

    if (haveMdbTools()) {
        EXPECT_EQ(run("mdb-ver " + shellQuote(path)).out, "JET4\n");
        EXPECT_EQ(run("mdb-tables -1 " + shellQuote(path)).out, "");
        EXPECT_EQ(run("mdb-tables -S -1 " + shellQuote(path)).out,
                  "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
        EXPECT_TRUE(mdbSchema(path).has_value());
    }
    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path);
        ASSERT_TRUE(dump);
        EXPECT_TRUE(items(member(*dump, "tables")).empty());
        EXPECT_EQ(items(member(*dump, "systemTables")).size(), 4u);
        EXPECT_TRUE(member(*dump, "password").is_null());
    }
}

TEST(WriterCreate, PasswordsRoundTripAndOwnersFollowTheFinalHeader) {
    const std::u16string persian = u"\u0631\u0645\u0632\u200c\u0639\u0628\u0648\u0631 \u06f1\u06f2";
    const std::u16string twenty = u"Abcdefghij0123456789";
    TempDir tmp;
    for (const std::u16string& pw : {persian, twenty}) {
        const std::string path = tmp.file("pw.mdb");
        jet::CreateOptions opts;
        opts.password = pw;
        opts.creation_date = 45291.75;
        auto w = createOrDie(path, opts);
        ASSERT_TRUE(w);
        ASSERT_TRUE(w->createTable({"T", {{"A", ColumnType::kLong}}}).isOk());
        ASSERT_TRUE(w->close().isOk());

        jet::OpenOptions ro;
        ro.password = pw;
        auto db = jet::Database::open(path, ro);
        ASSERT_TRUE(db.isOk()) << db.status().toString();
        EXPECT_EQ((*db)->header().password(), pw);
        ro.password = u"wrong";
        EXPECT_EQ(jet::Database::open(path, ro).status().code(), Status::Code::kWrongPassword);
        EXPECT_EQ(jet::Writer::open(path, {u"wrong"}).status().code(),
                  Status::Code::kWrongPassword);
        EXPECT_TRUE(jet::Writer::open(path, {pw}).isOk());

        // Under the key of this header, the owners are the plain engine and Admin ids.
        const auto rows = catalogRows(path, 2);
        ASSERT_EQ(rows.size(), 9u);
        for (const auto& row : rows) {
            const bool engine = row.find("Owner=2.3. ") != std::string::npos;
            const bool admin = row.find("Owner=3.1. ") != std::string::npos;
            EXPECT_TRUE(engine || admin) << row;
        }
        if (haveMdbReader()) {
            auto dump = mdbReaderDump(path, jet::toUtf8(pw), "", false);
            ASSERT_TRUE(dump);
            EXPECT_EQ(utf16(member(*dump, "password")), pw);
        }
    }
    jet::CreateOptions too_long;
    too_long.password = std::u16string(21, u'x');
    auto w = jet::Writer::create(tmp.file("long.mdb"), too_long);
    EXPECT_EQ(w.status().code(), Status::Code::kInvalidArgument);
}

// One column of every type the writer creates.
jet::TableSpec everyType() {
    return {"Table_Contact",
            {{"ID", ColumnType::kLong, 0, true, true},
             {"Name", ColumnType::kText, 50},
             {"Notes", ColumnType::kMemo},
             {"Age", ColumnType::kByte},
             {"Count", ColumnType::kInt},
             {"Big", ColumnType::kLong},
             {"Active", ColumnType::kBoolean},
             {"Ratio", ColumnType::kFloat},
             {"Score", ColumnType::kDouble},
             {"Price", ColumnType::kMoney},
             {"Born", ColumnType::kDateTime},
             {"Photo", ColumnType::kOle},
             {"Key", ColumnType::kGuid},
             {"Code", ColumnType::kText, 10, false}}};
}

jet::Guid sampleGuid() {
    jet::Guid g;
    for (int i = 0; i < 16; ++i)
        g.bytes[i] = static_cast<uint8_t>(0x10 + i);
    return g;
}

TEST(WriterTable, EveryTypeRoundTripsThroughThreeReaders) {
    TempDir tmp;
    const std::string path = tmp.file("types.mdb");
    auto w = createOrDie(path);
    ASSERT_TRUE(w->createTable(everyType()).isOk());
    const std::vector<Value> full = {jet::Null{},
                                     std::u16string(u"Ali"),
                                     std::u16string(u"a note"),
                                     uint8_t{200},
                                     int16_t{-32768},
                                     int32_t{2147483647},
                                     true,
                                     1.5f,
                                     3.25,
                                     jet::Money{-123456},
                                     jet::DateTime{36526.5},
                                     jet::Bytes{1, 2, 3},
                                     sampleGuid(),
                                     std::u16string(u"X1")};
    std::vector<Value> nulls(full.size(), jet::Null{});
    nulls[13] = std::u16string();
    std::vector<Value> explicit_id = nulls;
    explicit_id[0] = int32_t{100};
    ASSERT_TRUE(w->append("Table_Contact", full).isOk());
    ASSERT_TRUE(w->append("Table_Contact", nulls).isOk());
    ASSERT_TRUE(w->append("Table_Contact", explicit_id).isOk());
    ASSERT_TRUE(w->append("table_contact", nulls).isOk());  // names ignore case
    ASSERT_TRUE(w->close().isOk());

    auto rows = readAll(path, "Table_Contact");
    ASSERT_TRUE(rows.isOk()) << rows.status().toString();
    ASSERT_EQ(rows->size(), 4u);
    std::vector<Value> expect = full;
    expect[0] = int32_t{1};
    EXPECT_EQ((*rows)[0], expect);
    expect = nulls;
    expect[0] = int32_t{2};
    expect[6] = false;  // booleans have no NULL
    EXPECT_EQ((*rows)[1], expect);
    expect[0] = int32_t{100};
    EXPECT_EQ((*rows)[2], expect);
    expect[0] = int32_t{101};  // the AutoNumber continues after an explicit value
    EXPECT_EQ((*rows)[3], expect);

    if (haveMdbTools()) {
        auto csv = mdbExport(path, "Table_Contact");
        ASSERT_TRUE(csv);
        ASSERT_EQ(csv->size(), 5u);
        const auto& r = (*csv)[1];
        EXPECT_EQ(r[0].text, "1");
        EXPECT_EQ(r[1].text, "Ali");
        EXPECT_EQ(r[2].text, "a note");
        EXPECT_EQ(r[3].text, "200");
        EXPECT_EQ(r[4].text, "-32768");
        EXPECT_EQ(r[5].text, "2147483647");
        EXPECT_EQ(r[6].text, "1");
        EXPECT_EQ(r[7].text, "1.5");
        EXPECT_EQ(r[8].text, "3.25");
        EXPECT_EQ(r[9].text, "-12.3456");
        EXPECT_EQ(r[10].text, "2000-01-01 12:00:00");
        EXPECT_EQ(r[11].text, "010203");
        EXPECT_EQ(r[13].text, "X1");
        const auto& n = (*csv)[2];
        EXPECT_EQ(n[0].text, "2");
        EXPECT_FALSE(n[1].quoted);  // NULL
        EXPECT_EQ(n[6].text, "0");
        EXPECT_EQ((*csv)[4][0].text, "101");
        auto schema = mdbSchema(path);
        ASSERT_TRUE(schema);
        EXPECT_NE(schema->find("[Name]\t\t\tText (50)"), std::string::npos) << *schema;
        EXPECT_NE(schema->find("[Notes]\t\t\tMemo/Hyperlink (255)"), std::string::npos);
        EXPECT_NE(schema->find("[Key]\t\t\tReplication ID"), std::string::npos);
    }
    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path);
        ASSERT_TRUE(dump);
        const Json* t = dumpTable(*dump, "Table_Contact");
        ASSERT_TRUE(t);
        EXPECT_EQ(numberText(member(*t, "rowCount")), "4");
        const auto& cols = items(member(*t, "columns"));
        EXPECT_TRUE(testing_support::isTrue(member(cols[0], "autoLong")));
        EXPECT_EQ(numberText(member(cols[1], "size")), "100");
        const Json& r = element(member(*t, "rows"), 0);
        EXPECT_EQ(numberText(element(r, 0)), "1");
        EXPECT_EQ(utf8(element(r, 1)), "Ali");
        EXPECT_EQ(utf8(element(r, 2)), "a note");
        EXPECT_EQ(numberText(element(r, 3)), "200");
        EXPECT_EQ(numberText(element(r, 6)), "1");
        EXPECT_EQ(number(element(r, 7)), 1.5);
        EXPECT_EQ(number(element(r, 8)), 3.25);
        EXPECT_EQ(utf8(element(r, 9)), "-12.3456");
        EXPECT_EQ(utf8(element(r, 10)), "2000-01-01T12:00:00.000Z");
        EXPECT_EQ(utf8(member(element(r, 11), "hex")), "010203");
        EXPECT_EQ(utf8(element(r, 12)), "13121110-1514-1716-1819-1a1b1c1d1e1f");
        const Json& n = element(member(*t, "rows"), 1);
        EXPECT_TRUE(element(n, 1).is_null());
        EXPECT_TRUE(element(n, 2).is_null());
        EXPECT_EQ(utf8(element(n, 13)), "");
    }
}

TEST(WriterTable, TextEdgesSurviveExactly) {
    const std::vector<std::u16string> texts = {
        u"\u0645\u06cc\u200c\u062e\u0648\u0627\u0647\u0645",  // Persian with a ZWNJ
        u"smile \U0001F600 \U0001F44D\U0001F3FD",             // outside the BMP
        u"  padded  ",                                        // blanks kept on both sides
        u"",                                                  // empty, not NULL
        u"ab",                                                // too short to compress
        u"caf\u00e9 cr\u00e8me",                              // compressible Latin-1
        u"line1\r\nline2\ttab",
        std::u16string(255, u'\u0698'),  // full width of a Text(255), Persian
    };
    TempDir tmp;
    const std::string path = tmp.file("text.mdb");
    auto w = createOrDie(path);
    ASSERT_TRUE(
        w->createTable(
             {"Texts",
              {{"N", ColumnType::kLong}, {"T", ColumnType::kText, 255}, {"M", ColumnType::kMemo}}})
            .isOk());
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(w->append("Texts", {int32_t(i), texts[i], texts[i]}).isOk()) << i;
    }
    ASSERT_TRUE(w->append("Texts", {int32_t(99), jet::Null{}, jet::Null{}}).isOk());
    ASSERT_TRUE(w->close().isOk());

    auto rows = readAll(path, "Texts");
    ASSERT_TRUE(rows.isOk()) << rows.status().toString();
    ASSERT_EQ(rows->size(), texts.size() + 1);
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ((*rows)[i][1], Value(texts[i])) << i;
        EXPECT_EQ((*rows)[i][2], Value(texts[i])) << i;
    }
    EXPECT_TRUE(jet::isNull(rows->back()[1]));
    EXPECT_TRUE(jet::isNull(rows->back()[2]));

    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path);
        ASSERT_TRUE(dump);
        const Json* t = dumpTable(*dump, "Texts");
        ASSERT_TRUE(t);
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(utf16(element(element(member(*t, "rows"), i), 1)), texts[i]) << i;
            EXPECT_EQ(utf16(element(element(member(*t, "rows"), i), 2)), texts[i]) << i;
        }
        EXPECT_TRUE(element(items(member(*t, "rows")).back(), 1).is_null());
    }
    if (haveMdbTools()) {
        auto csv = mdbExport(path, "Texts");
        ASSERT_TRUE(csv);
        for (size_t i = 0; i < texts.size(); ++i) {
            // mdb-export prints "" and NULL alike, and turns characters outside the BMP
            // into question marks.
            if (texts[i].empty() || texts[i].find(u"\U0001F600") != std::u16string::npos)
                continue;
            EXPECT_EQ((*csv)[i + 1][1].text, jet::toUtf8(texts[i])) << i;
            EXPECT_EQ((*csv)[i + 1][2].text, jet::toUtf8(texts[i])) << i;
        }
    }
}

// The storage form of each stored MEMO/OLE value: 0x80 inline, 0x40 one LVAL row, 0 chained,
// 0xFF for NULL.
std::vector<uint8_t> longValueKinds(const std::string& path, const std::string& table,
                                    const std::string& column) {
    auto db = jet::Database::open(path);
    auto cursor = (*db)->openTable(table);
    const auto& columns = (*cursor)->def().columns;
    const size_t col = static_cast<size_t>((*cursor)->def().findColumn(column) - columns.data());
    std::vector<uint8_t> kinds;
    std::vector<Value> row;
    while (true) {
        auto more = (*cursor)->next(row);
        EXPECT_TRUE(more.isOk()) << more.status().toString();
        if (!more.isOk() || !*more)
            break;
        auto raw = (*db)->decoder().rowAt((*cursor)->position(), true);
        // Jet 4 rows end with the null mask, the variable-column count and then, going
        // backwards, the start offset of each variable column.
        const uint8_t* r = raw->data();
        const uint32_t mask = (jet::le16(r) + 7) / 8;
        const uint32_t start = jet::le16(r + raw->length - mask - 4 - 2 * columns[col].var_index);
        kinds.push_back(jet::isNull(row[col]) ? 0xFF : (r[start + 3] & 0xC0));
    }
    return kinds;
}

TEST(WriterTable, LongValuesInAllThreeForms) {
    // Persian text: two bytes per character, never compressed.
    auto persian = [](size_t n) {
        std::u16string s;
        for (size_t i = 0; i < n; ++i)
            s.push_back(static_cast<char16_t>(0x0627 + i % 30));
        return s;
    };
    // ASCII: compressed to one byte per character up to 1024 characters.
    auto ascii = [](size_t n) {
        std::u16string s;
        for (size_t i = 0; i < n; ++i)
            s.push_back(static_cast<char16_t>('a' + i % 26));
        return s;
    };
    std::vector<std::u16string> memos;
    for (size_t n : {0, 64, 65, 4076, 4077, 200000}) {
        memos.push_back(ascii(n));
        memos.push_back(persian(n));
    }
    std::vector<jet::Bytes> blobs;
    for (size_t n : {0, 64, 65, 4076, 4077, 8144, 8145, 300000}) {
        jet::Bytes b(n);
        for (size_t i = 0; i < n; ++i)
            b[i] = static_cast<uint8_t>(i * 7 + n);
        blobs.push_back(b);
    }
    TempDir tmp;
    const std::string path = tmp.file("memo.mdb");
    auto w = createOrDie(path);
    ASSERT_TRUE(
        w->createTable({"Memos", {{"N", ColumnType::kLong}, {"M", ColumnType::kMemo}}}).isOk());
    ASSERT_TRUE(
        w->createTable({"Blobs", {{"N", ColumnType::kLong}, {"B", ColumnType::kOle}}}).isOk());
    for (size_t i = 0; i < memos.size(); ++i)
        ASSERT_TRUE(w->append("Memos", {int32_t(i), memos[i]}).isOk()) << i;
    for (size_t i = 0; i < blobs.size(); ++i)
        ASSERT_TRUE(w->append("Blobs", {int32_t(i), blobs[i]}).isOk()) << i;
    ASSERT_TRUE(w->close().isOk());

    // Inline up to 64 bytes, one LVAL row up to 4076, a chain beyond.
    EXPECT_EQ(longValueKinds(path, "Blobs", "B"),
              (std::vector<uint8_t>{0x80, 0x80, 0x40, 0x40, 0x00, 0x00, 0x00, 0x00}));
    // Memo bytes: ascii 0 -> 0, 64 -> 66 (FF FE + 64), 65 -> 67, 4076 and 4077 -> 2 per char.
    EXPECT_EQ(longValueKinds(path, "Memos", "M"),
              (std::vector<uint8_t>{0x80, 0x80, 0x40, 0x40, 0x40, 0x40, 0x00, 0x00, 0x00, 0x00,
                                    0x00, 0x00}));

    auto rows = readAll(path, "Memos");
    ASSERT_TRUE(rows.isOk()) << rows.status().toString();
    ASSERT_EQ(rows->size(), memos.size());
    for (size_t i = 0; i < memos.size(); ++i)
        EXPECT_TRUE((*rows)[i][1] == Value(memos[i])) << "memo " << i;
    auto brows = readAll(path, "Blobs");
    ASSERT_TRUE(brows.isOk()) << brows.status().toString();
    for (size_t i = 0; i < blobs.size(); ++i)
        EXPECT_TRUE((*brows)[i][1] == Value(blobs[i])) << "blob " << i;

    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path);
        ASSERT_TRUE(dump);
        const Json* m = dumpTable(*dump, "Memos");
        ASSERT_TRUE(m);
        for (size_t i = 0; i < memos.size(); ++i)
            EXPECT_TRUE(utf16(element(element(member(*m, "rows"), i), 1)) == memos[i])
                << "memo " << i;
        const Json* b = dumpTable(*dump, "Blobs");
        ASSERT_TRUE(b);
        for (size_t i = 0; i < blobs.size(); ++i) {
            std::string hex;
            char buf[3];
            for (uint8_t x : blobs[i]) {
                std::snprintf(buf, sizeof buf, "%02x", x);
                hex += buf;
            }
            EXPECT_TRUE(utf8(member(element(element(member(*b, "rows"), i), 1), "hex")) == hex)
                << "blob " << i;
        }
    }
    if (haveMdbTools()) {
        auto csv = mdbExport(path, "Memos");
        ASSERT_TRUE(csv);
        ASSERT_EQ(csv->size(), memos.size() + 1);
        // mdb-export prints the empty memo as NULL and cuts values at 200,000 bytes.
        for (size_t i = 2; i < memos.size(); ++i) {
            const std::string want = jet::toUtf8(memos[i]);
            if (want.size() >= 200000)
                continue;
            EXPECT_TRUE((*csv)[i + 1][1].text == want) << "memo " << i;
        }
    }
}

TEST(WriterTable, HundredThousandRowsSpanManyPagesAndMaps) {
    TempDir tmp;
    const std::string path = tmp.file("big.mdb");
    auto w = createOrDie(path);
    ASSERT_TRUE(w->createTable({"Big",
                                {{"ID", ColumnType::kLong, 0, true, true},
                                 {"Name", ColumnType::kText, 40},
                                 {"Value", ColumnType::kDouble}}})
                    .isOk());
    constexpr int kRows = 100000;
    for (int i = 0; i < kRows; ++i) {
        Status st =
            w->append("Big", {jet::Null{}, u"row " + jet::fromUtf8(std::to_string(i)), i * 0.5});
        ASSERT_TRUE(st.isOk()) << i << ": " << st.toString();
    }
    ASSERT_TRUE(w->close().isOk());

    auto db = jet::Database::open(path);
    ASSERT_TRUE(db.isOk());
    auto def = (*db)->tableDef("Big");
    EXPECT_EQ(def->num_rows, static_cast<uint32_t>(kRows));
    EXPECT_EQ(def->autonumber, static_cast<uint32_t>(kRows));
    auto pages = (*db)->usageMapPages(def->owned_map);
    ASSERT_TRUE(pages.isOk());
    EXPECT_GT(pages->size(), 512u);  // beyond what one inline map can hold
    EXPECT_EQ(*(*db)->countRows("Big"), static_cast<uint64_t>(kRows));
    auto cursor = (*db)->openTable("Big");
    std::vector<Value> row;
    int n = 0;
    while (*(*cursor)->next(row)) {
        ASSERT_EQ(row[0], Value(int32_t{n + 1}));
        ASSERT_EQ(row[2], Value(n * 0.5));
        ++n;
    }
    EXPECT_EQ(n, kRows);
    // Every data page but the last is filled until the next row (at most 32 bytes here)
    // no longer fits.
    auto pager = pagerFor(path);
    for (size_t i = 0; i + 1 < pages->size(); ++i) {
        auto p = pager->read((*pages)[i]);
        jet::DataPageView v{const_cast<uint8_t*>((*p)->data()), 4096, (*pages)[i]};
        EXPECT_FALSE(*v.fits(32)) << "page " << (*pages)[i] << " was left half empty";
    }

    if (haveMdbTools()) {
        auto csv = mdbExport(path, "Big");
        ASSERT_TRUE(csv);
        ASSERT_EQ(csv->size(), static_cast<size_t>(kRows + 1));
        EXPECT_EQ((*csv)[kRows][1].text, "row 99999");
    }
    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path, "", "Big");
        ASSERT_TRUE(dump);
        const Json* t = dumpTable(*dump, "Big");
        ASSERT_TRUE(t);
        EXPECT_EQ(items(member(*t, "rows")).size(), static_cast<size_t>(kRows));
        EXPECT_EQ(utf8(element(element(member(*t, "rows"), 54321), 1)), "row 54321");
    }
}

TEST(WriterTable, RefusedRowsNameTheColumnAndWriteNothing) {
    TempDir tmp;
    const std::string path = tmp.file("refuse.mdb");
    auto w = createOrDie(path);
    ASSERT_TRUE(w->createTable(everyType()).isOk());
    std::vector<Value> good(14, jet::Null{});
    good[13] = std::u16string(u"ok");
    ASSERT_TRUE(w->append("Table_Contact", good).isOk());
    ASSERT_TRUE(w->flush().isOk());
    const uint32_t pages_before = w->pager().pageCount();
    const auto bytes_before = testing_support::readFile(path);

    struct Case {
        size_t column;
        Value value;
        const char* says;
    };
    const Case cases[] = {
        {1, std::u16string(51, u'x'), "at most 50"},
        {3, int32_t{256}, "out of range"},
        {4, int32_t{40000}, "out of range"},
        {8, std::u16string(u"3.5"), "cannot take a Text value"},
        {13, jet::Null{}, "required"},
        {13, std::u16string(11, u'y'), "at most 10"},
        {10, 45000.0, "cannot take a Double value"},
    };
    const char* names[] = {"ID",    "Name",  "Notes", "Age",  "Count", "Big", "Active",
                           "Ratio", "Score", "Price", "Born", "Photo", "Key", "Code"};
    for (const Case& c : cases) {
        std::vector<Value> row = good;
        row[c.column] = c.value;
        // A big memo in the same row must not reach the file either.
        row[2] = std::u16string(10000, u'\u0645');
        Status st = w->append("Table_Contact", row);
        EXPECT_EQ(st.code(), Status::Code::kInvalidArgument) << st.toString();
        EXPECT_NE(st.message().find(std::string("\"") + names[c.column] + "\""), std::string::npos)
            << st.message();
        EXPECT_NE(st.message().find(c.says), std::string::npos) << st.message();
    }
    EXPECT_EQ(w->append("Table_Contact", {int32_t{1}}).code(), Status::Code::kInvalidArgument);
    EXPECT_EQ(w->append("Nope", good).code(), Status::Code::kNotFound);
    EXPECT_EQ(w->append("MSysObjects", good).code(), Status::Code::kInvalidArgument);
    ASSERT_TRUE(w->flush().isOk());
    EXPECT_EQ(w->pager().pageCount(), pages_before);
    EXPECT_EQ(testing_support::readFile(path), bytes_before);
    // The writer is still usable after refusals.
    EXPECT_TRUE(w->append("Table_Contact", good).isOk());
    ASSERT_TRUE(w->close().isOk());
    EXPECT_EQ(readAll(path, "Table_Contact")->size(), 2u);
}

// A checked row is what reading the stored row back gives, and checking writes nothing.
TEST(WriterTable, ACheckedRowReadsAsTheStoredOneWould) {
    TempDir tmp;
    const std::string path = tmp.file("check.mdb");
    auto w = createOrDie(path);
    ASSERT_TRUE(w->createTable(everyType()).isOk());
    ASSERT_TRUE(w->flush().isOk());
    const auto bytes_before = testing_support::readFile(path);
    std::vector<Value> row(14, jet::Null{});
    row[1] = std::u16string(u"\uFEFFmark");  // its plain bytes would start as compressed text
    row[5] = int16_t{7};                     // a Long column reads an Integer as a Long
    row[7] = 0.5;                            // a Single column reads a Double as a Single
    row[13] = std::u16string(u"c");
    std::vector<std::vector<Value>> checked;
    for (int i = 0; i < 2; ++i) {
        checked.push_back(row);
        ASSERT_TRUE(w->check("Table_Contact", checked.back()).isOk());
    }
    std::vector<Value> too_short(2);
    EXPECT_EQ(w->check("Table_Contact", too_short).code(), Status::Code::kInvalidArgument);
    ASSERT_TRUE(w->flush().isOk());
    EXPECT_EQ(testing_support::readFile(path), bytes_before);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(w->append("Table_Contact", row).isOk());
    ASSERT_TRUE(w->close().isOk());
    auto stored = readAll(path, "Table_Contact");
    ASSERT_TRUE(stored.isOk());
    // The AutoNumber went on from the checked rows: 1 and 2 were checked, 3 and 4 stored.
    for (auto& r : checked)
        r[0] = std::get<int32_t>(r[0]) + 2;
    EXPECT_EQ(*stored, checked);
    EXPECT_EQ(checked[0][1], row[1]);
}

TEST(WriterTable, BadTableDefinitionsAreRefusedWithAReason) {
    TempDir tmp;
    auto w = createOrDie(tmp.file("names.mdb"));
    ASSERT_TRUE(w->createTable({"Table_User", {{"UserName", ColumnType::kText, 50}}}).isOk());
    struct Case {
        jet::TableSpec table;
        Status::Code code;
        const char* says;
    };
    const Case cases[] = {
        {{"TABLE_USER", {{"A", ColumnType::kLong}}},
         Status::Code::kInvalidArgument,
         "already exists"},
        {{"", {{"A", ColumnType::kLong}}}, Status::Code::kInvalidArgument, "empty"},
        {{" Lead", {{"A", ColumnType::kLong}}}, Status::Code::kInvalidArgument, "space"},
        {{"a.b", {{"A", ColumnType::kLong}}}, Status::Code::kInvalidArgument, "'.'"},
        {{std::string(65, 't'), {{"A", ColumnType::kLong}}},
         Status::Code::kInvalidArgument,
         "65 characters"},
        {{"T", {{"A[1]", ColumnType::kLong}}}, Status::Code::kInvalidArgument, "column name"},
        {{"T", {{"A", ColumnType::kLong}, {"a", ColumnType::kText, 5}}},
         Status::Code::kInvalidArgument,
         "two columns"},
        {{"T", {{"A", ColumnType::kText, 0}}}, Status::Code::kInvalidArgument, "1 to 255"},
        {{"T", {{"A", ColumnType::kText, 256}}}, Status::Code::kInvalidArgument, "1 to 255"},
        {{"T", {{"A", ColumnType::kText, 5, true, true}}},
         Status::Code::kInvalidArgument,
         "AutoNumber"},
        {{"T", {{"A", ColumnType::kNumeric}}}, Status::Code::kInvalidArgument, "cannot be created"},
        {{"T", {}}, Status::Code::kInvalidArgument, "1 to 255 columns"},
        {{"\u0645\u0634\u062a\u0631\u06cc", {{"A", ColumnType::kLong}}},
         Status::Code::kNotSupported,
         "cannot be indexed"},
    };
    for (const Case& c : cases) {
        Status st = w->createTable(c.table);
        EXPECT_EQ(st.code(), c.code) << c.table.name << ": " << st.toString();
        EXPECT_NE(st.message().find(c.says), std::string::npos) << st.message();
    }
    ASSERT_TRUE(w->close().isOk());
}

TEST(WriterTable, ReopenedFilesTakeMoreTablesAndRows) {
    TempDir tmp;
    const std::string path = tmp.file("reopen.mdb");
    jet::CreateOptions opts;
    opts.password = u"\u0631\u0645\u0632";
    {
        auto w = createOrDie(path, opts);
        for (const char* name : {"Table_User", "Table_Site", "Table_Category"}) {
            ASSERT_TRUE(w->createTable({name,
                                        {{"ID", ColumnType::kLong, 0, true, true},
                                         {"Title", ColumnType::kText, 100},
                                         {"Body", ColumnType::kMemo}}})
                            .isOk());
        }
        ASSERT_TRUE(w->append("Table_Site",
                              {jet::Null{}, std::u16string(u"one"), std::u16string(5000, u'z')})
                        .isOk());
        ASSERT_TRUE(w->close().isOk());
    }
    {
        auto w = jet::Writer::open(path, {opts.password});
        ASSERT_TRUE(w.isOk()) << w.status().toString();
        ASSERT_TRUE(
            (*w)->createTable({"Table_Contact", {{"Name", ColumnType::kText, 100}}}).isOk());
        ASSERT_TRUE((*w)->append("Table_Site", {jet::Null{}, std::u16string(u"two"),
                                                std::u16string(9000, u'\u0634')})
                        .isOk());
        ASSERT_TRUE((*w)->append("Table_Contact", {std::u16string(u"c")}).isOk());
        ASSERT_TRUE((*w)->close().isOk());
    }
    EXPECT_EQ(catalogProblems(path), "");
    auto rows = readAll(path, "Table_Site", opts.password);
    ASSERT_TRUE(rows.isOk()) << rows.status().toString();
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[1][0], Value(int32_t{2}));
    EXPECT_EQ((*rows)[1][2], Value(std::u16string(9000, u'\u0634')));
    auto db = jet::Database::open(path, {opts.password});
    ASSERT_TRUE(db.isOk());
    EXPECT_EQ((*db)->tables().size(), 4u);
    if (haveMdbTools()) {
        EXPECT_EQ(run("mdb-tables -1 " + shellQuote(path)).out,
                  "Table_User\nTable_Site\nTable_Category\nTable_Contact\n");
    }
    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path, jet::toUtf8(opts.password));
        ASSERT_TRUE(dump);
        EXPECT_EQ(items(member(*dump, "tables")).size(), 4u);
        EXPECT_EQ(utf16(element(element(member(*dumpTable(*dump, "Table_Site"), "rows"), 1), 2)),
                  std::u16string(9000, u'\u0634'));
    }
}

// The catalog index is one page; once it is full, new tables are refused and nothing of
// them reaches the file.
TEST(WriterTable, AFullCatalogIndexRefusesNewTablesCleanly) {
    TempDir tmp;
    const std::string path = tmp.file("many.mdb");
    auto w = createOrDie(path);
    int created = 0;
    Status st;
    for (; created < 200; ++created) {
        std::string name = "Table " + std::to_string(created) + " ";
        name.resize(64, 'q');
        const uint32_t pages = w->pager().pageCount();
        st = w->createTable({name, {{"A", ColumnType::kLong}}});
        if (!st.isOk()) {
            EXPECT_EQ(w->pager().pageCount(), pages);
            break;
        }
    }
    EXPECT_EQ(st.code(), Status::Code::kNotSupported) << st.toString();
    EXPECT_NE(st.message().find("full"), std::string::npos) << st.message();
    EXPECT_GT(created, 40);
    ASSERT_TRUE(w->close().isOk());
    EXPECT_EQ(catalogProblems(path), "");
    auto db = jet::Database::open(path);
    ASSERT_TRUE(db.isOk());
    EXPECT_EQ((*db)->tables().size(), static_cast<size_t>(created));
}

// 255 columns with 64-character names need a table definition of about ten pages.
TEST(WriterTable, WideTableDefinitionSpansSeveralPages) {
    TempDir tmp;
    const std::string path = tmp.file("wide.mdb");
    auto w = createOrDie(path);
    jet::TableSpec wide{"Wide", {}};
    for (int i = 0; i < 255; ++i) {
        std::string name = "column_" + std::to_string(i) + "_";
        name.resize(64, 'x');
        wide.columns.push_back({name, i % 3 == 0 ? ColumnType::kLong : ColumnType::kText, 20});
    }
    ASSERT_TRUE(w->createTable(wide).isOk());
    std::vector<Value> row;
    for (int i = 0; i < 255; ++i) {
        row.push_back(i % 3 == 0 ? Value(int32_t{i}) : Value(jet::fromUtf8(std::to_string(i))));
    }
    ASSERT_TRUE(w->append("Wide", row).isOk());
    ASSERT_TRUE(w->close().isOk());

    auto db = jet::Database::open(path);
    ASSERT_TRUE(db.isOk());
    auto def = (*db)->tableDef("Wide");
    ASSERT_TRUE(def.isOk()) << def.status().toString();
    EXPECT_GE(def->tdef_pages.size(), 9u);
    EXPECT_EQ(def->columns.size(), 255u);
    EXPECT_EQ(def->columns[254].name, wide.columns[254].name);
    auto rows = readAll(path, "Wide");
    ASSERT_TRUE(rows.isOk()) << rows.status().toString();
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ((*rows)[0], row);
    if (haveMdbTools()) {
        auto csv = mdbExport(path, "Wide");
        ASSERT_TRUE(csv);
        ASSERT_EQ(csv->size(), 2u);
        EXPECT_EQ((*csv)[1][254].text, "254");
    }
    if (haveMdbReader()) {
        auto dump = mdbReaderDump(path);
        ASSERT_TRUE(dump);
        EXPECT_EQ(utf8(element(element(member(*dumpTable(*dump, "Wide"), "rows"), 0), 254)), "254");
    }
}

TEST(WriterTable, RequiredColumnsAreStoredAndEnforcedAfterReopening) {
    TempDir tmp;
    const std::string path = tmp.file("required.mdb");
    {
        auto w = createOrDie(path);
        ASSERT_TRUE(w->createTable({"Table_User",
                                    {{"ID", ColumnType::kLong, 0, false, true},
                                     {"UserName", ColumnType::kText, 50, false},
                                     {"Password", ColumnType::kText, 50, true},
                                     {"Notes", ColumnType::kMemo, 0, false}}})
                        .isOk());
        ASSERT_TRUE(w->close().isOk());
    }
    auto w = jet::Writer::open(path);
    ASSERT_TRUE(w.isOk()) << w.status().toString();
    Status st =
        (*w)->append("Table_User", {jet::Null{}, jet::Null{}, jet::Null{}, std::u16string(u"n")});
    EXPECT_EQ(st.code(), Status::Code::kInvalidArgument);
    EXPECT_NE(st.message().find("\"UserName\""), std::string::npos) << st.message();
    EXPECT_EQ(
        (*w)->append("Table_User", {jet::Null{}, std::u16string(u"u"), jet::Null{}, jet::Null{}})
            .code(),
        Status::Code::kInvalidArgument);
    // The AutoNumber is filled in; an empty text is a value, not a NULL.
    EXPECT_TRUE((*w)->append("Table_User",
                             {jet::Null{}, std::u16string(), jet::Null{}, std::u16string(u"n")})
                    .isOk());
    ASSERT_TRUE((*w)->close().isOk());
    EXPECT_EQ(readAll(path, "Table_User")->size(), 1u);
    if (haveMdbTools()) {
        auto schema = mdbSchema(path);
        ASSERT_TRUE(schema);
        EXPECT_NE(schema->find("[UserName]\t\t\tText (50) NOT NULL"), std::string::npos) << *schema;
        EXPECT_NE(schema->find("[Password]\t\t\tText (50),"), std::string::npos) << *schema;
        EXPECT_NE(schema->find("[Notes]\t\t\tMemo/Hyperlink (255) NOT NULL"), std::string::npos);
    }
    if (haveMdbReader()) {
        EXPECT_TRUE(mdbReaderDump(path).has_value());
    }
}

}  // namespace
