#include "jet/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace jet {
namespace {

std::string errnoText(int err) {
    return std::strerror(err);
}

class PosixFile final : public File {
  public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

    Status readAt(uint64_t offset, size_t n, uint8_t* dst) override {
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, dst + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return Status::ioError(path_ + ": read failed: " + errnoText(errno));
            }
            if (r == 0) {
                return Status::corrupt(path_ + ": file ends at byte " +
                                       std::to_string(offset + done) + ", expected " +
                                       std::to_string(offset + n));
            }
            done += static_cast<size_t>(r);
        }
        return Status::ok();
    }

    Status writeAt(uint64_t offset, const uint8_t* src, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t w = ::pwrite(fd_, src + done, n - done, static_cast<off_t>(offset + done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return Status::ioError(path_ + ": write failed: " + errnoText(errno));
            }
            done += static_cast<size_t>(w);
        }
        return Status::ok();
    }

    Result<uint64_t> size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) {
            return Status::ioError(path_ + ": cannot stat: " + errnoText(errno));
        }
        return static_cast<uint64_t>(st.st_size);
    }

    Status sync() override {
        if (::fsync(fd_) != 0) {
            return Status::ioError(path_ + ": fsync failed: " + errnoText(errno));
        }
        return Status::ok();
    }

    const std::string& name() const override { return path_; }

  private:
    int fd_;
    std::string path_;
};

// "a FIFO", "a device", ...: what a path names when it is not a regular file.
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// Opens without blocking, so a FIFO cannot hang the open, then refuses anything that is not a
// regular file before a byte is read or written.
Result<std::unique_ptr<File>> openWith(const std::string& path, int flags, const char* what) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        int err = errno;
        return Status::ioError(path + ": cannot " + what + ": " + errnoText(err));
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return Status::ioError(path + ": cannot " + what + ": " + errnoText(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode)) {
            return Status::ioError(path + ": cannot " + what + ": " + errnoText(EISDIR));
        }
        return Status::ioError(path + ": cannot " + what + ": not a regular file (" +
                               kindOf(st.st_mode) + ")");
    }
    // Regular files never block; clear the flag so nothing downstream sees it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<File>(new PosixFile(fd, path));
}

}  // namespace

Result<std::unique_ptr<File>> openFileReadOnly(const std::string& path) {
    return openWith(path, O_RDONLY, "open");
}

Result<std::unique_ptr<File>> openFileReadWrite(const std::string& path) {
    return openWith(path, O_RDWR, "open for writing");
}

Result<std::unique_ptr<File>> createFile(const std::string& path) {
    return openWith(path, O_RDWR | O_CREAT | O_TRUNC, "create");
}

Result<std::unique_ptr<File>> fileFromDescriptor(int fd, std::string name) {
    if (fd < 0)
        return Status::invalidArgument(name + ": no open file");
    return std::unique_ptr<File>(new PosixFile(fd, std::move(name)));
}

}  // namespace jet
