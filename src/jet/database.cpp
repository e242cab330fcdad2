#include "jet/database.h"

#include <algorithm>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/map_row.h"

namespace jet {
namespace {

constexpr uint32_t kCatalogPage = 2;
constexpr int32_t kDbParentId = 0x0F000000;
constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeLinkedOdbc = 4;
constexpr int16_t kTypeLinked = 6;
constexpr uint32_t kSystemFlags = 0x80000002;

std::string asUtf8(const Value& v) {
    if (auto* s = std::get_if<std::u16string>(&v))
        return toUtf8(*s);
    return {};
}
int32_t asInt(const Value& v) {
    if (auto* i = std::get_if<int32_t>(&v))
        return *i;
    if (auto* i = std::get_if<int16_t>(&v))
        return *i;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening

Database::Database(Header header, std::unique_ptr<Pager> pager)
    : header_(std::move(header)),
      pager_(std::move(pager)),
      decoder_(*pager_, header_.version, header_.code_page) {}

Result<std::unique_ptr<Database>> Database::open(const std::string& path,
                                                 const OpenOptions& options) {
    JET_ASSIGN_OR_RETURN(std::unique_ptr<File> file, openFileReadOnly(path));
    return open(std::move(file), options);
}

Result<std::unique_ptr<Database>> Database::open(std::unique_ptr<File> file,
                                                 const OpenOptions& options) {
    JET_ASSIGN_OR_RETURN(uint64_t size, file->size());
    if (size == 0)
        return Status::notJet("the file is empty");
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(size, 4096)));
    JET_RETURN_IF_ERROR(file->readAt(0, head.size(), head.data()));
    JET_ASSIGN_OR_RETURN(Header header, parseHeader(head.data(), head.size()));
    if (size < 3ull * header.page_size) {
        return Status::corrupt("the file is truncated: " + std::to_string(size) +
                               " bytes, shorter than the first three pages");
    }
    if (options.check_password && !header.passwordMatches(options.password)) {
        return Status::wrongPassword(options.password.empty()
                                         ? "the database is protected by a password"
                                         : "the database password is not correct");
    }
    auto pager = std::make_unique<Pager>(std::move(file), header.page_size, header.db_key,
                                         options.cache_pages);
    std::unique_ptr<Database> db(new Database(std::move(header), std::move(pager)));
    JET_RETURN_IF_ERROR(db->loadCatalog());
    return db;
}

Status Database::loadCatalog() {
    JET_ASSIGN_OR_RETURN(TableDef def, tableDefAt(kCatalogPage));
    const char* names[] = {"Id", "ParentId", "Name", "Type", "Flags", "ForeignName", "Database"};
    int idx[7];
    std::vector<bool> wanted(def.columns.size(), false);
    for (int k = 0; k < 7; ++k) {
        idx[k] = -1;
        for (size_t i = 0; i < def.columns.size(); ++i) {
            if (def.columns[i].name == names[k]) {
                idx[k] = static_cast<int>(i);
                wanted[i] = true;
            }
        }
        if (k < 5 && idx[k] < 0) {
            return Status::corrupt(std::string("the system catalog has no column ") + names[k]);
        }
    }

    struct Row {
        int32_t id, parent, type, flags;
        std::string name, foreign, database;
    };
    std::vector<Row> rows;
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, usageMapPages(def.owned_map));
    // Only the few columns above are decoded; property blobs are never touched.
    RowCursor cursor(decoder_, def, std::move(pages), std::move(wanted));
    std::vector<Value> v;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, cursor.next(v));
        if (!more)
            break;
        Row r{asInt(v[idx[0]]),
              asInt(v[idx[1]]),
              asInt(v[idx[3]]),
              asInt(v[idx[4]]),
              asUtf8(v[idx[2]]),
              idx[5] >= 0 ? asUtf8(v[idx[5]]) : std::string(),
              idx[6] >= 0 ? asUtf8(v[idx[6]]) : std::string()};
        rows.push_back(std::move(r));
    }

    int32_t tables_id = 0;
    bool found = false;
    for (const Row& r : rows) {
        if (r.name == "Tables" && r.parent == kDbParentId) {
            tables_id = r.id;
            found = true;
        }
    }
    if (!found)
        return Status::corrupt("the system catalog has no Tables container");
    for (const Row& r : rows) {
        if (r.parent != tables_id || (static_cast<uint32_t>(r.flags) & kSystemFlags) != 0)
            continue;
        CatalogEntry e;
        e.name = r.name;
        e.id = static_cast<uint32_t>(r.id);
        e.flags = r.flags;
        if (r.type == kTypeTable) {
            e.kind = ObjectKind::kTable;
        } else if (r.type == kTypeLinked || r.type == kTypeLinkedOdbc) {
            e.kind =
                r.type == kTypeLinked ? ObjectKind::kLinkedTable : ObjectKind::kLinkedOdbcTable;
            e.linked_database = r.database;
            e.foreign_name = r.foreign;
        } else {
            continue;
        }
        objects_.push_back(std::move(e));
    }
    return Status::ok();
}

std::vector<CatalogEntry> Database::tables() const {
    std::vector<CatalogEntry> out;
    for (const auto& e : objects_)
        if (e.kind == ObjectKind::kTable)
            out.push_back(e);
    return out;
}

Result<CatalogEntry> Database::findTable(const std::string& name) const {
    for (const auto& e : objects_) {
        if (e.name != name)
            continue;
        if (e.kind != ObjectKind::kTable) {
            return Status::notSupported("table " + name + " is linked to " + e.linked_database +
                                        " and has no rows in this file");
        }
        return e;
    }
    return Status::notFound("no table named " + name);
}

Result<TableDef> Database::tableDefAt(uint32_t tdef_page) {
    return readTableDef(*pager_, header_.version, header_.code_page, tdef_page);
}

Result<TableDef> Database::tableDef(const std::string& name) {
    JET_ASSIGN_OR_RETURN(CatalogEntry e, findTable(name));
    return tableDefAt(e.id);
}

Result<std::unique_ptr<RowCursor>> Database::openTableAt(uint32_t tdef_page) {
    JET_ASSIGN_OR_RETURN(TableDef def, tableDefAt(tdef_page));
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, usageMapPages(def.owned_map));
    return std::make_unique<RowCursor>(decoder_, std::move(def), std::move(pages));
}

Result<std::unique_ptr<RowCursor>> Database::openTable(const std::string& name) {
    JET_ASSIGN_OR_RETURN(CatalogEntry e, findTable(name));
    auto r = openTableAt(e.id);
    if (!r)
        return r.status().withContext("table " + name);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Usage maps and row counts

Result<std::vector<uint32_t>> Database::usageMapPages(RowPointer map) {
    JET_ASSIGN_OR_RETURN(UsageMapPages listing, UsageMapPages::open(*pager_, format(), map));
    std::vector<uint32_t> pages;
    for (uint32_t page = 0;;) {
        JET_ASSIGN_OR_RETURN(bool more, listing.next(page));
        if (!more)
            return pages;
        // Pages come in ascending order: the first one past the end is enough to refuse the
        // map, before a damaged one lists millions.
        if (page >= pager_->pageCount()) {
            return Status::corrupt(mapName(map) + ": lists page " + std::to_string(page) +
                                   " beyond the end of the file");
        }
        pages.push_back(page);
    }
}

Result<uint64_t> Database::countRows(const std::string& name) {
    JET_ASSIGN_OR_RETURN(TableDef def, tableDef(name));
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, usageMapPages(def.owned_map));
    uint64_t rows = 0;
    for (uint32_t n : pages) {
        JET_ASSIGN_OR_RETURN(PageRef page, pager_->read(n));
        const uint8_t* p = page->data();
        if (p[0] != kPageData || le32(p + kDataPageOwner) != def.tdef_page) {
            return Status::corrupt("table " + name + ": page " + std::to_string(n) +
                                   " is in its usage map but is not one of its data pages");
        }
        JET_ASSIGN_OR_RETURN(RowOffsets offsets, RowOffsets::read(p, format(), n));
        rows += offsets.liveCount();
    }
    return rows;
}

}  // namespace jet
