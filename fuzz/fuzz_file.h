// In-memory files for the fuzz targets: the input as a read-only file, and a writable copy of
// it that may grow only a little, so a damaged header cannot make the writer allocate
// gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/file.h"

namespace fuzz {

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

// A writable copy that the caller keeps hold of through `bytes`. Writes that would carry it
// more than `growth` bytes past its starting size fail as a full disk does.
class CopyFile final : public jet::File {
  public:
    CopyFile(std::vector<uint8_t>& bytes, size_t growth)
        : bytes_(bytes), limit_(bytes.size() + growth) {}

    jet::Status readAt(uint64_t offset, size_t n, uint8_t* dst) override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) {
            return jet::Status::corrupt("copy ends at byte " + std::to_string(bytes_.size()));
        }
        if (n > 0)
            std::memcpy(dst, bytes_.data() + offset, n);
        return jet::Status::ok();
    }
    jet::Status writeAt(uint64_t offset, const uint8_t* src, size_t n) override {
        if (offset > limit_ || n > limit_ - offset)
            return jet::Status::ioError("copy: no space left past byte " + std::to_string(limit_));
        if (offset + n > bytes_.size())
            bytes_.resize(static_cast<size_t>(offset + n));
        if (n > 0)
            std::memcpy(bytes_.data() + offset, src, n);
        return jet::Status::ok();
    }
    jet::Result<uint64_t> size() override { return static_cast<uint64_t>(bytes_.size()); }
    jet::Status sync() override { return jet::Status::ok(); }
    const std::string& name() const override { return name_; }

  private:
    std::vector<uint8_t>& bytes_;
    size_t limit_;
    std::string name_ = "fuzz copy";
};

// Every target's page cache: small, so that even small inputs evict pages.
constexpr size_t kCachePages = 16;

// Opens `file` as the targets read a database: whatever its password, with that cache.
inline jet::Result<std::unique_ptr<jet::Database>> openForReading(std::unique_ptr<jet::File> file) {
    jet::OpenOptions options;
    options.check_password = false;
    options.cache_pages = kCachePages;
    return jet::Database::open(std::move(file), options);
}

// The same over `size` bytes at `data`, which must outlive the database.
inline jet::Result<std::unique_ptr<jet::Database>> openInput(const uint8_t* data, size_t size) {
    return openForReading(std::make_unique<InputFile>(data, size));
}

}  // namespace fuzz
