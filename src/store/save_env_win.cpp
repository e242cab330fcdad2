#include <windows.h>

#include "store/save_env.h"

namespace vkdc {

uint32_t SaveEnv::write(void* handle, uint64_t offset, const uint8_t* data, size_t n) {
    for (size_t done = 0; done < n;) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD put = 0;
        if (!::WriteFile(handle, data + done, static_cast<DWORD>(n - done), &put, &at))
            return ::GetLastError();
        done += put;
    }
    return 0;
}

uint32_t SaveEnv::sync(void* handle) {
    return ::FlushFileBuffers(handle) ? 0 : ::GetLastError();
}

uint32_t SaveEnv::replace(const std::wstring& replaced, const std::wstring& replacement,
                          const std::wstring& backup) {
    return ::ReplaceFileW(replaced.c_str(), replacement.c_str(), backup.c_str(),
                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
               ? 0
               : ::GetLastError();
}

uint32_t SaveEnv::move(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : ::GetLastError();
}

void SaveEnv::pause(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

SaveEnv& systemSaveEnv() {
    static SaveEnv env;
    return env;
}

}  // namespace vkdc
