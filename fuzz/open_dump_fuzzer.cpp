// libFuzzer entry point: opens the input as a Jet database (no password check), lists its
// tables, reads every row and counts the rows of each. Any crash, hang or sanitizer report is
// a bug in the reader, and so is a table read to its end whose count differs; error values
// are the expected outcome for nearly every input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz_file.h"
#include "jet/database.h"

namespace {

// A cursor that yields more rows than any input of this size could hold never ends.
constexpr uint64_t kMaxRows = 1u << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto db = fuzz::openInput(data, size);
    if (!db)
        return 0;
    for (const jet::CatalogEntry& table : (*db)->tables()) {
        uint64_t rows = 0;
        bool complete = false;
        if (auto cursor = (*db)->openTableAt(table.id)) {
            std::vector<jet::Value> row;
            while (true) {
                auto more = (*cursor)->next(row);
                if (!more)
                    break;
                if (!*more) {
                    complete = true;
                    break;
                }
                if (row.size() != (*cursor)->def().columns.size() || ++rows > kMaxRows)
                    __builtin_trap();
            }
        }
        // A table read to its end without an error must agree with its row count.
        auto found = (*db)->findTable(table.name);
        auto count = (*db)->countRows(table.name);
        if (complete && count && found && found->id == table.id && *count != rows)
            __builtin_trap();
    }
    return 0;
}
