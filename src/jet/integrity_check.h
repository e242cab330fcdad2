// An integrity check of a whole Jet file, for the damage a reader that only follows pointers
// cannot see: every row still reads and the row counts still match, yet the rows are wrong.
// A damaged byte that turns a Text column into a Byte column, or a data page overwritten with
// a copy of another page of its table, are such damage.
//
// What it checks:
// - the catalog: every table it names has a readable definition, no two share one, and only
//   tables the catalog marks as system objects have system definitions;
// - column definitions (tdef_check.h): types, sizes, offsets and slots;
// - pages: no page is listed twice (by maps of two tables, or for two uses); every listed
//   page is what its map says (a data page of the table, a long-value page, an index page,
//   a bitmap page); no data page repeats another byte for byte; the global map calls none of
//   them free;
// - long values (long_value_ledger.h): every one a row points to is there, on a long-value
//   page of its table, and serves that row alone;
// - row counts: the live rows found against the count in the table definition. More rows
//   than declared is only a warning: Access leaves stale counts.
//
// What real files hold and the check leaves alone: pages no map lists (freed pages, pages of
// deleted tables, with their old bytes), free-space maps, index contents, long values no row
// uses, twin pages of equal rows (a table of blank rows), system tables' own ways, Jet 3
// files (which keep no long-value maps).
//
// Cost: the catalog, the table definitions and their maps, then every page once, in order.
// Memory: 4 bytes per page, 8 per data page, 16 per long value kept out of line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"

namespace jet {

struct Finding {
    enum class Severity : uint8_t { kWarning, kDamage };
    // What was checked: the catalog's tables, column definitions, pages and their maps, long
    // values, row counts.
    enum class Area : uint8_t { kCatalog, kColumns, kPages, kLongValues, kRowCount };
    Severity severity = Severity::kDamage;
    Area area = Area::kPages;
    std::vector<std::string> tables;  // the tables it touches; none for the file's own maps
    std::optional<uint32_t> page;
    std::optional<uint32_t> row;
    std::string what;

    bool isDamage() const { return severity == Severity::kDamage; }
    // "catalog", "columns", "pages", "long-values" or "row-count".
    const char* areaName() const;
    // "Table_Contact: page 12 row 3: ...", naming what is known.
    std::string toString() const;
};

struct IntegrityReport {
    uint32_t pages = 0;   // pages in the file
    uint32_t tables = 0;  // tables checked, system tables included
    uint64_t rows = 0;    // live rows found in them
    // In the order found: at most kMaxFindings, then only the row counts.
    std::vector<Finding> findings;
    uint64_t omitted = 0;                             // findings left out
    uint64_t damage = 0;                              // damage findings, left out ones included
    std::map<std::string, uint64_t> damage_by_table;  // damage findings touching each table

    static constexpr size_t kMaxFindings = 200;

    // True when nothing but warnings was found.
    bool consistent() const { return damage == 0; }
    bool damaged(const std::string& table) const { return damage_by_table.count(table) != 0; }
};

// Checks `db` as a whole. Inconsistencies are findings, never errors; an error means the file
// could not be read (an I/O failure).
Result<IntegrityReport> checkIntegrity(Database& db);

}  // namespace jet
