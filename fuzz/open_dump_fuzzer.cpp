// libFuzzer entry point: opens the input as a Jet database (no password check), lists its
// tables, reads every row and counts the rows of each. Any crash, hang or sanitizer report is
// a bug in the reader; error values are the expected outcome for nearly every input.
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
    jet::OpenOptions options;
    options.check_password = false;
    options.cache_pages = 16;
    auto db = jet::Database::open(std::make_unique<fuzz::InputFile>(data, size), options);
    if (!db)
        return 0;
    for (const jet::CatalogEntry& table : (*db)->tables()) {
        if (auto cursor = (*db)->openTableAt(table.id)) {
            std::vector<jet::Value> row;
            uint64_t rows = 0;
            while (true) {
                auto more = (*cursor)->next(row);
                if (!more || !*more)
                    break;
                if (++rows > kMaxRows)
                    __builtin_trap();
            }
        }
        (void)(*db)->countRows(table.name);
    }
    return 0;
}
