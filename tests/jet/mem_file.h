// An in-memory jet::File for tests, with injectable failures: writes can start failing after
// a number of bytes, and sync() can fail. State is shared so a test can look at it after the
// writer took ownership of the file.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "jet/file.h"

namespace writer_test {

struct MemFileState {
    std::vector<uint8_t> bytes;
    // Writes fail once this many bytes have been written in total (SIZE_MAX: never).
    size_t fail_writes_after = SIZE_MAX;
    bool fail_sync = false;
    size_t written = 0;
    int syncs = 0;
};

class MemFile final : public jet::File {
  public:
    explicit MemFile(std::shared_ptr<MemFileState> state, std::string name = "mem.mdb")
        : state_(std::move(state)), name_(std::move(name)) {}

    jet::Status readAt(uint64_t offset, size_t n, uint8_t* dst) override {
        if (offset + n > state_->bytes.size())
            return jet::Status::corrupt(name_ + ": file ends at byte " +
                                        std::to_string(state_->bytes.size()));
        std::memcpy(dst, state_->bytes.data() + offset, n);
        return jet::Status::ok();
    }
    jet::Status writeAt(uint64_t offset, const uint8_t* src, size_t n) override {
        if (state_->written + n > state_->fail_writes_after)
            return jet::Status::ioError(name_ + ": write failed: No space left on device");
        if (offset + n > state_->bytes.size())
            state_->bytes.resize(offset + n);
        std::memcpy(state_->bytes.data() + offset, src, n);
        state_->written += n;
        return jet::Status::ok();
    }
    jet::Result<uint64_t> size() override { return uint64_t{state_->bytes.size()}; }
    jet::Status sync() override {
        ++state_->syncs;
        if (state_->fail_sync)
            return jet::Status::ioError(name_ + ": fsync failed: Input/output error");
        return jet::Status::ok();
    }
    const std::string& name() const override { return name_; }

  private:
    std::shared_ptr<MemFileState> state_;
    std::string name_;
};

}  // namespace writer_test
