// libFuzzer entry point for the writer: treats the input as the template of a conversion.
// It opens a copy of it for writing (with the password its header holds, as only the input
// knows it), appends a short and a long row to every user table, creates a table, closes the
// copy, then reads it back and checks it. Errors are expected for damaged inputs; a crash,
// hang or sanitizer report is a bug, and so is damage written into an input the integrity
// check found sound by a writer that reported only refusals (which write nothing).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "jet/writer.h"

namespace {

// Room for a table, two rows and their long values, whatever pages the writer takes.
constexpr size_t kGrowth = 64 * 4096;

// A value of the column's type; `long_values` makes MEMO and OLE values span several pages.
jet::Value valueFor(const jet::ColumnDef& c, bool long_values) {
    using jet::ColumnType;
    const size_t n = long_values ? 9000 : 12;
    switch (c.type) {
        case ColumnType::kBoolean:
            return true;
        case ColumnType::kByte:
            return uint8_t{7};
        case ColumnType::kInt:
            return int16_t{-7};
        case ColumnType::kLong:
            if (c.isAutoNumber())
                return jet::Null{};
            return int32_t{70000};
        case ColumnType::kMoney:
            return jet::Money{123456};
        case ColumnType::kFloat:
            return 1.5f;
        case ColumnType::kDouble:
            return -2.25;
        case ColumnType::kDateTime:
            return jet::DateTime{45000.5};
        case ColumnType::kBinary:
            return jet::Bytes{1, 2, 3};
        case ColumnType::kText:
            return std::u16string(u"\u0641\u0627\u0631\u0633\u06cc x");
        case ColumnType::kMemo:
            return std::u16string(n, u'm');
        case ColumnType::kOle:
            return jet::Bytes(n, 0xA5);
        case ColumnType::kGuid:
            return jet::Guid{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
        case ColumnType::kNumeric:
            return jet::Decimal{false, c.precision, c.scale, {0, 0, 0, 1}};
        default:
            return jet::Null{};
    }
}

// Opens `bytes` for reading and runs the integrity check; nullopt when it cannot.
std::optional<bool> soundFile(std::unique_ptr<jet::File> file) {
    auto db = fuzz::openForReading(std::move(file));
    if (!db)
        return std::nullopt;
    auto report = jet::checkIntegrity(**db);
    if (!report)
        return std::nullopt;
    return report->consistent();
}

// Refusals of a value or a table write nothing; other errors may leave the copy damaged.
bool refusal(const jet::Status& st) {
    using Code = jet::Status::Code;
    return st.isOk() || st.code() == Code::kInvalidArgument || st.code() == Code::kNotSupported ||
           st.code() == Code::kTooLarge;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto header = jet::parseHeader(data, size);
    if (!header)
        return 0;
    std::vector<std::string> tables;
    {
        auto db = fuzz::openInput(data, size);
        if (db) {
            for (const jet::CatalogEntry& t : (*db)->tables())
                tables.push_back(t.name);
        }
    }
    const std::optional<bool> sound_before =
        soundFile(std::make_unique<fuzz::InputFile>(data, size));

    std::vector<uint8_t> copy(data, data + size);
    bool only_refusals = true;
    {
        jet::WriterOpenOptions options;
        options.password = header->password();
        options.cache_pages = fuzz::kCachePages;
        auto w = jet::Writer::open(std::make_unique<fuzz::CopyFile>(copy, kGrowth), options);
        if (!w)
            return 0;
        for (const std::string& name : tables) {
            auto def = (*w)->tableDef(name);
            if (!def) {
                only_refusals &= refusal(def.status());
                continue;
            }
            for (bool long_values : {false, true}) {
                std::vector<jet::Value> row;
                for (const jet::ColumnDef& c : def->columns)
                    row.push_back(valueFor(c, long_values));
                only_refusals &= refusal((*w)->append(name, row));
            }
        }
        jet::TableSpec added{"Fuzz_Added",
                             {{"Id", jet::ColumnType::kLong, 0, true, true},
                              {"Name", jet::ColumnType::kText, 40},
                              {"Notes", jet::ColumnType::kMemo}}};
        const jet::Status created = (*w)->createTable(added);
        only_refusals &= refusal(created);
        if (created.isOk()) {
            only_refusals &= refusal((*w)->append(
                added.name, {jet::Null{}, std::u16string(u"n"), std::u16string(3000, u'z')}));
        }
        only_refusals &= (*w)->close().isOk();
    }
    const std::optional<bool> sound_after =
        soundFile(std::make_unique<fuzz::InputFile>(copy.data(), copy.size()));
    if (sound_before.value_or(false) && only_refusals && !sound_after.value_or(false))
        __builtin_trap();
    return 0;
}
