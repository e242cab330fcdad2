// libFuzzer entry point: opens the input as a Jet database (no password check), lists its
// tables, reads every row and counts the rows of each. Any crash, hang or sanitizer report is
// a bug in the reader; error values are the expected outcome for nearly every input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"

namespace {

// The fuzz input as a read-only file, without touching the disk. It borrows the bytes,
// which libFuzzer keeps alive for the whole call.
class InputFile final : public jet::File {
  public:
    InputFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    jet::Status readAt(uint64_t offset, size_t n, uint8_t* dst) override {
        if (offset > size_ || n > size_ - offset) {
            return jet::Status::corrupt("input ends at byte " + std::to_string(size_));
        }
        if (n > 0)
            std::memcpy(dst, data_ + offset, n);
        return jet::Status::ok();
    }
    jet::Status writeAt(uint64_t, const uint8_t*, size_t) override {
        return jet::Status::ioError("the input is read-only");
    }
    jet::Result<uint64_t> size() override { return static_cast<uint64_t>(size_); }
    jet::Status sync() override { return jet::Status::ok(); }
    const std::string& name() const override { return name_; }

  private:
    const uint8_t* data_;
    size_t size_;
    std::string name_ = "fuzz input";
};

// A cursor that yields more rows than any input of this size could hold never ends.
constexpr uint64_t kMaxRows = 1u << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    jet::OpenOptions options;
    options.check_password = false;
    options.cache_pages = 16;
    auto db = jet::Database::open(std::make_unique<InputFile>(data, size), options);
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
