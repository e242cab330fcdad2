// Damage done to a database file the way a reader meets it in damaged files: a table
// definition that declares the wrong number of rows, a column definition with a damaged type
// byte, a data page copied over another of its table. For files without RC4-encoded pages
// and with single-page table definitions (ours, most of the corpus).
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "jet/bytes.h"
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

// Reads bytes.size() bytes of `path` from `offset`.
inline bool readBytes(const std::string& path, uint64_t offset, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
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

// Gives `column` of `table` the type code `type`, keeping its length and flags: one damaged
// byte in its column definition.
inline bool setColumnType(const std::string& path, const std::string& table,
                          const std::u16string& password, const std::string& column, uint8_t type) {
    jet::OpenOptions o;
    o.password = password;
    auto db = jet::Database::open(path, o);
    if (!db)
        return false;
    auto def = (*db)->tableDef(table);
    const jet::ColumnDef* col = def ? def->findColumn(column) : nullptr;
    if (!col)
        return false;
    const jet::Format& f = (*db)->format();
    const uint64_t at = uint64_t{def->tdef_page} * f.page_size;
    std::vector<uint8_t> page(f.page_size);
    if (!readBytes(path, at, page))
        return false;
    // Descriptors follow the index counters, in stored order (not by number).
    const uint32_t first =
        f.tdef_sections + jet::le32(page.data() + f.tdef_num_real_idx) * f.real_idx_counter_size;
    for (uint32_t i = 0; i < jet::le16(page.data() + f.tdef_num_cols); ++i) {
        const uint32_t desc = first + i * f.column_desc_size;
        if (desc + f.column_desc_size > f.page_size)
            return false;
        if (jet::le16(page.data() + desc + f.col_number) == col->number) {
            return patchFile(path, at + desc + f.col_type, {type});
        }
    }
    return false;
}

// Writes a copy of the `from`-th data page of `table` (in its usage map's order) over its
// `to`-th: both still belong to the table, and the rows of the `to`-th are gone.
inline bool copyDataPage(const std::string& path, const std::string& table,
                         const std::u16string& password, size_t from, size_t to) {
    auto t = layoutOf(path, table, password);
    if (!t || from >= t->data_pages.size() || to >= t->data_pages.size())
        return false;
    std::vector<uint8_t> page(t->page_size);
    return readBytes(path, uint64_t{t->data_pages[from]} * t->page_size, page) &&
           patchFile(path, uint64_t{t->data_pages[to]} * t->page_size, page);
}

}  // namespace testing_support
