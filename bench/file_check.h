// A whole-file consistency check of a Jet 4 database, page by page: every page is accounted
// for exactly once (header, global map, table definitions, map rows and bitmap pages, a
// table's data pages, long-value pages, index pages), each usage map lists only pages of its
// owner, free-space maps list only owned pages that have room, the global map calls no page
// of the file free, and each table's row count matches its rows.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct FileCheck {
    uint32_t pages = 0;
    std::map<std::string, uint64_t> kinds;  // pages by what they hold
    std::map<std::string, uint64_t> rows;   // live rows by table (system tables included)
    std::string global;                     // the global map's form and reach
    std::vector<std::string> problems;      // empty when the file is consistent
};

FileCheck checkFile(const std::string& path, const std::u16string& password);

}  // namespace bench
