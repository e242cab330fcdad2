// The Windows form of jet/file.h: CreateFileW, ReadFile/WriteFile at offsets, FlushFileBuffers.
// Files are opened sharing read, write and delete, so another program that holds one open
// does not stop us, and we do not stop it.
#include <windows.h>

#include "jet/file.h"
#include "jet/win32.h"

namespace jet {
namespace {

class WinFile final : public File {
  public:
    WinFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    ~WinFile() override { ::CloseHandle(h_); }

    Status readAt(uint64_t offset, size_t n, uint8_t* dst) override {
        size_t done = 0;
        while (done < n) {
            OVERLAPPED at = overlappedAt(offset + done);
            const DWORD want = chunk(n - done);
            DWORD got = 0;
            if (!::ReadFile(h_, dst + done, want, &got, &at)) {
                const DWORD err = ::GetLastError();
                if (err != ERROR_HANDLE_EOF)
                    return Status::ioError(path_ + ": read failed: " + win::errorText(err));
                got = 0;
            }
            if (got == 0) {
                return Status::corrupt(path_ + ": file ends at byte " +
                                       std::to_string(offset + done) + ", expected " +
                                       std::to_string(offset + n));
            }
            done += got;
        }
        return Status::ok();
    }

    Status writeAt(uint64_t offset, const uint8_t* src, size_t n) override {
        size_t done = 0;
        while (done < n) {
            OVERLAPPED at = overlappedAt(offset + done);
            DWORD put = 0;
            if (!::WriteFile(h_, src + done, chunk(n - done), &put, &at)) {
                return Status::ioError(path_ +
                                       ": write failed: " + win::errorText(::GetLastError()));
            }
            done += put;
        }
        return Status::ok();
    }

    Result<uint64_t> size() override {
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(h_, &size)) {
            return Status::ioError(path_ +
                                   ": cannot get its size: " + win::errorText(::GetLastError()));
        }
        return static_cast<uint64_t>(size.QuadPart);
    }

    Status sync() override {
        if (!::FlushFileBuffers(h_)) {
            return Status::ioError(path_ + ": flush failed: " + win::errorText(::GetLastError()));
        }
        return Status::ok();
    }

    const std::string& name() const override { return path_; }

  private:
    static OVERLAPPED overlappedAt(uint64_t offset) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        return at;
    }
    static DWORD chunk(size_t n) { return static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30)); }

    HANDLE h_;
    std::string path_;
};

// Opens `path` and refuses anything but a regular file on a disk (a folder, a device, a pipe)
// before a byte is read or written.
Result<std::unique_ptr<File>> openWith(const std::string& path, DWORD access, DWORD disposition,
                                       const char* what) {
    const std::wstring wide = win::apiPath(path);
    const DWORD attrs = ::GetFileAttributesW(wide.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        return Status::ioError(path + ": cannot " + what + ": is a folder");
    }
    HANDLE h =
        ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Status::ioError(path + ": cannot " + what + ": " + win::errorText(::GetLastError()));
    }
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return Status::ioError(path + ": cannot " + what + ": not a regular file (a device)");
    }
    return std::unique_ptr<File>(new WinFile(h, path));
}

}  // namespace

Result<std::unique_ptr<File>> openFileReadOnly(const std::string& path) {
    return openWith(path, GENERIC_READ, OPEN_EXISTING, "open");
}

Result<std::unique_ptr<File>> openFileReadWrite(const std::string& path) {
    return openWith(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, "open for writing");
}

Result<std::unique_ptr<File>> createFile(const std::string& path) {
    return openWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, "create");
}

Result<std::unique_ptr<File>> fileFromHandle(void* handle, std::string name) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return Status::invalidArgument(name + ": no open file");
    return std::unique_ptr<File>(new WinFile(static_cast<HANDLE>(handle), std::move(name)));
}

}  // namespace jet
