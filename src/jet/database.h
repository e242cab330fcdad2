// A Jet 3 / Jet 4 database opened for reading: header, catalog, tables and their rows.
//
// Typical use:
//   auto db = jet::Database::open(path, {.password = u"secret"});
//   if (!db) { report(db.status()); return; }
//   auto cursor = (*db)->openTable("Customers");
//   std::vector<jet::Value> row;
//   while (true) { auto more = cursor->next(row); if (!more || !*more) break; ... }
//
// Memory stays bounded: pages are streamed through the pager's cache, and a cursor holds
// only the current page and the decoded row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/header.h"
#include "jet/pager.h"
#include "jet/row_decoder.h"
#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

struct OpenOptions {
    // The database password to check, exactly as the user typed it.
    std::u16string password;
    // False skips the password check (inspection tools only).
    bool check_password = true;
    // Pages kept in memory.
    size_t cache_pages = 256;
};

enum class ObjectKind { kTable, kLinkedTable, kLinkedOdbcTable };

struct CatalogEntry {
    std::string name;  // UTF-8
    ObjectKind kind = ObjectKind::kTable;
    uint32_t id = 0;  // for local tables: the TDEF page
    int32_t flags = 0;
    std::string linked_database;  // linked tables: the file they point to
    std::string foreign_name;     // linked tables: the table's name in that file
};

class Database {
  public:
    // Opens `path` read-only. Errors, by kind: kIoError (missing, unreadable; the OS reason
    // is in the message), kNotJet, kUnsupportedVersion, kWrongPassword, kCorrupt.
    static Result<std::unique_ptr<Database>> open(const std::string& path,
                                                  const OpenOptions& options = {});
    // Same, over an already opened file (tests use this for fault injection).
    static Result<std::unique_ptr<Database>> open(std::unique_ptr<File> file,
                                                  const OpenOptions& options = {});

    const Header& header() const { return header_; }
    const Format& format() const { return header_.format(); }
    Pager& pager() { return *pager_; }

    // User tables and linked tables, in catalog order. System and hidden objects are left out.
    const std::vector<CatalogEntry>& objects() const { return objects_; }
    // Local user tables only.
    std::vector<CatalogEntry> tables() const;
    // Looks a local user table up by exact name.
    Result<CatalogEntry> findTable(const std::string& name) const;

    Result<TableDef> tableDef(const std::string& name);
    Result<TableDef> tableDefAt(uint32_t tdef_page);
    Result<std::unique_ptr<RowCursor>> openTable(const std::string& name);
    Result<std::unique_ptr<RowCursor>> openTableAt(uint32_t tdef_page);

    // The exact number of live rows (counted from the data pages, not taken from the TDEF).
    Result<uint64_t> countRows(const std::string& name);

    // The pages a usage map marks, ascending. Loops and out-of-range pages are kCorrupt.
    Result<std::vector<uint32_t>> usageMapPages(RowPointer map);

    // Decodes rows of this file (tests read raw rows through it).
    RowDecoder& decoder() { return decoder_; }

  private:
    Database(Header header, std::unique_ptr<Pager> pager);
    Status loadCatalog();

    Header header_;
    std::unique_ptr<Pager> pager_;
    RowDecoder decoder_;
    std::vector<CatalogEntry> objects_;
};

}  // namespace jet
