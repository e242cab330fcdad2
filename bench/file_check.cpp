#include "file_check.h"

#include <set>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/format.h"
#include "jet/global_map.h"
#include "jet/map_row.h"

namespace bench {
namespace {

constexpr size_t kMaxProblems = 40;
// How far past the end of the file the global map is looked at.
constexpr uint32_t kBeyondEnd = 40000;

class Checker {
  public:
    Checker(jet::Database& db, FileCheck& out)
        : db_(db), pager_(db.pager()), out_(out), claims_(pager_.pageCount()) {}

    void run() {
        out_.pages = pager_.pageCount();
        claim(0, "header", "the header");
        claim(1, "global map", "the global map");
        for (const auto& [tdef, name] : tables())
            table(tdef, name);
        for (uint32_t p : map_row_pages_)
            if (p < claims_.size() && claims_[p].kind.empty())
                claim(p, "map rows", "usage map rows");
        global();
        for (uint32_t p = 0; p < claims_.size(); ++p) {
            if (!claims_[p].kind.empty()) {
                ++out_.kinds[claims_[p].kind];
                continue;
            }
            ++out_.kinds["unclaimed"];
            auto page = pager_.read(p);
            problem("page " + std::to_string(p) + " (type " +
                    std::to_string(page.isOk() ? (*page)->data()[0] : -1) +
                    ") belongs to no table, map or index");
        }
    }

  private:
    struct Claim {
        std::string kind, who;
    };

    void problem(const std::string& s) {
        if (out_.problems.size() < kMaxProblems)
            out_.problems.push_back(s);
        else if (out_.problems.size() == kMaxProblems)
            out_.problems.push_back("... and more");
    }

    void claim(uint32_t p, const std::string& kind, const std::string& who) {
        if (p >= claims_.size()) {
            problem(who + " lists page " + std::to_string(p) + ", beyond the end of the file");
        } else if (!claims_[p].kind.empty()) {
            problem("page " + std::to_string(p) + " is claimed by " + claims_[p].who + " and by " +
                    who);
        } else {
            claims_[p] = {kind, who};
        }
    }

    // Every table of the catalog, system tables included: (TDEF page, name).
    std::vector<std::pair<uint32_t, std::string>> tables() {
        std::vector<std::pair<uint32_t, std::string>> out;
        auto cursor = db_.openTableAt(2);
        if (!cursor.isOk()) {
            problem("MSysObjects: " + cursor.status().toString());
            return out;
        }
        const jet::TableDef& def = (*cursor)->def();
        const size_t id = def.findColumn("Id") - def.columns.data();
        const size_t type = def.findColumn("Type") - def.columns.data();
        const size_t name = def.findColumn("Name") - def.columns.data();
        jet::Status st = (*cursor)->forEach([&](const std::vector<jet::Value>& row) {
            const auto* t = std::get_if<int16_t>(&row[type]);
            const auto* i = std::get_if<int32_t>(&row[id]);
            if (t && i && *t == 1)
                out.emplace_back(static_cast<uint32_t>(*i) & 0xFFFFFF,
                                 jet::toUtf8(std::get<std::u16string>(row[name])));
        });
        if (!st.isOk())
            problem("MSysObjects: " + st.toString());
        return out;
    }

    // The pages `map` lists; its map-row page and bitmap pages are noted as such.
    std::vector<uint32_t> mapPages(jet::RowPointer map, const std::string& who) {
        if (map.page != 1)
            map_row_pages_.insert(map.page);
        auto row = jet::loadMapRow(pager_, map, false);
        if (!row.isOk()) {
            problem(who + ": " + row.status().toString());
            return {};
        }
        if (row->type() == jet::kReferenceMap) {
            for (uint32_t s = 0; s < row->slotCount(); ++s)
                if (row->slotPage(s) != 0)
                    claim(row->slotPage(s), "bitmap pages", "a bitmap page of " + who);
        }
        auto pages = db_.usageMapPages(map);
        if (!pages.isOk()) {
            problem(who + ": " + pages.status().toString());
            return {};
        }
        return *pages;
    }

    // Owned pages must be data pages with `owner`; free pages must be owned and have room.
    void ownedAndFree(jet::RowPointer owned, jet::RowPointer free, uint32_t owner,
                      const std::string& kind, const std::string& who) {
        const std::vector<uint32_t> pages = mapPages(owned, who + " (owned map)");
        const std::set<uint32_t> own(pages.begin(), pages.end());
        for (uint32_t p : pages) {
            claim(p, kind, who);
            auto page = pager_.read(p);
            if (!page.isOk() || (*page)->data()[0] != jet::kPageData ||
                jet::le32((*page)->data() + 4) != owner)
                problem(who + ": page " + std::to_string(p) + " is not one of its data pages");
        }
        for (uint32_t p : mapPages(free, who + " (free-space map)")) {
            if (!own.count(p)) {
                problem(who + ": free-space map lists page " + std::to_string(p) +
                        ", which it does not own");
                continue;
            }
            auto page = pager_.read(p);
            jet::DataPageView v{const_cast<uint8_t*>((*page)->data()), pager_.pageSize(), p};
            auto room = v.freeSpace();
            if (!room.isOk() || *room == 0)
                problem(who + ": free-space map lists the full page " + std::to_string(p));
        }
    }

    void table(uint32_t tdef, const std::string& name) {
        auto def = db_.tableDefAt(tdef);
        if (!def.isOk()) {
            problem(name + ": " + def.status().toString());
            return;
        }
        for (uint32_t p : def->tdef_pages)
            claim(p, "table definitions", "the TDEF of " + name);
        ownedAndFree(def->owned_map, def->free_map, tdef, "table rows", name);
        for (const auto& m : def->long_value_maps) {
            std::string col = std::to_string(m.column_number);
            for (const auto& c : def->columns)
                if (c.number == m.column_number)
                    col = c.name;
            ownedAndFree(m.owned, m.free, jet::kLvalOwner, "long values", name + "." + col);
        }
        for (size_t i = 0; i < def->real_indexes.size(); ++i) {
            const auto& ri = def->real_indexes[i];
            const std::string who = name + " index " + std::to_string(i);
            bool root_listed = false;
            for (uint32_t p : mapPages(ri.owned_map, who)) {
                claim(p, "index pages", who);
                root_listed = root_listed || p == ri.root_page;
            }
            if (!root_listed)
                claim(ri.root_page, "index pages", who + " (root)");
        }
        uint64_t rows = 0;
        auto cursor = db_.openTableAt(tdef);
        jet::Status st = cursor.isOk()
                             ? (*cursor)->forEach([&](const std::vector<jet::Value>&) { ++rows; })
                             : cursor.status();
        if (!st.isOk())
            problem(name + ": " + st.toString());
        out_.rows[name] = rows;
        if (rows != def->num_rows)
            problem(name + ": the TDEF counts " + std::to_string(def->num_rows) + " rows, " +
                    std::to_string(rows) + " are there");
    }

    void global() {
        jet::GlobalMap map(pager_);
        auto row = jet::loadMapRow(pager_, jet::GlobalMap::kRow, false);
        if (!row.isOk()) {
            problem("global map: " + row.status().toString());
            return;
        }
        if (row->type() == jet::kInlineMap) {
            out_.global = "inline, " + std::to_string(row->len) + " bytes, pages " +
                          std::to_string(row->firstPage()) + " to " +
                          std::to_string(row->firstPage() + row->inlineBits() - 1);
        } else {
            out_.global = "reference, " + std::to_string(row->slotCount()) + " slots";
            for (uint32_t s = 0; s < row->slotCount(); ++s)
                if (row->slotPage(s) != 0)
                    claim(row->slotPage(s), "bitmap pages", "a bitmap page of the global map");
        }
        const uint32_t n = pager_.pageCount();
        uint64_t outside = 0;
        for (uint32_t p = 0; p < n + kBeyondEnd; ++p) {
            auto st = map.state(p);
            if (!st.isOk()) {
                problem("global map: " + st.status().toString());
                return;
            }
            if (p < n && *st == jet::GlobalMap::PageState::kFree)
                problem("the global map calls page " + std::to_string(p) + " free; it holds " +
                        (claims_[p].who.empty() ? "nothing known" : claims_[p].who));
            if (p >= n && *st == jet::GlobalMap::PageState::kUsed)
                problem("the global map calls page " + std::to_string(p) +
                        ", past the end of the file, used");
            outside += p < n && *st == jet::GlobalMap::PageState::kOutside;
        }
        out_.global += "; " + std::to_string(outside) + " pages of the file before its window";
    }

    jet::Database& db_;
    jet::Pager& pager_;
    FileCheck& out_;
    std::vector<Claim> claims_;
    std::set<uint32_t> map_row_pages_;
};

}  // namespace

FileCheck checkFile(const std::string& path, const std::u16string& password) {
    FileCheck out;
    jet::OpenOptions o;
    o.password = password;
    auto db = jet::Database::open(path, o);
    if (!db.isOk()) {
        out.problems.push_back(db.status().toString());
        return out;
    }
    Checker(**db, out).run();
    return out;
}

}  // namespace bench
