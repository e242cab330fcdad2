#include "jet/database.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "jet/bytes.h"
#include "jet/codepage.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr uint32_t kCatalogPage = 2;
constexpr int32_t kDbParentId = 0x0F000000;
constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeLinkedOdbc = 4;
constexpr int16_t kTypeLinked = 6;
constexpr uint32_t kSystemFlags = 0x80000002;
constexpr int kMaxOverflowHops = 16;

std::string pageRow(uint32_t page, uint32_t slot) {
    return "page " + std::to_string(page) + " row " + std::to_string(slot);
}

// Size in the fixed area of a fixed-length column.
uint32_t fixedSize(const ColumnDef& col) {
    switch (col.type) {
        case ColumnType::kBoolean: return 0;
        case ColumnType::kByte: return 1;
        case ColumnType::kInt: return 2;
        case ColumnType::kLong: return 4;
        case ColumnType::kFloat: return 4;
        case ColumnType::kMoney:
        case ColumnType::kDouble:
        case ColumnType::kDateTime: return 8;
        case ColumnType::kGuid: return 16;
        case ColumnType::kNumeric: return 17;
        default: return col.length;
    }
}

std::string asUtf8(const Value& v) {
    if (auto* s = std::get_if<std::u16string>(&v)) return toUtf8(*s);
    return {};
}
int32_t asInt(const Value& v) {
    if (auto* i = std::get_if<int32_t>(&v)) return *i;
    if (auto* i = std::get_if<int16_t>(&v)) return *i;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening

Database::Database(Header header, std::unique_ptr<Pager> pager)
    : header_(std::move(header)), pager_(std::move(pager)) {}

Result<std::unique_ptr<Database>> Database::open(const std::string& path,
                                                 const OpenOptions& options) {
    JET_ASSIGN_OR_RETURN(std::unique_ptr<File> file, openFileReadOnly(path));
    return open(std::move(file), options);
}

Result<std::unique_ptr<Database>> Database::open(std::unique_ptr<File> file,
                                                 const OpenOptions& options) {
    JET_ASSIGN_OR_RETURN(uint64_t size, file->size());
    if (size == 0) return Status::notJet("the file is empty");
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
    RowCursor cursor(*this, def, std::move(pages));
    // Only the few columns above are decoded; property blobs are never touched.
    cursor.wanted_ = std::move(wanted);
    std::vector<Value> v;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, cursor.next(v));
        if (!more) break;
        Row r{asInt(v[idx[0]]), asInt(v[idx[1]]), asInt(v[idx[3]]), asInt(v[idx[4]]),
              asUtf8(v[idx[2]]), idx[5] >= 0 ? asUtf8(v[idx[5]]) : std::string(),
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
    if (!found) return Status::corrupt("the system catalog has no Tables container");
    for (const Row& r : rows) {
        if (r.parent != tables_id || (static_cast<uint32_t>(r.flags) & kSystemFlags) != 0) continue;
        CatalogEntry e;
        e.name = r.name;
        e.id = static_cast<uint32_t>(r.id);
        e.flags = r.flags;
        if (r.type == kTypeTable) {
            e.kind = ObjectKind::kTable;
        } else if (r.type == kTypeLinked || r.type == kTypeLinkedOdbc) {
            e.kind = r.type == kTypeLinked ? ObjectKind::kLinkedTable : ObjectKind::kLinkedOdbcTable;
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
        if (e.kind == ObjectKind::kTable) out.push_back(e);
    return out;
}

Result<CatalogEntry> Database::findTable(const std::string& name) const {
    for (const auto& e : objects_) {
        if (e.name != name) continue;
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
    return std::unique_ptr<RowCursor>(new RowCursor(*this, std::move(def), std::move(pages)));
}

Result<std::unique_ptr<RowCursor>> Database::openTable(const std::string& name) {
    JET_ASSIGN_OR_RETURN(CatalogEntry e, findTable(name));
    auto r = openTableAt(e.id);
    if (!r) return r.status().withContext("table " + name);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Pages, rows and usage maps

Result<Database::RawRow> Database::rowAt(RowPointer ptr, bool follow_overflow) {
    const Format& f = format();
    for (int hop = 0; hop <= kMaxOverflowHops; ++hop) {
        JET_ASSIGN_OR_RETURN(PageRef page, pager_->read(ptr.page));
        const uint8_t* p = page->data();
        if (p[0] != kPageData) {
            return Status::corrupt(pageRow(ptr.page, ptr.row) + ": not a data page (type " +
                                   std::to_string(p[0]) + ")");
        }
        const uint32_t count = le16(p + f.data_row_count);
        if (ptr.row >= count || f.data_row_table + 2 * count > f.page_size) {
            return Status::corrupt(pageRow(ptr.page, ptr.row) + ": no such row on the page");
        }
        const uint16_t entry = le16(p + f.data_row_table + 2 * ptr.row);
        const uint32_t start = entry & kRowOffsetMask;
        const uint32_t end =
            ptr.row == 0 ? f.page_size : (le16(p + f.data_row_table + 2 * (ptr.row - 1)) & kRowOffsetMask);
        RawRow raw;
        raw.page = page;
        if (hop == 0 && (entry & kRowDeleted)) {
            raw.deleted = true;
            return raw;
        }
        if (start < f.data_row_table + 2 * count || end > f.page_size || start > end) {
            return Status::corrupt(pageRow(ptr.page, ptr.row) + ": row bounds " +
                                   std::to_string(start) + ".." + std::to_string(end) +
                                   " are outside the page");
        }
        if (follow_overflow && (entry & kRowOverflow)) {
            if (end - start < 4) {
                return Status::corrupt(pageRow(ptr.page, ptr.row) + ": overflow pointer too short");
            }
            ptr = RowPointer::decode(le32(p + start));
            continue;
        }
        raw.offset = start;
        raw.length = end - start;
        return raw;
    }
    return Status::corrupt(pageRow(ptr.page, ptr.row) + ": overflow pointers form a loop");
}

Result<std::vector<uint32_t>> Database::usageMapPages(RowPointer map) {
    const std::string where = "usage map at " + pageRow(map.page, map.row);
    JET_ASSIGN_OR_RETURN(RawRow raw, rowAt(map, false));
    if (raw.deleted || raw.length < 1) return Status::corrupt(where + ": the map row is empty");
    const uint8_t* b = raw.page->data() + raw.offset;
    const uint32_t len = raw.length;
    const uint32_t count = pager_->pageCount();
    std::vector<uint32_t> pages;
    auto add = [&](uint64_t n) -> Status {
        if (n >= count) {
            return Status::corrupt(where + ": lists page " + std::to_string(n) +
                                   " beyond the end of the file");
        }
        pages.push_back(static_cast<uint32_t>(n));
        return Status::ok();
    };
    if (b[0] == 0) {
        if (len < 5) return Status::corrupt(where + ": inline map is too short");
        const uint64_t start = le32(b + 1);
        for (uint32_t i = 5; i < len; ++i) {
            if (!b[i]) continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (b[i] & (1 << bit)) JET_RETURN_IF_ERROR(add(start + (i - 5) * 8ull + bit));
            }
        }
    } else if (b[0] == 1) {
        const uint64_t per_page = format().usage_bitmap_pages;
        std::set<uint32_t> seen;
        for (uint32_t slot = 0; 1 + 4 * slot + 4 <= len; ++slot) {
            const uint32_t mp = le32(b + 1 + 4 * slot);
            if (mp == 0) continue;
            if (!seen.insert(mp).second) {
                return Status::corrupt(where + ": bitmap page " + std::to_string(mp) +
                                       " is listed twice");
            }
            JET_ASSIGN_OR_RETURN(PageRef bp, pager_->read(mp));
            if (bp->bytes[0] != kPageUsageBitmap) {
                return Status::corrupt(where + ": page " + std::to_string(mp) +
                                       " is not a usage bitmap page");
            }
            const uint8_t* bits = bp->data() + 4;
            for (uint32_t i = 0; i + 4 < pager_->pageSize(); ++i) {
                if (!bits[i]) continue;
                for (int bit = 0; bit < 8; ++bit) {
                    if (bits[i] & (1 << bit)) {
                        JET_RETURN_IF_ERROR(add(slot * per_page + i * 8ull + bit));
                    }
                }
            }
        }
    } else {
        return Status::corrupt(where + ": unknown map type " + std::to_string(b[0]));
    }
    return pages;
}

Result<uint64_t> Database::countRows(const std::string& name) {
    JET_ASSIGN_OR_RETURN(TableDef def, tableDef(name));
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages, usageMapPages(def.owned_map));
    const Format& f = format();
    uint64_t rows = 0;
    for (uint32_t n : pages) {
        JET_ASSIGN_OR_RETURN(PageRef page, pager_->read(n));
        const uint8_t* p = page->data();
        if (p[0] != kPageData || le32(p + 4) != def.tdef_page) {
            return Status::corrupt("table " + name + ": page " + std::to_string(n) +
                                   " is in its usage map but is not one of its data pages");
        }
        const uint32_t count = le16(p + f.data_row_count);
        if (f.data_row_table + 2 * count > f.page_size) {
            return Status::corrupt("page " + std::to_string(n) + ": row count is too large");
        }
        for (uint32_t s = 0; s < count; ++s) {
            if (!(le16(p + f.data_row_table + 2 * s) & kRowDeleted)) ++rows;
        }
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------
// Row decoding

std::u16string Database::decodeText(const uint8_t* p, size_t n) const {
    if (header_.version == JetVersion::kJet4) return decodeJet4Text(p, n);
    return decodeCodePage(header_.code_page, p, n);
}

Result<Value> Database::decodeFixed(const ColumnDef& col, const uint8_t* p, uint32_t n) {
    switch (col.type) {
        case ColumnType::kByte: return Value(p[0]);
        case ColumnType::kInt: return Value(static_cast<int16_t>(le16(p)));
        case ColumnType::kLong: return Value(static_cast<int32_t>(le32(p)));
        case ColumnType::kMoney: return Value(Money{static_cast<int64_t>(le64(p))});
        case ColumnType::kFloat: return Value(leFloat(p));
        case ColumnType::kDouble: return Value(leDouble(p));
        case ColumnType::kDateTime: return Value(DateTime{leDouble(p)});
        case ColumnType::kGuid: {
            Guid g;
            std::memcpy(g.bytes.data(), p, 16);
            return Value(g);
        }
        case ColumnType::kNumeric: {
            Decimal d;
            d.negative = (p[0] & 0x80) != 0;
            d.precision = col.precision;
            d.scale = col.scale;
            for (int w = 0; w < 4; ++w) d.words[w] = le32(p + 1 + 4 * w);
            return Value(d);
        }
        case ColumnType::kText: return Value(decodeText(p, n));
        default: return Value(Bytes(p, p + n));
    }
}

Result<Value> Database::decodeVariable(const ColumnDef& col, const uint8_t* p, uint32_t n,
                                       const std::string& where) {
    switch (col.type) {
        case ColumnType::kText: return Value(decodeText(p, n));
        case ColumnType::kMemo:
        case ColumnType::kOle: {
            if (n == 0) return Value(Null{});
            JET_ASSIGN_OR_RETURN(Bytes bytes, readLongValue(p, n, where));
            if (col.type == ColumnType::kOle) return Value(std::move(bytes));
            return Value(decodeText(bytes.data(), bytes.size()));
        }
        case ColumnType::kBinary:
        case ColumnType::kUnknown0D:
        case ColumnType::kUnknown11: return Value(Bytes(p, p + n));
        default: {
            // A fixed-size type stored without the fixed flag (Access does this for some
            // AutoNumber columns): the value sits in the variable area at its usual size.
            const uint32_t size = fixedSize(col);
            if (!isKnownType(col.type_code) || size == 0 || col.type == ColumnType::kBoolean) {
                return Value(Bytes(p, p + n));
            }
            if (n < size) {
                return Status::corrupt(where + ": value of " + std::to_string(n) +
                                       " bytes is shorter than its type");
            }
            return decodeFixed(col, p, size);
        }
    }
}

Result<Bytes> Database::readLongValue(const uint8_t* field, uint32_t n, const std::string& where) {
    if (n < 12) return Status::corrupt(where + ": long-value header is too short");
    const uint32_t head = le32(field);
    const uint32_t length = head & 0x3FFFFFFF;
    const uint32_t kind = head & 0xC0000000;
    const RowPointer first = RowPointer::decode(le32(field + 4));
    if (kind == 0x80000000) {
        if (length > n - 12) return Status::corrupt(where + ": inline long value overruns the row");
        return Bytes(field + 12, field + 12 + length);
    }
    if (kind == 0x40000000) {
        JET_ASSIGN_OR_RETURN(RawRow raw, rowAt(first, false));
        if (raw.deleted || raw.length < length) {
            return Status::corrupt(where + ": long value at " + pageRow(first.page, first.row) +
                                   " is shorter than its header says");
        }
        const uint8_t* b = raw.page->data() + raw.offset;
        return Bytes(b, b + length);
    }
    if (kind != 0) return Status::corrupt(where + ": unknown long-value kind");
    Bytes out;
    std::set<RowPointer> seen;
    RowPointer ptr = first;
    while (out.size() < length) {
        if (ptr.isNull()) {
            return Status::corrupt(where + ": long-value chain ends after " +
                                   std::to_string(out.size()) + " of " + std::to_string(length) +
                                   " bytes");
        }
        if (!seen.insert(ptr).second) {
            return Status::corrupt(where + ": long-value chain loops at " +
                                   pageRow(ptr.page, ptr.row));
        }
        JET_ASSIGN_OR_RETURN(RawRow raw, rowAt(ptr, false));
        if (raw.deleted || raw.length < 4) {
            return Status::corrupt(where + ": long-value chunk at " + pageRow(ptr.page, ptr.row) +
                                   " is missing");
        }
        const uint8_t* b = raw.page->data() + raw.offset;
        const uint32_t take = std::min<uint32_t>(raw.length - 4, length - static_cast<uint32_t>(out.size()));
        out.insert(out.end(), b + 4, b + 4 + take);
        ptr = RowPointer::decode(le32(b));
    }
    return out;
}

Status Database::decodeRow(const TableDef& def, const uint8_t* row, uint32_t len, uint32_t page,
                           uint32_t slot, std::vector<Value>& out,
                           const std::vector<bool>* wanted) {
    const Format& f = format();
    const bool jet4 = header_.version == JetVersion::kJet4;
    const std::string where = pageRow(page, slot);
    auto corrupt = [&](const std::string& what) { return Status::corrupt(where + ": " + what); };

    if (len < f.row_count_size) return corrupt("row is empty");
    const uint32_t ncols = jet4 ? le16(row) : row[0];
    const uint32_t nm = (ncols + 7) / 8;
    if (len < f.row_count_size + nm) return corrupt("row is shorter than its null mask");
    const uint8_t* mask = row + len - nm;
    auto present = [&](uint32_t colnum) {
        return colnum < ncols && (mask[colnum / 8] >> (colnum % 8)) & 1;
    };

    // Offsets of the variable columns: offs[0..V], offs[V] being the end of the data.
    std::vector<uint32_t> offs;
    uint32_t var_limit = len - nm;  // first byte after the variable data area
    if (def.num_var_cols > 0) {
        if (jet4) {
            if (len < 2 + nm + 4) return corrupt("row is too short for its offset table");
            const uint32_t V = le16(row + len - nm - 2);
            if (4 + 2ull * V + nm + 2 > len) return corrupt("variable column count is too large");
            offs.resize(V + 1);
            for (uint32_t i = 0; i <= V; ++i) offs[i] = le16(row + len - nm - 4 - 2 * i);
            var_limit = len - nm - 4 - 2 * V;
        } else {
            if (len < 1 + nm + 2) return corrupt("row is too short for its offset table");
            const uint32_t last = len - 1;
            const uint32_t V = row[last - nm];
            uint32_t jumps = (len - 1) / 256;
            if (last < nm + jumps + 1 + V + 1) return corrupt("variable column count is too large");
            const uint32_t p = last - nm - jumps - 1;
            if ((p - V) / 256 < jumps) --jumps;
            uint32_t used = 0;
            offs.resize(V + 1);
            for (uint32_t i = 0; i <= V; ++i) {
                while (used < jumps && i == row[last - nm - 1 - used]) ++used;
                offs[i] = row[p - i] + 256 * used;
            }
            var_limit = p - V;
        }
    }

    out.assign(def.columns.size(), Value(Null{}));
    const uint32_t fixed_base = f.row_count_size;
    for (size_t i = 0; i < def.columns.size(); ++i) {
        if (wanted && !(*wanted)[i]) continue;
        const ColumnDef& col = def.columns[i];
        if (col.type == ColumnType::kBoolean) {
            out[i] = Value(present(col.number));
            continue;
        }
        if (!present(col.number)) continue;
        if (col.isFixed()) {
            const uint32_t size = fixedSize(col);
            const uint64_t start = uint64_t{fixed_base} + col.fixed_offset;
            if (start + size > len - nm) {
                return corrupt("column " + col.name + " lies outside the row");
            }
            JET_ASSIGN_OR_RETURN(out[i], decodeFixed(col, row + start, size));
            continue;
        }
        if (offs.empty() || col.var_index + 1u >= offs.size()) continue;  // added after the row
        const uint32_t start = offs[col.var_index];
        const uint32_t stop = offs[col.var_index + 1];
        if (start < fixed_base || start > stop || stop > var_limit) {
            return corrupt("column " + col.name + " has offsets " + std::to_string(start) + ".." +
                           std::to_string(stop) + " outside the row");
        }
        auto v = decodeVariable(col, row + start, stop - start, where + " column " + col.name);
        if (!v) return v.status();
        out[i] = std::move(v).value();
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// RowCursor

RowCursor::RowCursor(Database& db, TableDef def, std::vector<uint32_t> pages)
    : db_(db), def_(std::move(def)), pages_(std::move(pages)) {}

Result<bool> RowCursor::next(std::vector<Value>& row) {
    const Format& f = db_.format();
    while (page_pos_ < pages_.size()) {
        const uint32_t n = pages_[page_pos_];
        if (!current_) {
            JET_ASSIGN_OR_RETURN(current_, db_.pager().read(n));
            const uint8_t* p = current_->data();
            if (p[0] != kPageData || le32(p + 4) != def_.tdef_page) {
                current_.reset();
                return Status::corrupt("page " + std::to_string(n) +
                                       " is in the table's usage map but is not one of its "
                                       "data pages");
            }
            slot_ = 0;
        }
        const uint32_t count = le16(current_->data() + f.data_row_count);
        if (slot_ >= count) {
            current_.reset();
            ++page_pos_;
            continue;
        }
        const uint32_t s = slot_++;
        if (s > 0xFF) return Status::corrupt("page " + std::to_string(n) + ": more than 255 rows");
        JET_ASSIGN_OR_RETURN(Database::RawRow raw,
                             db_.rowAt(RowPointer{n, static_cast<uint8_t>(s)}, true));
        if (raw.deleted) continue;
        JET_RETURN_IF_ERROR(db_.decodeRow(def_, raw.page->data() + raw.offset, raw.length, n, s, row,
                                          wanted_.empty() ? nullptr : &wanted_));
        return true;
    }
    return false;
}

Status RowCursor::forEach(const std::function<void(const std::vector<Value>&)>& fn) {
    std::vector<Value> row;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, next(row));
        if (!more) return Status::ok();
        fn(row);
    }
}

}  // namespace jet
