// A SaveEnv whose calls fail on demand, as a full disk or a failing device would (LevelDB's
// ErrorEnv, KeePassXC's FailDevice): each fault names a kind of call, lets the first `pass`
// calls of that kind through and fails every later one with `error`, or only `times` of them.
#pragma once

#include <climits>
#include <map>
#include <utility>

#include "store/save_env.h"

namespace testing_support {

class FailingSaveEnv : public vkdc::SaveEnv {
  public:
    enum class Call { kWrite, kSync, kLink, kRename, kReplace, kMove };

    FailingSaveEnv& fail(Call call, int error, int pass = 0, int times = INT_MAX) {
        faults_[call] = {error, pass, times};
        return *this;
    }
    int calls(Call call) const {
        const auto it = calls_.find(call);
        return it == calls_.end() ? 0 : it->second;
    }

#ifdef _WIN32
    uint32_t write(void* h, uint64_t at, const uint8_t* data, size_t n) override {
        return next(Call::kWrite, [&] { return SaveEnv::write(h, at, data, n); });
    }
    uint32_t sync(void* h) override {
        return next(Call::kSync, [&] { return SaveEnv::sync(h); });
    }
    uint32_t replace(const std::wstring& replaced, const std::wstring& replacement,
                     const std::wstring& backup) override {
        return next(Call::kReplace,
                    [&] { return SaveEnv::replace(replaced, replacement, backup); });
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
    struct Fault {
        int error;
        int pass;
        int times;
    };

    template <typename Real>
    auto next(Call call, const Real& real) -> decltype(real()) {
        const int n = calls_[call]++;
        const auto it = faults_.find(call);
        if (it != faults_.end() && n >= it->second.pass && n - it->second.pass < it->second.times)
            return static_cast<decltype(real())>(it->second.error);
        return real();
    }

    std::map<Call, Fault> faults_;
    std::map<Call, int> calls_;
};

}  // namespace testing_support
