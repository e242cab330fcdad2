// A SaveEnv whose calls fail on demand, as a full disk or a failing device would (LevelDB's
// ErrorEnv, KeePassXC's FailDevice).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <climits>
#include <vector>

#include "store/save_env.h"

namespace testing_support {

class FailingSaveEnv : public vkdc::SaveEnv {
  public:
    enum class Call { kWrite, kSync, kLink, kRename, kReplace, kMove };
    // After the first `pass` calls of kind `call`, `times` of them fail with `error`.
    struct Fault {
        Call call;
        int error;
        int pass = 0;
        int times = INT_MAX;
    };

    explicit FailingSaveEnv(std::vector<Fault> faults) : faults_(std::move(faults)) {}
    int calls(Call call) const { return calls_[static_cast<int>(call)]; }

#ifdef _WIN32
    uint32_t write(void* h, uint64_t at, const uint8_t* data, size_t n) override {
        return next(Call::kWrite, [&] { return SaveEnv::write(h, at, data, n); });
    }
    uint32_t sync(void* h) override {
        return next(Call::kSync, [&] { return SaveEnv::sync(h); });
    }
    uint32_t replace(const std::wstring& replaced, const std::wstring& replacement,
                     const std::wstring& backup) override {
        const uint32_t err =
            next(Call::kReplace, [&] { return SaveEnv::replace(replaced, replacement, backup); });
        // Windows fails so once the old file has moved to the backup name.
        if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            ::MoveFileExW(replaced.c_str(), backup.c_str(), 0);
        return err;
    }
    uint32_t move(const std::wstring& from, const std::wstring& to) override {
        return next(Call::kMove, [&] { return SaveEnv::move(from, to); });
    }
    void pause(uint32_t) override {}  // the attempts need not wait here
#else
    int write(int fd, uint64_t at, const uint8_t* data, size_t n) override {
        return next(Call::kWrite, [&] { return SaveEnv::write(fd, at, data, n); });
    }
    int sync(int fd) override {
        return next(Call::kSync, [&] { return SaveEnv::sync(fd); });
    }
    int link(int from_dir, const std::string& from, int to_dir, const std::string& to,
             int flags) override {
        return next(Call::kLink, [&] { return SaveEnv::link(from_dir, from, to_dir, to, flags); });
    }
    int rename(int from_dir, const std::string& from, int to_dir, const std::string& to) override {
        return next(Call::kRename, [&] { return SaveEnv::rename(from_dir, from, to_dir, to); });
    }
#endif

  private:
    template <typename Real>
    auto next(Call call, const Real& real) -> decltype(real()) {
        const int n = calls_[static_cast<int>(call)]++;
        for (const Fault& f : faults_) {
            if (f.call == call && n >= f.pass && n - f.pass < f.times)
                return static_cast<decltype(real())>(f.error);
        }
        return real();
    }

    std::vector<Fault> faults_;
    int calls_[6] = {};
};

}  // namespace testing_support
