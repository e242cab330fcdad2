#include "jet/integrity_check.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/long_value_ledger.h"
#include "jet/map_row.h"
#include "jet/tdef_check.h"

namespace jet {
namespace {

using Area = Finding::Area;

constexpr uint32_t kCatalogPage = 2;
constexpr int16_t kTypeTable = 1;
constexpr uint32_t kSystemObject = 0x80000000;  // catalog flag
constexpr uint8_t kUserTable = 'N';
constexpr uint8_t kSystemTable = 'S';

// What a page is for, as the table definitions and usage maps say.
enum class Use : uint8_t { kNone, kHeader, kMapRows, kBitmap, kTdef, kData, kLongValue, kIndex };

const char* useName(Use u) {
    switch (u) {
        case Use::kNone:
            return "nothing";
        case Use::kHeader:
            return "the file header";
        case Use::kMapRows:
            return "usage map rows";
        case Use::kBitmap:
            return "a usage bitmap";
        case Use::kTdef:
            return "the definition";
        case Use::kData:
            return "the rows";
        case Use::kLongValue:
            return "the long values";
        case Use::kIndex:
            return "an index";
    }
    return "?";
}

// One claim per page in 4 bytes: the table (28 bits) and the use (4 bits).
constexpr uint32_t kNoTable = (1u << 28) - 1;
uint32_t claimOf(uint32_t table, Use use) {
    return table << 4 | static_cast<uint32_t>(use);
}
Use useOf(uint32_t claim) {
    return static_cast<Use>(claim & 0xF);
}
uint32_t tableOf(uint32_t claim) {
    return claim >> 4;
}

// A data page's hash and number in 8 bytes: 40 bits of hash, 24 of page (the pager reads no
// further). Equal hashes are then compared byte for byte.
uint64_t hashedPage(const uint8_t* p, size_t n, uint32_t page) {
    // Four lanes, so the multiplications overlap.
    uint64_t h[4] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, n};
    for (size_t i = 0; i + 32 <= n; i += 32) {
        for (int k = 0; k < 4; ++k) {
            uint64_t w;
            std::memcpy(&w, p + i + 8 * k, 8);
            h[k] = (h[k] ^ w) * 0xBF58476D1CE4E5B9ull;
            h[k] ^= h[k] >> 29;
        }
    }
    const uint64_t all =
        (h[0] ^ (h[1] * 31) ^ (h[2] * 961) ^ (h[3] * 29791)) * 0x94D049BB133111EBull;
    return (all << 24) | (page & 0xFFFFFF);
}
uint32_t pageOfHash(uint64_t v) {
    return static_cast<uint32_t>(v & 0xFFFFFF);
}

std::string str(uint64_t n) {
    return std::to_string(n);
}

// The pages a usage map lists, as far as they are in the file.
struct MapListing {
    std::vector<uint32_t> pages;       // ascending
    std::vector<uint32_t> bitmaps;     // the bitmap pages of a reference map
    std::optional<uint32_t> past_end;  // the first listed page past the end of the file
};

class Checker {
  public:
    Checker(Database& db, IntegrityReport& out)
        : db_(db),
          pager_(db.pager()),
          f_(db.format()),
          out_(out),
          claims_(pager_.pageCount(), claimOf(kNoTable, Use::kNone)) {}

    Status run() {
        out_.pages = pager_.pageCount();
        claim(0, kNoTable, Use::kHeader, "the file header");
        claim(1, kNoTable, Use::kMapRows, "the global usage map");
        JET_RETURN_IF_ERROR(readCatalog());
        out_.tables = static_cast<uint32_t>(tables_.size());
        for (uint32_t t = 0; t < tables_.size(); ++t)
            claimPagesOf(t);
        globalMap();
        JET_RETURN_IF_ERROR(scan());
        JET_RETURN_IF_ERROR(duplicates());
        longValues();
        rowCounts();
        return Status::ok();
    }

  private:
    struct Table {
        std::string name;
        TableDef def;
        bool has_long_values = false;
        std::vector<size_t> long_value_columns{};  // RowDecoder::longValueColumns()
        bool counted = false;                      // its data pages are known
        uint64_t rows = 0;
    };

    // --- findings ---------------------------------------------------------------------------

    void note(Area area, Finding::Severity severity, std::vector<std::string> tables,
              std::optional<uint32_t> page, std::optional<uint32_t> row, std::string what) {
        Finding f{severity, area, std::move(tables), page, row, std::move(what)};
        if (f.isDamage()) {
            ++out_.damage;
            for (const std::string& t : f.tables)
                ++out_.damage_by_table[t];
        }
        // Row counts come last and are kept, at most one per table.
        if (out_.findings.size() < IntegrityReport::kMaxFindings || area == Area::kRowCount)
            out_.findings.push_back(std::move(f));
        else
            ++out_.omitted;
    }
    void damage(Area area, uint32_t table, std::optional<uint32_t> page,
                std::optional<uint32_t> row, std::string what) {
        std::vector<std::string> tables;
        if (table != kNoTable)
            tables.push_back(tables_[table].name);
        note(area, Finding::Severity::kDamage, std::move(tables), page, row, std::move(what));
    }

    // --- the catalog and the definitions ----------------------------------------------------

    struct Entry {
        uint32_t page;
        std::string name;
        uint32_t flags;
    };

    // Every table of the catalog, system tables included, each with its definition.
    Status readCatalog() {
        JET_ASSIGN_OR_RETURN(TableDef def, db_.tableDefAt(kCatalogPage));
        const char* names[] = {"Id", "Name", "Type", "Flags"};
        size_t idx[4];
        std::vector<bool> wanted(def.columns.size(), false);
        for (int k = 0; k < 4; ++k) {
            const ColumnDef* c = def.findColumn(names[k]);
            if (!c)
                return Status::corrupt(std::string("the system catalog has no column ") + names[k]);
            idx[k] = static_cast<size_t>(c - def.columns.data());
            wanted[idx[k]] = true;
        }
        JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, db_.usageMapPages(def.owned_map));
        RowCursor cursor(db_.decoder(), def, std::move(pages), std::move(wanted));
        std::vector<Entry> entries;
        std::vector<Value> v;
        while (true) {
            auto more = cursor.next(v);
            if (!more) {
                note(Area::kCatalog, Finding::Severity::kDamage, {"MSysObjects"}, std::nullopt,
                     std::nullopt,
                     "the catalog cannot be read to its end: " + more.status().message());
                break;
            }
            if (!*more)
                break;
            const auto* type = std::get_if<int16_t>(&v[idx[2]]);
            if (!type || *type != kTypeTable)
                continue;
            const auto* id = std::get_if<int32_t>(&v[idx[0]]);
            const auto* name = std::get_if<std::u16string>(&v[idx[1]]);
            const auto* flags = std::get_if<int32_t>(&v[idx[3]]);
            if (!id || !name) {
                note(Area::kCatalog, Finding::Severity::kDamage, {"MSysObjects"},
                     cursor.position().page, cursor.position().row,
                     "a table's catalog row has no Id or Name");
                continue;
            }
            entries.push_back({static_cast<uint32_t>(*id), toUtf8(*name),
                               flags ? static_cast<uint32_t>(*flags) : 0});
        }
        if (std::none_of(entries.begin(), entries.end(),
                         [](const Entry& e) { return e.page == kCatalogPage; }))
            entries.insert(entries.begin(), {kCatalogPage, "MSysObjects", kSystemObject});

        std::map<uint32_t, std::string> by_page;
        for (Entry& e : entries) {
            if (auto [it, fresh] = by_page.emplace(e.page, e.name); !fresh) {
                note(Area::kCatalog, Finding::Severity::kDamage, {it->second, e.name}, e.page,
                     std::nullopt, "the catalog gives both tables this definition");
                continue;
            }
            if (e.page < kCatalogPage || e.page >= pager_.pageCount()) {
                note(Area::kCatalog, Finding::Severity::kDamage, {e.name}, std::nullopt,
                     std::nullopt,
                     "the catalog puts its definition at page " + str(e.page) +
                         ", outside the file");
                continue;
            }
            auto tdef = db_.tableDefAt(e.page);
            if (!tdef) {
                note(Area::kCatalog, Finding::Severity::kDamage, {e.name}, e.page, std::nullopt,
                     "its definition cannot be read: " + tdef.status().message());
                continue;
            }
            tables_.push_back({std::move(e.name), std::move(*tdef)});
            checkDefinition(static_cast<uint32_t>(tables_.size() - 1), e.flags);
        }
        return Status::ok();
    }

    void checkDefinition(uint32_t ti, uint32_t catalog_flags) {
        Table& t = tables_[ti];
        const uint32_t page = t.def.tdef_page;
        // Access marks some hidden user tables as system objects, never the reverse.
        if (t.def.table_type != kUserTable &&
            (t.def.table_type != kSystemTable || !(catalog_flags & kSystemObject))) {
            damage(Area::kCatalog, ti, page, std::nullopt,
                   "its definition says table type " + str(t.def.table_type) +
                       ", which the catalog does not");
        }
        for (std::string& problem : checkTableDef(t.def, f_.version))
            damage(Area::kColumns, ti, page, std::nullopt, std::move(problem));
        for (const ColumnDef& c : t.def.columns)
            t.has_long_values = t.has_long_values || c.isLongValue();
        t.long_value_columns = RowDecoder::longValueColumns(t.def);
    }

    // --- usage maps -------------------------------------------------------------------------

    // Records that `page` is for `use` of `table`. A different second claim is damage; pages
    // of map rows are shared by many maps, and a table's long-value maps may share pages.
    void claim(uint32_t page, uint32_t table, Use use, const std::string& who) {
        if (page >= claims_.size())
            return;  // the map readers leave such pages out
        const uint32_t had = claims_[page];
        if (useOf(had) == Use::kNone) {
            claims_[page] = claimOf(table, use);
            return;
        }
        if (had == claimOf(table, use) || (useOf(had) == Use::kMapRows && use == Use::kMapRows))
            return;
        const uint32_t other = tableOf(had);
        std::vector<std::string> names;
        if (other != kNoTable)
            names.push_back(tables_[other].name);
        if (table != kNoTable && table != other)
            names.push_back(tables_[table].name);
        const std::string first = std::string(useName(useOf(had))) +
                                  (other == kNoTable ? "" : " of " + tables_[other].name);
        note(Area::kPages, Finding::Severity::kDamage, std::move(names), page, std::nullopt,
             "the page is listed for " + first + " and again for " + who);
    }

    Result<MapListing> readMap(RowPointer map) {
        JET_ASSIGN_OR_RETURN(UsageMapPages pages, UsageMapPages::open(pager_, f_, map));
        MapListing out;
        for (uint32_t bp : pages.bitmapPages())
            if (bp != 0)
                out.bitmaps.push_back(bp);
        for (uint32_t page = 0;;) {
            JET_ASSIGN_OR_RETURN(bool more, pages.next(page));
            if (!more)
                return out;
            // Ascending: the rest lie past the end too, and a damaged map may mark millions.
            if (page >= pager_.pageCount()) {
                out.past_end = page;
                return out;
            }
            out.pages.push_back(page);
        }
    }

    // The pages `map` lists, claiming its row's page and bitmap pages; nullopt (and damage)
    // when it cannot be read. Listed pages past the end of the file are damage, except in the
    // global map, which marks them free.
    std::optional<std::vector<uint32_t>> mapPages(RowPointer map, uint32_t table,
                                                  const std::string& who) {
        if (map.isNull())
            return std::vector<uint32_t>{};  // Access leaves some long-value maps out
        auto listing = readMap(map);
        if (!listing) {
            damage(Area::kPages, table, map.page, map.row, who + ": " + listing.status().message());
            return std::nullopt;
        }
        claim(map.page, kNoTable, Use::kMapRows, "usage map rows");
        for (uint32_t bp : listing->bitmaps) {
            claim(bp, table, Use::kBitmap,
                  "a usage bitmap" + (table == kNoTable ? "" : " of " + tables_[table].name));
        }
        if (listing->past_end && table != kNoTable) {
            damage(Area::kPages, table, map.page, map.row,
                   who + ": the map lists pages past the end of the file (" +
                       str(pager_.pageCount()) + " pages), from page " + str(*listing->past_end));
        }
        return std::move(listing->pages);
    }

    void claimPagesOf(uint32_t ti) {
        Table& t = tables_[ti];
        const TableDef& def = t.def;
        const std::string definition = "the definition of " + t.name;
        for (uint32_t p : def.tdef_pages)
            claim(p, ti, Use::kTdef, definition);
        if (auto pages = mapPages(def.owned_map, ti, "its data pages")) {
            t.counted = true;
            const std::string rows = "the rows of " + t.name;
            for (uint32_t p : *pages)
                claim(p, ti, Use::kData, rows);
        }
        // Free-space maps only steer where rows go next; their map rows are claimed.
        (void)mapPages(def.free_map, ti, "its pages with room");
        for (const LongValueMaps& m : def.long_value_maps) {
            std::string col = "column " + str(m.column_number);
            for (const ColumnDef& c : def.columns)
                if (c.number == m.column_number)
                    col = "column " + c.name;
            if (auto pages = mapPages(m.owned, ti, "the long values of " + col)) {
                const std::string values = "the long values of " + t.name;
                for (uint32_t p : *pages)
                    claim(p, ti, Use::kLongValue, values);
            }
            (void)mapPages(m.free, ti, "the long-value pages with room of " + col);
        }
        for (size_t i = 0; i < def.real_indexes.size(); ++i) {
            const std::string who = "index " + str(i);
            if (auto pages = mapPages(def.real_indexes[i].owned_map, ti, who)) {
                const std::string index = who + " of " + t.name;
                for (uint32_t p : *pages)
                    claim(p, ti, Use::kIndex, index);
            }
        }
    }

    // A page the global map calls free is the next an engine writes over. It names no table:
    // the rows on it still read.
    void globalMap() {
        auto free = mapPages(RowPointer{1, 0}, kNoTable, "the global usage map");
        for (uint32_t p : free.value_or(std::vector<uint32_t>{})) {
            const Use use = useOf(claims_[p]);
            if (use == Use::kNone)
                continue;
            const uint32_t ti = tableOf(claims_[p]);
            note(Area::kPages, Finding::Severity::kDamage, {}, p, std::nullopt,
                 std::string("the global usage map calls the page free, yet it holds ") +
                     useName(use) + (ti == kNoTable ? "" : " of " + tables_[ti].name));
        }
    }

    // --- the pages, in order ----------------------------------------------------------------

    Status scan() {
        for (uint32_t n = 0; n < claims_.size(); ++n) {
            JET_ASSIGN_OR_RETURN(PageRef page, pager_.read(n));
            const uint8_t* p = page->data();
            const Use use = useOf(claims_[n]);
            const uint32_t ti = tableOf(claims_[n]);
            const bool lval = p[0] == kPageData && le32(p + kDataPageOwner) == kLvalOwner;
            if (lval)
                longValuePage(n, p, use == Use::kLongValue ? ti : LongValueLedger::kUnlisted);
            if (use == Use::kData) {
                dataPage(n, page, ti);
            } else if (use == Use::kLongValue && !lval) {
                damage(Area::kPages, ti, n, std::nullopt,
                       "the page is in a long-value map but holds no long values");
            } else if (use == Use::kIndex && p[0] != kPageIndexNode && p[0] != kPageIndexLeaf) {
                damage(Area::kPages, ti, n, std::nullopt,
                       "the page is in an index's map but is no index page");
            } else if (use == Use::kBitmap && p[0] != kPageUsageBitmap) {
                damage(Area::kPages, ti, n, std::nullopt, "the page is no usage bitmap page");
            }
        }
        return Status::ok();
    }

    void dataPage(uint32_t n, const PageRef& page, uint32_t ti) {
        const uint8_t* p = page->data();
        Table& t = tables_[ti];
        if (p[0] != kPageData || le32(p + kDataPageOwner) != t.def.tdef_page) {
            damage(Area::kPages, ti, n, std::nullopt,
                   "the page is in the table's usage map but is not one of its data pages");
            return;
        }
        auto rows = RowOffsets::read(p, f_, n);
        if (!rows || rows->count() > kMaxRowsPerDataPage) {
            damage(Area::kPages, ti, n, std::nullopt, "its row-offset table does not fit the page");
            return;
        }
        // A page of one row, or of equal rows, may have a twin without damage: a table of
        // blank rows fills its pages alike.
        std::optional<RowSlot> first;
        bool distinct = false;
        for (uint32_t s = 0; s < rows->count(); ++s) {
            if (rows->entry(s) & kRowDeleted)
                continue;
            ++t.rows;
            auto row = rows->slot(s);
            if (!row) {
                if (t.has_long_values)
                    damage(Area::kLongValues, ti, n, s, row.status().message());
                continue;  // else the conversion reports the row
            }
            if (t.has_long_values) {
                rowLongValues(ti, RowPointer{n, static_cast<uint8_t>(s)},
                              RawRow{page, row->start, row->size()}, row->overflow());
            }
            if (distinct)
                continue;
            if (!first)
                first = *row;
            else
                distinct = row->size() != first->size() ||
                           std::memcmp(p + row->start, p + first->start, row->size()) != 0;
        }
        if (distinct)
            hashes_.push_back(hashedPage(p, f_.page_size, n));
    }

    // `raw` is the row's slot; an overflow row is followed to where its bytes lie.
    void rowLongValues(uint32_t ti, RowPointer at, RawRow raw, bool overflow) {
        Status st;
        if (overflow) {
            auto moved = db_.decoder().rowAt(at, true);
            st = moved.status();
            if (moved)
                raw = std::move(*moved);
        }
        if (st.isOk())
            st = db_.decoder().longValueFields(tables_[ti].def, tables_[ti].long_value_columns, raw,
                                               at, fields_);
        if (!st.isOk()) {
            damage(Area::kLongValues, ti, at.page, at.row, st.message());
            return;
        }
        for (const auto& field : fields_) {
            const auto problem = [&](const char* what) {
                damage(Area::kLongValues, ti, at.page, at.row,
                       "column " + tables_[ti].def.columns[field.column].name + ": " + what);
            };
            if (field.length < 12) {
                problem("its long-value header is cut short");
                continue;
            }
            const uint32_t head = le32(field.bytes);
            const uint32_t kind = head & 0xC0000000;
            if (kind == 0x80000000) {  // inline
                if ((head & 0x3FFFFFFF) > field.length - 12)
                    problem("its inline long value overruns the row");
            } else if (kind == 0x40000000 || kind == 0) {  // one row, or a chain of them
                ledger_.addPointer(RowPointer::decode(le32(field.bytes + 4)), kind == 0, at, ti,
                                   static_cast<uint32_t>(field.column));
            } else {
                problem("its long value is of an unknown kind");
            }
        }
    }

    void longValuePage(uint32_t n, const uint8_t* p, uint32_t table) {
        auto rows = RowOffsets::read(p, f_, n);
        if (!rows || rows->count() > kMaxRowsPerDataPage) {
            if (table != LongValueLedger::kUnlisted)
                damage(Area::kPages, table, n, std::nullopt,
                       "its row-offset table does not fit the page");
            return;
        }
        for (uint32_t s = 0; s < rows->count(); ++s) {
            auto row = rows->slot(s);
            if (!row || row->deleted())
                continue;  // a value lost here is missed by the rows that point to it
            const uint32_t next = row->size() >= 4 ? le32(p + row->start) : 0;
            ledger_.addValue(RowPointer{n, static_cast<uint8_t>(s)}, next, table);
        }
    }

    // --- after the scan ---------------------------------------------------------------------

    Status duplicates() {
        std::sort(hashes_.begin(), hashes_.end());
        for (size_t i = 0; i < hashes_.size();) {
            size_t j = i + 1;
            while (j < hashes_.size() && hashes_[j] >> 24 == hashes_[i] >> 24)
                ++j;
            for (size_t k = i + 1; k < j; ++k) {
                const uint32_t a = pageOfHash(hashes_[i]), b = pageOfHash(hashes_[k]);
                JET_ASSIGN_OR_RETURN(PageRef pa, pager_.read(a));
                JET_ASSIGN_OR_RETURN(PageRef pb, pager_.read(b));
                if (pa->bytes == pb->bytes) {
                    damage(Area::kPages, tableOf(claims_[b]), b, std::nullopt,
                           "the page repeats page " + str(a) +
                               " byte for byte: its rows are read twice, and the rows it held "
                               "are lost");
                }
            }
            i = j;
        }
        hashes_ = {};
        return Status::ok();
    }

    void longValues() {
        for (const auto& p : ledger_.match(f_.version == JetVersion::kJet4)) {
            damage(Area::kLongValues, p.table, p.from.page, p.from.row,
                   "column " + tables_[p.table].def.columns[p.column].name + ": " + p.what);
        }
    }

    // Fewer rows than declared means some are lost; more is a count Access did not keep.
    void rowCounts() {
        for (uint32_t ti = 0; ti < tables_.size(); ++ti) {
            const Table& t = tables_[ti];
            out_.rows += t.rows;
            if (!t.counted || t.rows == t.def.num_rows)
                continue;
            const std::string counts =
                "the table declares " + str(t.def.num_rows) + " rows and holds " + str(t.rows);
            if (t.rows > t.def.num_rows) {
                note(Area::kRowCount, Finding::Severity::kWarning, {t.name}, t.def.tdef_page,
                     std::nullopt, counts + " (a stale count; every row is read)");
            } else {
                damage(Area::kRowCount, ti, t.def.tdef_page, std::nullopt,
                       counts + ": rows are missing");
            }
        }
    }

    Database& db_;
    Pager& pager_;
    const Format& f_;
    IntegrityReport& out_;
    std::vector<uint32_t> claims_;  // per page: claimOf()
    std::vector<Table> tables_;
    std::vector<uint64_t> hashes_;  // hashedPage() of data pages of distinct rows
    LongValueLedger ledger_;
    std::vector<RowDecoder::LongValueField> fields_;
};

}  // namespace

const char* Finding::areaName() const {
    switch (area) {
        case Area::kCatalog:
            return "catalog";
        case Area::kColumns:
            return "columns";
        case Area::kPages:
            return "pages";
        case Area::kLongValues:
            return "long-values";
        case Area::kRowCount:
            return "row-count";
    }
    return "?";
}

std::string Finding::toString() const {
    std::string s;
    for (size_t i = 0; i < tables.size(); ++i)
        s += (i ? " and " : "") + tables[i];
    if (page) {
        s += (s.empty() ? "page " : ": page ") + std::to_string(*page);
        if (row)
            s += " row " + std::to_string(*row);
    }
    return s + (s.empty() ? "" : ": ") + what;
}

Result<IntegrityReport> checkIntegrity(Database& db) {
    IntegrityReport report;
    JET_RETURN_IF_ERROR(Checker(db, report).run());
    return report;
}

}  // namespace jet
