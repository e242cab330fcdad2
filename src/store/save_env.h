// The system calls under a save (store/file_ops.h), behind one small interface in the spirit of
// LevelDB's Env: the save makes them through a SaveEnv, systemSaveEnv() by default. A test
// derives from it and makes one call fail (a full disk, a failed fsync, link, rename or
// replace) to check that the save reports it, leaves the destination as it was and nothing
// beside it.
//
// Each call returns 0, or the system's error number (errno on POSIX, GetLastError() on
// Windows) when it failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vkdc {

class SaveEnv {
  public:
    virtual ~SaveEnv() = default;

#ifdef _WIN32
    // WriteFile of all `n` bytes at `offset` of the open file `handle`.
    virtual uint32_t write(void* handle, uint64_t offset, const uint8_t* data, size_t n);
    // FlushFileBuffers.
    virtual uint32_t sync(void* handle);
    // ReplaceFileW: `replacement` takes the place of `replaced`, which moves to `backup`.
    virtual uint32_t replace(const std::wstring& replaced, const std::wstring& replacement,
                             const std::wstring& backup);
    // MoveFileExW without replacing anything, written through.
    virtual uint32_t move(const std::wstring& from, const std::wstring& to);
    // Waits between the attempts of a replace that another program holds up.
    virtual void pause(uint32_t milliseconds);
#else
    // pwrite of all `n` bytes at `offset` of `fd`.
    virtual int write(int fd, uint64_t offset, const uint8_t* data, size_t n);
    // fsync.
    virtual int sync(int fd);
    // linkat.
    virtual int link(int from_dir, const std::string& from, int to_dir, const std::string& to,
                     int flags);
    // renameat.
    virtual int rename(int from_dir, const std::string& from, int to_dir, const std::string& to);
#endif
};

// The real system calls.
SaveEnv& systemSaveEnv();

}  // namespace vkdc
