// libFuzzer entry point for a conversion's data path: the input is the source. The rows of its
// tables are read with their text as stored and appended, carried as they are, to tables of
// the same column types in a new file, as a conversion writes into its template. The new file
// is then read back and checked. Besides a crash, hang or sanitizer report, two outcomes are
// bugs: a row the writer took that reads back other than the source's reader decoded it, and
// damage the integrity check finds in the file we wrote.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "fuzz_file.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "jet/writer.h"

namespace {

constexpr size_t kMaxTables = 16;
constexpr size_t kMaxRows = 64;  // per table
// Rows can share a long value in a damaged source; the copy would repeat it in each.
constexpr size_t kMaxCopyBytes = 16u << 20;

bool writable(jet::ColumnType t) {
    using jet::ColumnType;
    switch (t) {
        case ColumnType::kBoolean:
        case ColumnType::kByte:
        case ColumnType::kInt:
        case ColumnType::kLong:
        case ColumnType::kMoney:
        case ColumnType::kFloat:
        case ColumnType::kDouble:
        case ColumnType::kDateTime:
        case ColumnType::kGuid:
        case ColumnType::kText:
        case ColumnType::kMemo:
        case ColumnType::kOle:
            return true;
        default:
            return false;
    }
}

// Equal values, floating point by their bits (a NaN is stored as it came).
bool same(const jet::Value& a, const jet::Value& b) {
    if (a.index() != b.index())
        return false;
    if (const auto* f = std::get_if<float>(&a))
        return std::memcmp(f, &std::get<float>(b), sizeof *f) == 0;
    if (const auto* d = std::get_if<double>(&a))
        return std::memcmp(d, &std::get<double>(b), sizeof *d) == 0;
    if (const auto* t = std::get_if<jet::DateTime>(&a))
        return std::memcmp(&t->ole, &std::get<jet::DateTime>(b).ole, sizeof t->ole) == 0;
    return a == b;
}

// One source table as copied: which source columns went where, and the rows the writer took
// (as the source's reader decodes them, the copied columns only).
struct Copied {
    std::string name;
    std::vector<size_t> columns;  // source column index of each new column
    std::vector<std::vector<jet::Value>> rows;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto source = fuzz::openInput(data, size);
    if (!source)
        return 0;
    std::vector<uint8_t> copy;
    std::vector<Copied> copied;
    bool sound = true;  // the writer reported only refusals of single rows
    {
        jet::CreateOptions create;
        create.creation_date = 45000.0;
        create.cache_pages = fuzz::kCachePages;
        auto w = jet::Writer::create(std::make_unique<fuzz::CopyFile>(copy, kMaxCopyBytes), create);
        if (!w)
            return 0;
        for (const jet::CatalogEntry& t : (*source)->tables()) {
            if (copied.size() == kMaxTables)
                break;
            auto def = (*source)->tableDefAt(t.id);
            if (!def)
                continue;
            Copied c;
            c.name = "T" + std::to_string(copied.size());
            jet::TableSpec shape{c.name, {}};
            std::vector<bool> stored;
            for (size_t i = 0; i < def->columns.size() && shape.columns.size() < 255; ++i) {
                const jet::ColumnDef& col = def->columns[i];
                if (!writable(col.type))
                    continue;
                const uint32_t chars = col.maxChars((*source)->format().version);
                shape.columns.push_back(
                    {"C" + std::to_string(i), col.type,
                     static_cast<uint16_t>(chars < 1 || chars > 255 ? 255 : chars)});
                stored.push_back(col.isText());
                c.columns.push_back(i);
            }
            if (shape.columns.empty() || !(*w)->createTable(shape).isOk())
                continue;
            // The same rows twice: as stored, to append, and decoded, to compare.
            auto as_stored = (*source)->openTableAt(t.id);
            auto decoded = (*source)->openTableAt(t.id);
            if (!as_stored || !decoded)
                continue;
            std::vector<bool> stored_mask(def->columns.size(), false);
            for (size_t k = 0; k < c.columns.size(); ++k)
                stored_mask[c.columns[k]] = stored[k];
            (*as_stored)->setStoredText(stored_mask);
            std::vector<jet::Value> row, plain, out, expected;
            for (size_t n = 0; n < kMaxRows; ++n) {
                auto more = (*as_stored)->next(row);
                auto more_plain = (*decoded)->next(plain);
                if (!more || !*more || !more_plain || !*more_plain)
                    break;
                out.clear();
                expected.clear();
                for (size_t i : c.columns) {
                    out.push_back(row[i]);
                    expected.push_back(plain[i]);
                }
                const jet::Status st = (*w)->append(c.name, out, &stored);
                if (st.isOk()) {
                    c.rows.push_back(expected);
                } else if (st.code() != jet::Status::Code::kInvalidArgument) {
                    sound = false;  // the disk limit, or a bug the checks below may show
                    break;
                }
            }
            copied.push_back(std::move(c));
            if (!sound)
                break;
        }
        sound = sound && (*w)->close().isOk();
    }
    if (!sound)
        return 0;

    auto result = fuzz::openInput(copy.data(), copy.size());
    if (!result)
        __builtin_trap();
    for (const Copied& c : copied) {
        auto cursor = (*result)->openTable(c.name);
        if (!cursor)
            __builtin_trap();
        std::vector<jet::Value> row;
        for (const std::vector<jet::Value>& expected : c.rows) {
            auto more = (*cursor)->next(row);
            if (!more || !*more || row.size() != expected.size())
                __builtin_trap();
            for (size_t k = 0; k < row.size(); ++k) {
                if (!same(row[k], expected[k]))
                    __builtin_trap();
            }
        }
        auto more = (*cursor)->next(row);
        if (!more || *more)
            __builtin_trap();
    }
    auto report = jet::checkIntegrity(**result);
    if (!report || !report->consistent())
        __builtin_trap();
    return 0;
}
