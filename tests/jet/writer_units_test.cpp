// The writer's building blocks: index keys and leaf pages, usage maps, row packing, value
// checks and names. Expected bytes come from files the Jet engine or Access wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "jet/bytes.h"
#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/index_key.h"
#include "jet/index_leaf.h"
#include "jet/map_row.h"
#include "jet/names.h"
#include "jet/page_allocator.h"
#include "jet/properties.h"
#include "jet/row_packer.h"
#include "jet/system_tables.h"
#include "jet/text.h"
#include "jet/value_encoder.h"
#include "mem_file.h"
#include "support/files.h"

namespace jet {
namespace {

using Bytes8 = std::vector<uint8_t>;

Bytes8 hex(const char* s) {
    Bytes8 out;
    for (const char* p = s; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

Bytes8 parentNameKey(int32_t parent, const std::u16string& name) {
    Bytes8 k;
    appendLongKey(k, parent);
    EXPECT_TRUE(appendGeneralLegacyTextKey(k, name).isOk());
    return k;
}

TEST(IndexKey, MatchesCatalogEntriesOfRealFiles) {
    // Jet engine (adox_jet4.mdb) and Access (meza m.mdb, ucanaccess weirdObjectNames.mdb).
    EXPECT_EQ(parentNameKey(0x0F000002, u"MSysDb"),
              hex("7f 8f 00 00 02 7f 60 6b 76 6b 4f 4c 01 00"));
    EXPECT_EQ(parentNameKey(0x0F000001, u"St_Andrew_1843_to_1859"),
              hex("7f 8f 00 00 01 7f 6b 6d 2b 03 4a 62 4f 69 51 73 2b 03 38 46 3e 3c 2b 03 6d 64 "
                  "2b 03 38 46 40 48 01 00"));
    EXPECT_EQ(parentNameKey(0x0F000001, u"19 MB 01 BEZAHLT ???"),
              hex("7f 8f 00 00 01 7f 38 48 07 60 4c 07 36 38 07 4c 51 78 4a 57 5e 6d 07 24 24 24 "
                  "01 00"));
}

TEST(IndexKey, LettersIgnoreCaseAndTrailingSpacesAreDropped) {
    EXPECT_EQ(parentNameKey(1, u"Table_User"), parentNameKey(1, u"TABLE_user"));
    EXPECT_EQ(parentNameKey(1, u"Table_User  "), parentNameKey(1, u"Table_User"));
    EXPECT_NE(parentNameKey(1, u"Table User"), parentNameKey(1, u"Table_User"));
}

TEST(IndexKey, LongValuesSortAsUnsignedBytes) {
    Bytes8 a, b, c, d;
    appendLongKey(a, 2);
    appendLongKey(b, static_cast<int32_t>(0x80000000));
    appendLongKey(c, -1);
    appendLongKey(d, 0x10000000);
    EXPECT_EQ(a, hex("7f 80 00 00 02"));
    EXPECT_EQ(b, hex("7f 00 00 00 00"));
    EXPECT_EQ(c, hex("7f 7f ff ff ff"));
    EXPECT_EQ(d, hex("7f 90 00 00 00"));
    EXPECT_LT(b, c);
    EXPECT_LT(c, a);
}

TEST(IndexKey, CharactersWithoutSimpleCodesAreRefused) {
    for (const std::u16string s : {u"O'Brien", u"a-b", u"\u0645\u062D\u0645\u062F", u"caf\u00E9"}) {
        Bytes8 k;
        Status st = appendGeneralLegacyTextKey(k, s);
        EXPECT_EQ(st.code(), Status::Code::kNotSupported) << toUtf8(s);
        EXPECT_NE(st.message().find("U+"), std::string::npos);
    }
}

// The engine's leaf pages of adox_jet4.mdb parse and are rewritten byte for byte.
TEST(IndexLeaf, RewritesEngineLeavesExactly) {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
    auto file = testing_support::readFile(dir + "/files/jackcess-adox_jet4.mdb");
    ASSERT_TRUE(file);
    for (uint32_t n : {7u, 8u, 9u, 10u}) {
        const uint8_t* page = reinterpret_cast<const uint8_t*>(file->data()) + n * 4096;
        auto leaf = parseIndexLeaf(page, 4096, n);
        ASSERT_TRUE(leaf.isOk()) << leaf.status().toString();
        std::vector<uint8_t> out(4096);
        ASSERT_TRUE(writeIndexLeaf(*leaf, out.data(), 4096, n).isOk());
        EXPECT_EQ(0, std::memcmp(out.data(), page, 4096)) << "page " << n;
    }
    const uint8_t* p8 = reinterpret_cast<const uint8_t*>(file->data()) + 8 * 4096;
    auto leaf = parseIndexLeaf(p8, 4096, 8);
    ASSERT_EQ(leaf->entries.size(), 8u);
    EXPECT_EQ(leaf->entries.front(), hex("7f 80 00 00 02 00 00 0e 04"));
}

TEST(IndexLeaf, ReadsPrefixCompressedAccessLeaves) {
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
    auto file = testing_support::readFile(dir + "/files/jackcess-V2000-compIndexTestV2000.mdb");
    ASSERT_TRUE(file);
    const uint8_t* page = reinterpret_cast<const uint8_t*>(file->data()) + 32 * 4096;
    ASSERT_EQ(le16(page + 24), 3);  // Access stored this leaf with a 3-byte shared prefix
    auto leaf = parseIndexLeaf(page, 4096, 32);
    ASSERT_TRUE(leaf.isOk()) << leaf.status().toString();
    ASSERT_GT(leaf->entries.size(), 10u);
    EXPECT_TRUE(std::is_sorted(leaf->entries.begin(), leaf->entries.end()));
    const Bytes8 prefix(leaf->entries[0].begin(), leaf->entries[0].begin() + 3);
    for (const auto& e : leaf->entries)
        EXPECT_EQ(Bytes8(e.begin(), e.begin() + 3), prefix);
    // Written back it needs the prefix again to fit, and reads back the same.
    std::vector<uint8_t> out(4096);
    ASSERT_TRUE(writeIndexLeaf(*leaf, out.data(), 4096, 32).isOk());
    EXPECT_GT(le16(out.data() + 24), 0);
    auto again = parseIndexLeaf(out.data(), 4096, 32);
    ASSERT_TRUE(again.isOk());
    EXPECT_EQ(again->entries, leaf->entries);
    EXPECT_EQ(again->next, 33u);
}

TEST(IndexLeaf, InsertKeepsOrderRefusesDuplicatesAndReportsAFullPage) {
    IndexLeaf leaf;
    leaf.owner = 2;
    auto entry = [](int32_t id, uint8_t row) {
        Bytes8 e;
        appendLongKey(e, id);
        appendEntryRowId(e, 14, row);
        return e;
    };
    EXPECT_TRUE(insertIndexEntry(leaf, entry(5, 0), true));
    EXPECT_TRUE(insertIndexEntry(leaf, entry(-3, 1), true));
    EXPECT_TRUE(insertIndexEntry(leaf, entry(7, 2), true));
    EXPECT_FALSE(insertIndexEntry(leaf, entry(5, 3), true));  // same key, other row
    EXPECT_TRUE(insertIndexEntry(leaf, entry(5, 3), false));
    ASSERT_EQ(leaf.entries.size(), 4u);
    EXPECT_EQ(leaf.entries[0], entry(-3, 1));
    EXPECT_EQ(leaf.entries[1], entry(5, 0));
    EXPECT_EQ(leaf.entries[2], entry(5, 3));

    // 9-byte entries: 401 fit in the 3616 bytes of a page, the 402nd does not.
    IndexLeaf big;
    for (int i = 0; i < 401; ++i)
        insertIndexEntry(big, entry(i, 0), true);
    std::vector<uint8_t> page(4096);
    ASSERT_TRUE(writeIndexLeaf(big, page.data(), 4096, 7).isOk());
    EXPECT_EQ(le16(page.data() + 2), 4096 - 480 - 401 * 9);
    // Entries sharing their first bytes still fit by storing the prefix once.
    insertIndexEntry(big, entry(401, 0), true);
    ASSERT_TRUE(writeIndexLeaf(big, page.data(), 4096, 7).isOk());
    EXPECT_EQ(le16(page.data() + 24), 3);
    auto back = parseIndexLeaf(page.data(), 4096, 7);
    ASSERT_TRUE(back.isOk());
    EXPECT_EQ(back->entries, big.entries);
    // Spread keys share only the 7F flag byte: 460 of them need 9 + 459 * 8 bytes.
    IndexLeaf random;
    for (uint32_t i = 0; i < 460; ++i)
        insertIndexEntry(random, entry(static_cast<int32_t>(i * 2654435761u), 0), false);
    EXPECT_EQ(writeIndexLeaf(random, page.data(), 4096, 7).code(), Status::Code::kNotSupported);
}

// A pager over memory: page 1 holds the global map (row 0) and a zero row 1 of `row1_len`
// bytes, page 2 two empty 69-byte table maps; the file starts with `pages` pages, all used.
// The global map is inline (69 bytes from page 0) or a reference map whose slot 0 is the
// bitmap page 3.
struct MapFixture {
    std::shared_ptr<writer_test::MemFileState> state =
        std::make_shared<writer_test::MemFileState>();
    std::unique_ptr<Pager> pager;
    std::unique_ptr<PageAllocator> alloc;

    explicit MapFixture(uint32_t pages = 3, size_t row1_len = 69, bool reference = false) {
        state->bytes.assign(size_t{pages} * 4096, 0);
        pager = std::make_unique<Pager>(std::make_unique<writer_test::MemFile>(state), 4096, 0);
        Bytes8 global(69, 0);
        if (reference) {
            global[0] = kReferenceMap;
            put32(global.data() + 1, 3);
            auto p3 = pager->write(3);
            initBitmapPage(**p3, true);
            for (uint32_t p = 0; p < pages; ++p)
                putMapBit((*p3)->data() + kBitmapPageHeader, p, false);
        } else {
            std::memset(global.data() + 5, 0xFF, 64);
            for (uint32_t p = 0; p < pages; ++p)
                putMapBit(global.data() + 5, p, false);
        }
        {
            auto p1 = pager->write(1);
            DataPageView v{(*p1)->data(), 4096, 1};
            v.init(1);
            EXPECT_TRUE(v.appendRow(global.data(), global.size()).isOk());
            Bytes8 zero(row1_len, 0);
            EXPECT_TRUE(v.appendRow(zero.data(), zero.size()).isOk());
        }
        {
            auto p2 = pager->write(2);
            DataPageView v{(*p2)->data(), 4096, 2};
            v.init(0);
            Bytes8 zero(69, 0);
            EXPECT_TRUE(v.appendRow(zero.data(), zero.size()).isOk());
            EXPECT_TRUE(v.appendRow(zero.data(), zero.size()).isOk());
        }
        alloc = std::make_unique<PageAllocator>(*pager);
    }
    GlobalMap::PageState global(uint32_t page) { return *alloc->global().state(page); }
    Bytes8 row(uint32_t page, uint8_t r) {
        auto p = pager->read(page);
        DataPageView v{const_cast<uint8_t*>((*p)->data()), 4096, page};
        auto slot = *v.offsets()->slot(r);
        return Bytes8((*p)->data() + slot.start, (*p)->data() + slot.end);
    }
    // What must hold at any size: no page of the file is called free.
    void expectNoPageOfTheFileFree() {
        for (uint32_t p = 0; p < pager->pageCount(); ++p)
            ASSERT_NE(global(p), GlobalMap::PageState::kFree) << "page " << p;
    }
};

using PageState = GlobalMap::PageState;

TEST(UsageMap, GlobalMapGrowsInPlaceAndTableMapBecomesAReferenceMap) {
    MapFixture f;
    const RowPointer owned{2, 0};
    std::vector<uint32_t> pages;
    for (int i = 0; i < 600; ++i) {
        auto n = f.alloc->allocate();
        ASSERT_TRUE(n.isOk()) << n.status().toString();
        pages.push_back(*n);
        ASSERT_TRUE(f.alloc->maps().set(owned, *n, true).isOk());
    }
    EXPECT_EQ(pages.front(), 3u);
    EXPECT_EQ(pages.back(), 603u);
    // When page 512 did not fit the 512-page window of the table map, the map turned into a
    // reference map; its bitmap page was allocated (and marked used) like any other page.
    const Bytes8 map = f.row(2, 0);
    ASSERT_EQ(map.size(), 69u);
    EXPECT_EQ(map[0], 0x01);
    const uint32_t bitmap_page = le32(map.data() + 1);
    EXPECT_EQ(bitmap_page, 513u);
    EXPECT_EQ(std::count(pages.begin(), pages.end(), 513u), 0);
    EXPECT_EQ((*f.pager->read(bitmap_page))->data()[0], kPageUsageBitmap);
    auto listed = f.alloc->maps().listed(owned, f.pager->pageCount());
    ASSERT_TRUE(listed.isOk());
    EXPECT_EQ(*listed, pages);
    // The global map grew by Access's 4-byte steps to cover the file (604 pages: 76 bytes),
    // moving row 1 down unchanged.
    EXPECT_EQ(f.row(1, 0).size(), 5u + 76u);
    EXPECT_EQ(f.row(1, 1), Bytes8(69, 0));
    f.expectNoPageOfTheFileFree();
    for (uint32_t p : {604u, 607u})
        EXPECT_EQ(f.global(p), PageState::kFree) << p;
    EXPECT_EQ(f.global(608), PageState::kOutside);
}

TEST(UsageMap, InlineWindowMovesWhenAllListedPagesFit) {
    MapFixture f;
    const RowPointer free_map{2, 1};
    ASSERT_TRUE(f.alloc->maps().set(free_map, 10, true).isOk());
    ASSERT_TRUE(f.alloc->maps().set(free_map, 10, false).isOk());
    ASSERT_TRUE(f.alloc->maps().set(free_map, 700, true).isOk());
    const Bytes8 map = f.row(2, 1);
    EXPECT_EQ(map[0], 0x00);
    EXPECT_EQ(le32(map.data() + 1), 696u);  // start stays a multiple of 8
    EXPECT_TRUE(*f.alloc->maps().test(free_map, 700));
    EXPECT_FALSE(*f.alloc->maps().test(free_map, 10));
    EXPECT_EQ(*f.alloc->maps().listed(free_map, 100000), std::vector<uint32_t>{700});
    // Clearing a page outside the window changes nothing.
    ASSERT_TRUE(f.alloc->maps().set(free_map, 5, false).isOk());
    EXPECT_EQ(f.row(2, 1), map);
}

TEST(UsageMap, GlobalWindowMovesForwardOncePage1IsFull) {
    // Row 1 leaves room for 100 more bitmap bytes: the row grows to 164 bytes (1,312 pages),
    // then its window moves along with the end of the file.
    MapFixture f(3, 4096 - 14 - 4 - 69 - 100);
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(f.alloc->allocate().isOk());
    const Bytes8 global = f.row(1, 0);
    ASSERT_EQ(global.size(), 5u + 164u);
    const uint32_t start = le32(global.data() + 1);
    EXPECT_EQ(start % 8, 0u);
    // Each time the file passed the window's end (pages 1,312, 1,968, 2,624) that page went
    // to the window's middle.
    EXPECT_EQ(start, 2624u - 656u);
    f.expectNoPageOfTheFileFree();
    EXPECT_EQ(f.global(start - 1), PageState::kOutside);
    EXPECT_EQ(f.global(start), PageState::kUsed);
    EXPECT_EQ(f.global(3002), PageState::kUsed);
    EXPECT_EQ(f.global(3003), PageState::kFree);
    EXPECT_EQ(f.global(start + 1311), PageState::kFree);
}

TEST(UsageMap, GlobalReferenceMapTakesABitmapPageForEachNewRange) {
    // 32,730 pages: slot 0 of the map covers pages 0..32,735.
    MapFixture f(32730, 69, true);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(f.alloc->allocate().isOk());
    // Page 32,736 opened slot 1; its bitmap page came next, so data went on at 32,738.
    const Bytes8 global = f.row(1, 0);
    EXPECT_EQ(le32(global.data() + 1), 3u);
    EXPECT_EQ(le32(global.data() + 5), 32737u);
    EXPECT_EQ((*f.pager->read(32737))->data()[0], kPageUsageBitmap);
    EXPECT_EQ(f.pager->pageCount(), 32741u);
    f.expectNoPageOfTheFileFree();
    EXPECT_EQ(f.global(32741), PageState::kFree);
    EXPECT_EQ(f.global(2 * 32736), PageState::kOutside);
}

TEST(UsageMap, TheSizeLimitStopsAllocationAndIsCheckedAhead) {
    setPageLimitForTesting(600);
    MapFixture f;
    setPageLimitForTesting(0);
    EXPECT_TRUE(f.alloc->checkRoom(500, 4).isOk());
    const Status ahead = f.alloc->checkRoom(590, 4);
    EXPECT_EQ(ahead.code(), Status::Code::kTooLarge);
    EXPECT_EQ(ahead.message(), "the database would exceed the 2 GB limit of the file format");
    Status st;
    while (st.isOk())
        st = f.alloc->allocate().status();
    EXPECT_EQ(st.code(), Status::Code::kTooLarge);
    EXPECT_EQ(f.pager->pageCount(), 600u);
    f.expectNoPageOfTheFileFree();
}

// The worked example of a catalog row: MSysObjects row "Tables" of adox_jet4.mdb.
TEST(RowPacker, PacksTheEngineCatalogRowExactly) {
    const TableDef def = msysObjectsDef(1033);
    const Bytes8 date_bytes = hex("4e fb d3 3b 3e ab e4 40");
    std::vector<PackedCell> cells(def.columns.size());
    auto set = [&](int col, Bytes8 b) { cells[col] = PackedCell{true, std::move(b)}; };
    set(0, hex("01 00 00 0f"));
    set(1, hex("00 00 00 0f"));
    set(2, hex("54 00 61 00 62 00 6c 00 65 00 73 00"));
    set(3, hex("03 00"));
    set(4, date_bytes);
    set(5, date_bytes);
    set(6, hex("65 89"));
    set(7, hex("00 00 00 80"));
    auto row = packJet4Row(def, cells, 4060);
    ASSERT_TRUE(row.isOk()) << row.status().toString();
    EXPECT_EQ(*row,
              hex("11 00 01 00 00 0f 00 00 00 0f 03 00 4e fb d3 3b 3e ab e4 40 4e fb d3 3b 3e ab "
                  "e4 40 00 00 00 80 54 00 61 00 62 00 6c 00 65 00 73 00 65 89 2e 00 2e 00 2e 00 "
                  "2e 00 2e 00 2e 00 2e 00 2e 00 2e 00 2e 00 2c 00 20 00 0b 00 ff 00 00"));
}

TEST(RowPacker, FixedOnlyRowsHaveNoOffsetTableAndKeepTheirFixedArea) {
    TableDef def;
    def.max_cols = 3;
    ColumnDef a;
    a.name = "a";
    a.type = ColumnType::kLong;
    a.flags = 0x03;
    a.length = 4;
    ColumnDef b = a;
    b.name = "b";
    b.number = 1;
    b.type = ColumnType::kBoolean;
    b.length = 1;
    ColumnDef c = a;
    c.name = "c";
    c.number = 2;
    c.type = ColumnType::kDouble;
    c.fixed_offset = 4;
    c.length = 8;
    def.columns = {a, b, c};
    auto row = packJet4Row(def, {{false, {}}, {true, {}}, {false, {}}}, 4060);
    ASSERT_TRUE(row.isOk());
    // count, 12 bytes of fixed area even though both values are NULL, mask with the boolean.
    EXPECT_EQ(*row, hex("03 00 00 00 00 00 00 00 00 00 00 00 00 00 02"));
}

TEST(RowPacker, RefusesRowsLongerThanAccessAccepts) {
    TableDef def;
    def.max_cols = 1;
    def.num_var_cols = 1;
    ColumnDef t;
    t.name = "t";
    t.type = ColumnType::kBinary;
    t.flags = 0x02;
    t.length = 4096;
    def.columns = {t};
    // 2 count + n data + 2 eod + 2 offset + 2 V + 1 mask.
    EXPECT_TRUE(packJet4Row(def, {{true, Bytes8(4051, 1)}}, 4060).isOk());
    Status st = packJet4Row(def, {{true, Bytes8(4052, 1)}}, 4060).status();
    EXPECT_EQ(st.code(), Status::Code::kInvalidArgument);
    EXPECT_NE(st.message().find("4061"), std::string::npos) << st.message();
}

ColumnDef column(ColumnType t, uint16_t length = 0, uint8_t ext = 0) {
    ColumnDef c;
    c.name = "col";
    c.type = t;
    c.length = length;
    c.ext_flags = ext;
    c.flags = 0x02;
    return c;
}

TEST(ValueEncoder, CompressesTextOnlyWhereAccessDoes) {
    EXPECT_EQ(encodeJet4Text(u"abc", true), hex("ff fe 61 62 63"));
    EXPECT_EQ(encodeJet4Text(u"abc", false), hex("61 00 62 00 63 00"));
    EXPECT_EQ(encodeJet4Text(u"ab", true), hex("61 00 62 00"));  // too short to pay off
    EXPECT_EQ(encodeJet4Text(u"caf\u00e9", true), hex("ff fe 63 61 66 e9"));
    // Persian letters and the zero-width non-joiner are outside U+0001..U+00FF.
    EXPECT_EQ(encodeJet4Text(u"\u0645\u200c\u0627", true), hex("45 06 0c 20 27 06"));
    EXPECT_EQ(encodeJet4Text(std::u16string(u"a\0b", 3), true), hex("61 00 00 00 62 00"));
    // Plain bytes FF FE would read as the mark of compressed text.
    for (bool compression : {true, false}) {
        const Bytes8 marked = encodeJet4Text(u"\uFEFFab", compression);
        EXPECT_EQ(marked, hex("ff fe 00 ff fe 61 00 62 00"));
        EXPECT_EQ(decodeJet4Text(marked.data(), marked.size()), u"\uFEFFab");
    }
    EXPECT_EQ(encodeJet4Text(std::u16string(1024, u'x'), true).size(), 1026u);
    EXPECT_EQ(encodeJet4Text(std::u16string(1025, u'x'), true).size(), 2050u);
}

TEST(ValueEncoder, AcceptsExactConversionsOnly) {
    auto ok = [](ColumnType t, const Value& v) { return encodeValue(column(t), v, false).isOk(); };
    auto code = [](ColumnType t, const Value& v) {
        return encodeValue(column(t), v, false).status().code();
    };
    EXPECT_TRUE(ok(ColumnType::kByte, uint8_t{255}));
    EXPECT_TRUE(ok(ColumnType::kByte, int32_t{200}));
    EXPECT_EQ(code(ColumnType::kByte, int16_t{256}), Status::Code::kInvalidArgument);
    EXPECT_EQ(code(ColumnType::kByte, int16_t{-1}), Status::Code::kInvalidArgument);
    EXPECT_TRUE(ok(ColumnType::kInt, int32_t{-32768}));
    EXPECT_EQ(code(ColumnType::kInt, int32_t{32768}), Status::Code::kInvalidArgument);
    EXPECT_TRUE(ok(ColumnType::kLong, int16_t{-5}));
    EXPECT_EQ(code(ColumnType::kLong, 1.0), Status::Code::kInvalidArgument);
    EXPECT_TRUE(ok(ColumnType::kFloat, 0.5));
    EXPECT_EQ(code(ColumnType::kFloat, 0.1), Status::Code::kInvalidArgument);
    EXPECT_EQ(code(ColumnType::kFloat, int32_t{16777217}), Status::Code::kInvalidArgument);
    EXPECT_TRUE(ok(ColumnType::kDouble, 0.1f));
    EXPECT_TRUE(ok(ColumnType::kMoney, int32_t{12}));
    EXPECT_EQ(code(ColumnType::kMoney, 12.5), Status::Code::kInvalidArgument);
    EXPECT_EQ(code(ColumnType::kDateTime, 45000.0), Status::Code::kInvalidArgument);
    EXPECT_EQ(code(ColumnType::kText, int32_t{1}), Status::Code::kInvalidArgument);
    EXPECT_EQ(code(ColumnType::kOle, std::u16string(u"x")), Status::Code::kInvalidArgument);
    EXPECT_EQ(code(ColumnType::kUnknown0D, Bytes{1}), Status::Code::kNotSupported);

    auto money = encodeValue(column(ColumnType::kMoney), Money{123400}, false);
    EXPECT_EQ(money->bytes, hex("08 e2 01 00 00 00 00 00"));
}

TEST(ValueEncoder, TextLengthNullsAndBooleans) {
    const ColumnDef text =
        column(ColumnType::kText, 10, ColumnDef::kExtCompressedUnicode);  // 5 chars
    EXPECT_TRUE(encodeValue(text, std::u16string(u"12345"), false).isOk());
    Status st = encodeValue(text, std::u16string(u"123456"), false).status();
    EXPECT_EQ(st.code(), Status::Code::kInvalidArgument);
    EXPECT_NE(st.message().find("col"), std::string::npos);
    EXPECT_NE(st.message().find("at most 5"), std::string::npos);
    // A character outside the BMP counts as two, as Access counts UTF-16 units.
    EXPECT_FALSE(encodeValue(text, std::u16string(u"1234\U0001F600"), false).isOk());

    EXPECT_FALSE(encodeValue(text, Null{}, false)->present);
    EXPECT_EQ(encodeValue(text, Null{}, true).status().code(), Status::Code::kInvalidArgument);
    auto empty = encodeValue(text, std::u16string(), true);
    ASSERT_TRUE(empty.isOk());
    EXPECT_TRUE(empty->present);
    EXPECT_TRUE(empty->bytes.empty());

    const ColumnDef flag = column(ColumnType::kBoolean, 1);
    EXPECT_TRUE(encodeValue(flag, true, true)->present);
    EXPECT_FALSE(encodeValue(flag, Null{}, true)->present);  // Jet booleans have no NULL
}

// Text given as another file stores it is kept only in the form the encoder itself writes,
// and comes out exactly as decoding and encoding it again would.
TEST(ValueEncoder, StoredTextIsKeptOnlyInTheEncodersOwnForm) {
    struct Case {
        const char* stored;
        bool compression;
        bool own;
    } cases[] = {
        {"", true, true},
        {"ff fe 61 62 63", true, true},
        {"ff fe 61 62 63", false, false},          // a column without compression
        {"ff fe 61 62", true, false},              // too short to be compressed
        {"ff fe 61 00 45 06 00 62", true, false},  // mode switches
        {"61 00 62 00 63 00", true, false},        // compressible, stored plain
        {"61 00 62 00 63 00", false, true},
        {"61 00 62 00", true, true},
        {"45 06 0c 20 27 06", true, true},
        {"45 06 0c 20 27", true, false},  // an odd last byte
    };
    const ColumnDef memo = column(ColumnType::kMemo, 0, ColumnDef::kExtCompressedUnicode);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        const Bytes8 stored = hex(c.stored);
        const Value given = Bytes(stored);  // the encoder may keep pointing into it
        size_t chars = 0;
        EXPECT_EQ(isEncodedJet4Text(stored.data(), stored.size(), c.compression, chars), c.own);
        const std::u16string text = decodeJet4Text(stored.data(), stored.size());
        ColumnDef col = column(ColumnType::kText, 20, c.compression ? 1 : 0);
        for (const ColumnDef* target : {static_cast<const ColumnDef*>(&col), &memo}) {
            EncodedValue out;
            size_t n = 99;
            ASSERT_TRUE(encodeValueInto(*target, given, false, out, true, &n).isOk());
            EXPECT_EQ(Bytes8(out.data(), out.data() + out.size()),
                      encodeJet4Text(text, target->ext_flags != 0));
            EXPECT_EQ(n, text.size());
            EXPECT_EQ(out.long_value, target == &memo);
        }
    }
    // Checked like the text: a column of 2 characters refuses 3.
    EncodedValue out;
    EXPECT_EQ(encodeValueInto(column(ColumnType::kText, 4, 1), Bytes(hex("ff fe 61 62 63")), false,
                              out, true)
                  .code(),
              Status::Code::kInvalidArgument);
    EXPECT_EQ(
        encodeValue(column(ColumnType::kText, 20), Bytes(hex("61 00")), false).status().code(),
        Status::Code::kInvalidArgument);  // Bytes are text only where asked for
}

TEST(Names, FollowAccessRules) {
    EXPECT_TRUE(checkObjectName("Table_User", "table name").isOk());
    EXPECT_TRUE(checkObjectName("\xD9\x85\xD8\xB4\xD8\xAA\xD8\xB1\xDB\x8C", "table name").isOk());
    EXPECT_TRUE(checkObjectName(std::string(64, 'x'), "table name").isOk());
    for (const std::string& bad :
         {std::string(), std::string(65, 'x'), std::string(" lead"), std::string("a.b"),
          std::string("a!b"), std::string("a`b"), std::string("a[b"), std::string("a]b"),
          std::string("a\tb"), std::string("\xFF\xFE")}) {
        Status st = checkObjectName(bad, "column name");
        EXPECT_EQ(st.code(), Status::Code::kInvalidArgument) << bad;
        EXPECT_NE(st.message().find("column name"), std::string::npos);
    }
    EXPECT_TRUE(sameObjectName(u"Table_User", u"TABLE_USER"));
    EXPECT_FALSE(sameObjectName(u"Table_User", u"Table_Users"));
}

TEST(Properties, RequiredRoundTripsAndAccessBlobsParse) {
    const auto blob = buildRequiredProperties({u"UserName", u"\u0646\u0627\u0645"});
    auto rules = parseColumnRules(blob);
    ASSERT_TRUE(rules.isOk()) << rules.status().toString();
    EXPECT_EQ(rules->size(), 2u);
    EXPECT_TRUE((*rules)[u"UserName"].required);
    EXPECT_TRUE((*rules)[u"\u0646\u0627\u0645"].allow_zero_length);
    EXPECT_TRUE(buildRequiredProperties({}).empty());
    // Damaged blobs are errors, not crashes.
    for (size_t cut = 1; cut < blob.size(); cut += 3) {
        Bytes8 broken(blob.begin(), blob.begin() + cut);
        broken.push_back(0xFF);
        auto r = parseColumnRules(broken);
        if (!r.isOk()) {
            EXPECT_EQ(r.status().code(), Status::Code::kCorrupt);
        }
    }

    // Access's own blob: every column of "users" in fixedTextTestV2000.mdb is Required.
    const std::string dir = testing_support::testdataDir();
    if (dir.empty())
        GTEST_SKIP() << "VKDC_TESTDATA_DIR is not set; the Jet corpus is needed";
    auto file = openFileReadOnly(dir + "/files/jackcess-V2000-fixedTextTestV2000.mdb");
    ASSERT_TRUE(file.isOk());
    Pager pager(std::move(file).value(), 4096, 0);
    std::vector<uint8_t> p0 = (*pager.read(0))->bytes;
    auto header = parseHeader(p0.data(), p0.size());
    toggleHeaderMask(JetVersion::kJet4, p0.data());
    PageAllocator alloc(pager);
    auto catalog = Catalog::load(alloc, *header, sidMaskKey(p0.data()));
    ASSERT_TRUE(catalog.isOk()) << catalog.status().toString();
    const CatalogObject* users = (*catalog)->findTable(u"users");
    ASSERT_TRUE(users);
    auto access_rules = (*catalog)->columnRules(*users);
    ASSERT_TRUE(access_rules.isOk()) << access_rules.status().toString();
    EXPECT_EQ(access_rules->size(), 10u);
    for (const auto& [name, r] : *access_rules)
        EXPECT_TRUE(r.required) << toUtf8(name);
}

// Evicted pages lend their buffers to the next ones read, but never a page a reader holds.
TEST(Pager, ReusesEvictedPagesButNeverOneAReaderHolds) {
    auto state = std::make_shared<writer_test::MemFileState>();
    for (uint8_t k = 0; k < 64; ++k)
        state->bytes.insert(state->bytes.end(), 4096, k);
    Pager pager(std::make_unique<writer_test::MemFile>(state), 4096, 0, 8);
    PageRef held = *pager.read(5);
    (**pager.write(3)).data()[9] = 0xEE;  // written out when evicted
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t n = 0; n < 64; ++n) {
            auto page = pager.read(n);
            ASSERT_TRUE(page.isOk());
            ASSERT_EQ((*page)->number, n);
            ASSERT_EQ(std::count((*page)->bytes.begin(), (*page)->bytes.end(), n),
                      n == 3 ? 4095 : 4096)
                << "page " << n;
        }
        EXPECT_LE(pager.cachedPages(), 8u);
    }
    EXPECT_EQ(std::count(held->bytes.begin(), held->bytes.end(), 5), 4096);
    EXPECT_EQ((*pager.read(3))->data()[9], 0xEE);
    EXPECT_FALSE(pager.read(64).isOk());
    auto added = pager.allocate();
    ASSERT_TRUE(added.isOk());
    EXPECT_EQ(std::count((*added)->bytes.begin(), (*added)->bytes.end(), 0), 4096);
}

TEST(DataPage, StopsAt255RowsAndAtTheLastFreeByte) {
    std::vector<uint8_t> page(4096);
    DataPageView v{page.data(), 4096, 9};
    v.init(2);
    EXPECT_EQ(*v.freeSpace(), 4082u);
    uint8_t tiny = 7;
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(v.appendRow(&tiny, 1).isOk());
    EXPECT_FALSE(*v.fits(1));
    EXPECT_EQ(le16(page.data() + 2), 4082 - 255 * 3);

    v.init(2);
    Bytes8 big(4080, 1);
    EXPECT_TRUE(*v.fits(4080));
    EXPECT_FALSE(*v.fits(4081));
    ASSERT_TRUE(v.appendRow(big.data(), big.size()).isOk());
    EXPECT_EQ(*v.freeSpace(), 0u);
    EXPECT_EQ(le16(page.data() + 2), 0);
}

TEST(DataPage, RowOffsetsReadJet3AndJet4Pages) {
    for (const Format* f : {&jet3Format(), &jet4Format()}) {
        SCOPED_TRACE(f->page_size);
        const uint32_t ps = f->page_size;
        Bytes8 page(ps, 0);
        const uint16_t entries[] = {static_cast<uint16_t>(ps - 10),
                                    static_cast<uint16_t>((ps - 15) | kRowDeleted),
                                    static_cast<uint16_t>((ps - 20) | kRowOverflow)};
        put16(page.data() + f->data_row_count, 3);
        for (int i = 0; i < 3; ++i)
            put16(page.data() + f->data_row_table + 2 * i, entries[i]);
        auto rows = RowOffsets::read(page.data(), *f, 7);
        ASSERT_TRUE(rows.isOk());
        EXPECT_EQ(rows->tableEnd(), f->data_row_table + 6);
        EXPECT_EQ(rows->liveCount(), 2u);
        EXPECT_EQ(*rows->lowestStart(), ps - 20);
        const RowSlot s0 = *rows->slot(0), s1 = *rows->slot(1), s2 = *rows->slot(2);
        EXPECT_EQ(std::make_pair(s0.start, s0.end), std::make_pair(ps - 10, ps));
        EXPECT_TRUE(s1.deleted() && !s1.overflow() && s1.size() == 5);
        EXPECT_TRUE(s2.overflow() && !s2.deleted() && s2.size() == 5);
        EXPECT_FALSE(rows->slot(3).isOk());
        // A row starting inside the offset table, and a count the page cannot hold.
        put16(page.data() + f->data_row_table + 4, static_cast<uint16_t>(f->data_row_table));
        EXPECT_FALSE(RowOffsets::read(page.data(), *f, 7)->slot(2).isOk());
        EXPECT_FALSE(RowOffsets::read(page.data(), *f, 7)->lowestStart().isOk());
        put16(page.data() + f->data_row_count, static_cast<uint16_t>(ps / 2));
        EXPECT_FALSE(RowOffsets::read(page.data(), *f, 7).isOk());
    }
}

TEST(UsageMap, PagesNameTheBitmapPagesOfAReferenceMapAndRefuseOneNamedTwice) {
    MapFixture f(4, 69, true);
    auto pages = UsageMapPages::open(*f.pager, jet4Format(), GlobalMap::kRow);
    ASSERT_TRUE(pages.isOk());
    EXPECT_TRUE(pages->reference());
    EXPECT_EQ(pages->bitmapPages()[0], 3u);
    auto row = loadMapRow(*f.pager, GlobalMap::kRow, true);
    put32(row->bytes() + 5, 3);
    EXPECT_FALSE(UsageMapPages::open(*f.pager, jet4Format(), GlobalMap::kRow).isOk());
}

}  // namespace
}  // namespace jet
