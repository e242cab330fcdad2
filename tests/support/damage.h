// Damage done to a database file the way a reader meets it in damaged files: a table
// definition that declares the wrong number of rows, a data page whose row count is wrong, a
// page copied over another. For files without RC4-encoded pages (ours, most of the corpus).
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/format.h"

namespace testing_support {

// Where a table lives in a file.
struct TableLayout {
    uint32_t page_size = 0;
    uint32_t tdef_page = 0;
    uint32_t declared = 0;             // the row count its definition declares
    std::vector<uint32_t> data_pages;  // from its usage map
    uint32_t tdef_num_rows = 0;        // offsets within a page
    uint32_t data_row_count = 0;
};

inline std::optional<TableLayout> layoutOf(const std::string& path, const std::string& table,
                                           const std::u16string& password) {
    jet::OpenOptions o;
    o.password = password;
    auto db = jet::Database::open(path, o);
    if (!db)
        return std::nullopt;
    auto def = (*db)->tableDef(table);
    if (!def)
        return std::nullopt;
    auto pages = (*db)->usageMapPages(def->owned_map);
    if (!pages)
        return std::nullopt;
    const jet::Format& f = (*db)->format();
    return TableLayout{f.page_size, def->tdef_page,  def->num_rows,
                       *pages,      f.tdef_num_rows, f.data_row_count};
}

// Overwrites bytes of `path` in place.
inline bool patchFile(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!f)
        return false;
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

inline std::vector<uint8_t> le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline std::vector<uint8_t> le16(uint16_t v) {
    return {uint8_t(v), uint8_t(v >> 8)};
}

// Makes the definition of `table` declare `rows` rows, whatever its pages hold.
inline bool setDeclaredRows(const std::string& path, const std::string& table,
                            const std::u16string& password, uint32_t rows) {
    auto t = layoutOf(path, table, password);
    return t &&
           patchFile(path, uint64_t{t->tdef_page} * t->page_size + t->tdef_num_rows, le32(rows));
}

}  // namespace testing_support
