// Random-access files. The engine reads and writes only through this interface, so tests
// can substitute a file that fails after N bytes, and the reader can be proven never to
// write to its source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "jet/status.h"

namespace jet {

class File {
  public:
    virtual ~File() = default;

    // Reads exactly n bytes at offset; a read that reaches past the end is an error of kind
    // kCorrupt ("file ends at byte ...") because every caller expects whole pages.
    virtual Status readAt(uint64_t offset, size_t n, uint8_t* dst) = 0;
    // Writes all n bytes at offset, extending the file when needed.
    virtual Status writeAt(uint64_t offset, const uint8_t* src, size_t n) = 0;
    virtual Result<uint64_t> size() = 0;
    // Forces written data to stable storage (fsync). A failure here means data may be lost.
    virtual Status sync() = 0;
    // Human-readable name for messages (normally the path).
    virtual const std::string& name() const = 0;
};

// Each open refuses a path that is not a regular file (a folder, FIFO, device or socket) with
// kIoError saying so, and never blocks on one: a FIFO with no writer must not hang the caller.

// Opens an existing file for reading only: no lock, nothing created beside it. On Windows the
// file stays open to others for reading, writing and deleting.
Result<std::unique_ptr<File>> openFileReadOnly(const std::string& path);
// Opens an existing file for reading and writing.
Result<std::unique_ptr<File>> openFileReadWrite(const std::string& path);
// Creates (or truncates) a file for reading and writing, mode 0644 before umask.
Result<std::unique_ptr<File>> createFile(const std::string& path);
#ifdef _WIN32
// A File over an open Windows file HANDLE, which it then owns and closes. `name` is used in
// messages.
Result<std::unique_ptr<File>> fileFromHandle(void* handle, std::string name);
#else
// A File over an open POSIX file descriptor, which it then owns and closes. `name` is used in
// messages.
Result<std::unique_ptr<File>> fileFromDescriptor(int fd, std::string name);
#endif

}  // namespace jet
