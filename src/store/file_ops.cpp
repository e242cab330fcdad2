#include "store/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vkdc {
namespace {

using jet::Status;

std::string osError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Copies all bytes from fd `in` to fd `out`, then fsyncs `out`.
Status copyFd(int in, int out, const std::string& src, const std::string& dst) {
    std::vector<char> buf(1 << 16);
    while (true) {
        ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            return Status::ioError(osError("cannot read", src));
        }
        if (r == 0) break;
        for (ssize_t done = 0; done < r;) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(r - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return Status::ioError(osError("cannot write", dst));
            }
            done += w;
        }
    }
    if (::fsync(out) != 0) return Status::ioError(osError("cannot flush", dst));
    return Status::ok();
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

std::string tempDirectory() {
    const char* t = std::getenv("TMPDIR");
    return (t && *t) ? t : "/tmp";
}

jet::Result<std::string> makePrivateFolder(const std::string& parent, const std::string& prefix) {
    std::string templ = parent + "/" + prefix + "XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) {
        return Status::ioError(osError("cannot create a working folder in", parent));
    }
    return std::string(name.data());
}

Status copyFileExclusive(const std::string& src, const std::string& dest) {
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Status::ioError(osError("cannot open", src));
    int out = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        Status st = Status::ioError(osError("cannot create", dest));
        ::close(in);
        return st;
    }
    Status st = copyFd(in, out, src, dest);
    ::close(in);
    if (::close(out) != 0 && st.isOk()) st = Status::ioError(osError("cannot close", dest));
    if (!st.isOk()) ::unlink(dest.c_str());
    return st;
}

void removeFileAndFolder(const std::string& file, const std::string& dir) {
    if (!file.empty()) ::unlink(file.c_str());
    if (!dir.empty()) ::rmdir(dir.c_str());
}

Status copyFileAtomically(const std::string& src, const std::string& dest) {
    if (dest.empty()) return Status::invalidArgument("no destination path");
    const std::string dir = folderOf(dest);
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Status::ioError(osError("cannot open", src));
    std::string templ = dest + ".tmp-XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    int out = ::mkostemp(name.data(), O_CLOEXEC);
    if (out < 0) {
        Status st = Status::ioError(osError("cannot create a file in", dir));
        ::close(in);
        return st;
    }
    const std::string tmp(name.data());
    ::fchmod(out, 0644 & ~[] {
        mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }());
    Status st = copyFd(in, out, src, tmp);
    ::close(in);
    if (::close(out) != 0 && st.isOk()) st = Status::ioError(osError("cannot close", tmp));
    if (st.isOk() && ::rename(tmp.c_str(), dest.c_str()) != 0) {
        st = Status::ioError(osError("cannot replace", dest));
    }
    if (!st.isOk()) {
        ::unlink(tmp.c_str());
        return st;
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return Status::ok();
}

}  // namespace vkdc
