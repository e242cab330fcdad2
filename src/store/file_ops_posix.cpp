// The POSIX (Linux) form of store/file_ops.h: O_TMPFILE for files that must not outlive the
// process, flock() to tell live files of ours from a dead process's leftovers, linkat() and
// rename() for the atomic save.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "store/file_ops.h"
#include "store/save_env.h"

namespace vkdc {
namespace {

using jet::Result;
using jet::Status;

constexpr char kSaveFilePrefix[] = ".vkdc-";
constexpr size_t kRandomChars = 6;
constexpr int kAttempts = 16;

std::string osError(const std::string& what, const std::string& path, int err = errno) {
    return what + " " + path + ": " + std::strerror(err);
}

std::string randomChars() {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    std::string s;
    for (size_t i = 0; i < kRandomChars; ++i)
        s += kAlphabet[rng() % (sizeof(kAlphabet) - 1)];
    return s;
}

// A name of ours: `prefix` followed by exactly six random characters.
bool isOurName(const char* name, const std::string& prefix) {
    const size_t n = std::strlen(name);
    return n == prefix.size() + kRandomChars &&
           std::strncmp(name, prefix.c_str(), prefix.size()) == 0;
}

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

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the entries of the folder open as `dir_fd` (ours hold files only).
void removeEntries(int dir_fd) {
    int fd = ::dup(dir_fd);
    if (fd < 0)
        return;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    ::rewinddir(d);
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
            names.push_back(e->d_name);
        }
    }
    ::closedir(d);
    for (const auto& n : names)
        ::unlinkat(dir_fd, n.c_str(), 0);
}

// Names of `folder`'s entries that carry `prefix` and six random characters.
std::vector<std::string> ourEntries(int folder_fd, const std::string& prefix) {
    std::vector<std::string> names;
    int fd = ::dup(folder_fd);
    if (fd < 0)
        return names;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return names;
    }
    while (dirent* e = ::readdir(d)) {
        if (isOurName(e->d_name, prefix))
            names.push_back(e->d_name);
    }
    ::closedir(d);
    return names;
}

// Copies all of `in` to `out` from offset 0.
Status copyFd(int in, int out, const std::string& src, const std::string& dst) {
    std::vector<char> buf(1 << 16);
    while (true) {
        ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Status::ioError(osError("cannot read", src));
        }
        if (r == 0)
            return Status::ok();
        for (ssize_t done = 0; done < r;) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(r - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return Status::ioError(osError("cannot write", dst));
            }
            done += w;
        }
    }
}

// Opens `path` for reading without blocking on a FIFO; refuses anything but a regular file.
Result<int> openRegularForReading(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return Status::ioError(osError("cannot open", path));
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return Status::ioError(osError("cannot open", path));
    if (!S_ISREG(st.st_mode)) {
        return Status::ioError("cannot open " + path + ": not a regular file (" +
                               kindOf(st.st_mode) + ")");
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd.release();
}

// An unnamed file in the folder open as `dir_fd`, or -1 when the file system does not offer
// them (errno then says why).
int openUnnamed(int dir_fd) {
#ifdef O_TMPFILE
    return ::openat(dir_fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#else
    (void)dir_fd;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

bool unnamedUnsupported(int err) {
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

// A new file `prefix`XXXXXX in the folder open as `dir_fd`, created and locked; the name is
// checked after locking, so a concurrent sweep that took it for a leftover cannot hand us a
// removed file.
Result<int> createLockedNamed(int dir_fd, const std::string& folder, const std::string& prefix,
                              std::string& name) {
    for (int i = 0; i < kAttempts; ++i) {
        name = prefix + randomChars();
        Fd fd(::openat(dir_fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            return Status::ioError(osError("cannot create a file in", folder));
        }
        ::flock(fd.get(), LOCK_EX);
        struct stat mine, named;
        if (::fstat(fd.get(), &mine) == 0 &&
            ::fstatat(dir_fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameInode(mine, named)) {
            return fd.release();
        }
    }
    return Status::ioError("cannot create a file in " + folder + ": no free name");
}

// The path that reaches the open file `fd`, named or not, for linkat(AT_SYMLINK_FOLLOW).
std::string pathOfDescriptor(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// Saves the working file open as `fd`, reachable as `from`, at `dest` by linking it there; see
// WorkingCopy::saveAs. `moved` false: no link could be made and nothing was done.
Status moveIntoPlace(int fd, const std::string& from, const std::string& dest,
                     const ReplaceOptions& options, bool& moved);

// Writes the working copy out at `dest` (WorkingCopy::saveAs where no link can be made).
Status copyIntoPlace(WorkingCopy& copy, const std::string& dest, const ReplaceOptions& options) {
    JET_ASSIGN_OR_RETURN(std::unique_ptr<jet::File> file, copy.open());
    return replaceFile(*file, dest, options);
}

// ---- Private folders ----------------------------------------------------------------------

class PosixPrivateFolder final : public PrivateFolder {
  public:
    PosixPrivateFolder(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~PosixPrivateFolder() override {
        removeEntries(fd_.get());
        ::rmdir(path_.c_str());
    }
    const std::string& path() const override { return path_; }

  private:
    std::string path_;
    Fd fd_;  // holds the lock
};

// ---- Working copies -----------------------------------------------------------------------

class UnnamedCopy final : public WorkingCopy {
  public:
    UnnamedCopy(std::string folder, std::string path, int fd)
        : folder_(std::move(folder)), path_(std::move(path)), fd_(fd) {}
    const std::string& folder() const override { return folder_; }
    const std::string& path() const override { return path_; }
    bool unnamed() const override { return true; }
    Result<std::unique_ptr<jet::File>> open() override {
        int fd = ::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            return Status::ioError(osError("cannot reopen", path_));
        return jet::fileFromDescriptor(fd, path_);
    }
    Status saveAs(const std::string& dest, const ReplaceOptions& options) override {
        if (!saved_) {
            bool moved = false;
            Status st = moveIntoPlace(fd_.get(), pathOfDescriptor(fd_.get()), dest, options, moved);
            ::flock(fd_.get(), LOCK_UN);
            saved_ = moved;
            if (moved || !st.isOk())
                return st;
        }
        return copyIntoPlace(*this, dest, options);
    }

  private:
    std::string folder_;
    std::string path_;
    Fd fd_;
    bool saved_ = false;  // linked beside a destination once: later saves copy
};

class NamedCopy final : public WorkingCopy {
  public:
    NamedCopy(std::unique_ptr<PrivateFolder> folder, std::string path)
        : folder_(std::move(folder)), path_(std::move(path)) {}
    const std::string& folder() const override { return folder_->path(); }
    const std::string& path() const override { return path_; }
    bool unnamed() const override { return false; }
    Result<std::unique_ptr<jet::File>> open() override { return jet::openFileReadWrite(path_); }
    Status saveAs(const std::string& dest, const ReplaceOptions& options) override {
        if (!saved_) {
            Fd fd(::open(path_.c_str(), O_RDWR | O_CLOEXEC));
            if (fd.get() < 0)
                return Status::ioError(osError("cannot open", path_));
            bool moved = false;
            Status st = moveIntoPlace(fd.get(), path_, dest, options, moved);
            saved_ = moved;
            if (moved || !st.isOk())
                return st;
        }
        return copyIntoPlace(*this, dest, options);
    }

  private:
    std::unique_ptr<PrivateFolder> folder_;  // removes the file with itself
    std::string path_;
    bool saved_ = false;  // linked beside a destination once: later saves copy
};

}  // namespace

// ---- What a path names --------------------------------------------------------------------

Result<FileInfo> fileInfo(const std::string& path) {
    FileInfo info;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return info;
        return Status::ioError(osError("cannot look at", path));
    }
    info.kind = S_ISREG(st.st_mode)   ? FileKind::kRegular
                : S_ISDIR(st.st_mode) ? FileKind::kFolder
                                      : FileKind::kOther;
    if (info.kind != FileKind::kRegular)
        info.what = kindOf(st.st_mode);
    info.permissions = st.st_mode & 0777;
    info.device = st.st_dev;
    info.inode = st.st_ino;
    return info;
}

bool sameFile(const std::string& a, const std::string& b) {
    auto x = fileInfo(a);
    auto y = fileInfo(b);
    return x && y && x->sameFileAs(*y);
}

bool heldByAnotherProcess(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;  // conflicts with any lock another process holds
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK)
        return true;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd.get(), LOCK_UN);
    return false;
}

std::string canonicalPath(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf))
        return buf;
    return path;
}

Result<std::string> resolveDestination(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return p;  // a new file; whoever saves checks its folder
            return Status::ioError(osError("cannot look at", path));
        }
        if (!S_ISLNK(st.st_mode))
            return p;
        std::vector<char> buf(PATH_MAX);
        const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n < 0)
            return Status::ioError(osError("cannot read the link", p));
        const std::string target(buf.data(), static_cast<size_t>(n));
        const std::string folder = folderOf(p);
        if (target.front() == '/' || folder == ".")
            p = target;
        else
            p = (folder == "/" ? "" : folder) + "/" + target;
    }
    return Status::ioError(path + ": " + std::strerror(ELOOP));
}

std::vector<std::string> namesOf(const std::string& path) {
    std::vector<std::string> names{path};
    const auto add = [&names](const std::string& name) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    if (auto target = resolveDestination(path))
        add(*target);
    add(canonicalPath(path));
    return names;
}

bool openedWithoutSharing(const std::string&) {
    return false;  // Linux has no sharing modes
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool isEntryOf(const std::string& path, const std::string& folder, const std::string& name) {
    const size_t slash = path.find_last_of('/');
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    if (last != name)
        return false;
    auto here = fileInfo(folderOf(path));
    auto there = fileInfo(folder);
    return here && there && here->kind == FileKind::kFolder && here->sameFileAs(*there);
}

std::string tempDirectory() {
    const char* t = std::getenv("TMPDIR");
    return (t && *t) ? t : "/tmp";
}

Status removeFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return Status::ioError(osError("cannot remove", path));
    return Status::ok();
}

Status renameOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return Status::ioError("cannot rename " + from + " to " + to + ": " + std::strerror(errno));
    return Status::ok();
}

// ---- Private folders and leftovers --------------------------------------------------------

Result<std::unique_ptr<PrivateFolder>> PrivateFolder::create(const std::string& parent,
                                                             const std::string& prefix) {
    for (int i = 0; i < kAttempts; ++i) {
        std::string templ = parent + "/" + prefix + "XXXXXX";
        if (!::mkdtemp(templ.data())) {
            return Status::ioError(osError("cannot create a working folder in", parent));
        }
        Fd fd(::open(templ.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() < 0)
            continue;
        ::flock(fd.get(), LOCK_EX);
        // A sweep may have taken the folder for a leftover before we locked it.
        struct stat mine, named;
        if (::fstat(fd.get(), &mine) == 0 && ::lstat(templ.c_str(), &named) == 0 &&
            sameInode(mine, named)) {
            return std::unique_ptr<PrivateFolder>(new PosixPrivateFolder(templ, fd.release()));
        }
    }
    return Status::ioError("cannot create a working folder in " + parent);
}

void removeStaleFolders(const std::string& parent, const std::string& prefix) {
    Fd dir(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return;
    for (const std::string& name : ourEntries(dir.get(), prefix)) {
        Fd fd(::openat(dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st;
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid())
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;  // its owner is alive
        removeEntries(fd.get());
        ::unlinkat(dir.get(), name.c_str(), AT_REMOVEDIR);
    }
}

void removeStaleSaveFiles(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return;
    for (const std::string& name : ourEntries(dir.get(), kSaveFilePrefix)) {
        const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        Fd fd(::openat(dir.get(), name.c_str(), O_RDONLY | flags));
        if (fd.get() < 0)
            fd.reset(::openat(dir.get(), name.c_str(), O_WRONLY | flags));
        struct stat st, named;
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid()) {
            continue;
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;  // a save in progress
        if (::fstatat(dir.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameInode(st, named)) {
            ::unlinkat(dir.get(), name.c_str(), 0);
        }
    }
}

// ---- Working copies -----------------------------------------------------------------------

Result<std::unique_ptr<WorkingCopy>> WorkingCopy::create(const std::string& src,
                                                         const std::string& dir,
                                                         const std::string& name,
                                                         bool allow_unnamed) {
    JET_ASSIGN_OR_RETURN(int in_fd, openRegularForReading(src));
    Fd in(in_fd);
    if (allow_unnamed) {
        Fd dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir_fd.get() < 0)
            return Status::ioError(osError("cannot open the folder", dir));
        Fd out(openUnnamed(dir_fd.get()));
        if (out.get() >= 0) {
            // Connection strings name the copy; no file exists under that name.
            const std::string folder = dir + "/(unnamed)";
            const std::string path = folder + "/" + name;
            JET_RETURN_IF_ERROR(copyFd(in.get(), out.get(), src, path));
            return std::unique_ptr<WorkingCopy>(new UnnamedCopy(folder, path, out.release()));
        }
        if (!unnamedUnsupported(errno)) {
            return Status::ioError(osError("cannot create a working file in", dir));
        }
    }
    JET_ASSIGN_OR_RETURN(std::unique_ptr<PrivateFolder> folder,
                         PrivateFolder::create(dir, kWorkFolderPrefix));
    const std::string path = folder->path() + "/" + name;
    Fd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return Status::ioError(osError("cannot create", path));
    JET_RETURN_IF_ERROR(copyFd(in.get(), out.get(), src, path));
    if (::close(out.release()) != 0)
        return Status::ioError(osError("cannot close", path));
    return std::unique_ptr<WorkingCopy>(new NamedCopy(std::move(folder), path));
}

// ---- The atomic save ----------------------------------------------------------------------

namespace {

SaveEnv& envOf(const ReplaceOptions& options) {
    return options.env ? *options.env : systemSaveEnv();
}

// Errors of linkat() that mean no link can be made there, so the file is written out instead:
// another file system, one without hard links, a file with too many, no /proc.
bool cannotLinkHere(int err) {
    return err == EXDEV || err == EPERM || err == EOPNOTSUPP || err == EMLINK || err == ENOSYS ||
           err == ENOENT;
}

// Where a save puts its file, and what the file gets there.
struct SaveTarget {
    std::string path;    // the destination with symbolic links followed: the file replaced
    std::string folder;  // its folder, open as `dir`
    std::string name;    // its last component
    Fd dir;
    uid_t uid = static_cast<uid_t>(-1);  // an existing destination's owner; -1: the saver
    gid_t gid = static_cast<gid_t>(-1);  // its group, or the group a new file takes there
    uint32_t permissions = 0600;
};

// Gives the file open as `fd` the owner, group and permission bits of `t`; 0 or errno.
int takeOwnerAndMode(int fd, const SaveTarget& t) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return errno;
    const bool other_owner = t.uid != static_cast<uid_t>(-1) && st.st_uid != t.uid;
    if ((other_owner || st.st_gid != t.gid) && ::fchown(fd, t.uid, t.gid) != 0)
        return errno;
    // After fchown(), which may clear mode bits.
    return ::fchmod(fd, t.permissions) == 0 ? 0 : errno;
}

// Makes the working copy open as `fd` this process's alone again after a save that did not
// keep it.
void takeBack(int fd) {
    ::fchmod(fd, 0600);
    if (::fchown(fd, ::geteuid(), ::getegid()) != 0) {
        // Still mode 0600, unnamed or in a folder of ours: no one else reaches it.
    }
}

// Gives the file at `from` a name of ours in `t`'s folder: true with `name` set, or false when
// no link can be made there (cannotLinkHere) and the file must be written out instead.
Result<bool> linkBeside(SaveEnv& env, const std::string& from, const SaveTarget& t,
                        std::string& name) {
    for (int i = 0; i < kAttempts; ++i) {
        name = kSaveFilePrefix + randomChars();
        const int err = env.link(AT_FDCWD, from, t.dir.get(), name, AT_SYMLINK_FOLLOW);
        if (err == 0)
            return true;
        if (err == EEXIST)
            continue;
        name.clear();
        if (cannotLinkHere(err))
            return false;
        return Status::ioError(osError("cannot make a file in", t.folder, err));
    }
    name.clear();
    return Status::ioError("cannot make a file in " + t.folder + ": no free name");
}

// Writes all of `src` into `fd` from offset 0, gives it `t`'s owner, group and permission bits
// and syncs it.
Status fillTemporary(SaveEnv& env, jet::File& src, int fd, const SaveTarget& t,
                     const std::string& dest) {
    JET_ASSIGN_OR_RETURN(uint64_t size, src.size());
    std::vector<uint8_t> buf(1 << 16);
    for (uint64_t off = 0; off < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), size - off));
        JET_RETURN_IF_ERROR(src.readAt(off, n, buf.data()));
        if (const int err = env.write(fd, off, buf.data(), n))
            return Status::ioError(osError("cannot write a file in", t.folder, err));
        off += n;
    }
    if (const int err = takeOwnerAndMode(fd, t)) {
        return Status::ioError(
            osError("cannot give the new file the owner, group and permissions of", dest, err));
    }
    if (const int err = env.sync(fd))
        return Status::ioError(osError("cannot flush a file in", t.folder, err));
    return Status::ok();
}

// Refuses a `dest` that is not a regular file, follows its symbolic links, works out what the
// new file gets there, removes stale files of ours beside it and opens its folder.
Result<SaveTarget> prepareSave(const std::string& dest, const ReplaceOptions& options) {
    if (dest.empty())
        return Status::invalidArgument("no destination path given");
    SaveTarget t;
    JET_ASSIGN_OR_RETURN(t.path, resolveDestination(dest));
    struct stat before;
    const bool exists = ::stat(t.path.c_str(), &before) == 0;
    if (!exists && errno != ENOENT)
        return Status::ioError(osError("cannot look at", dest));
    if (exists && S_ISDIR(before.st_mode))
        return Status::ioError(dest + ": is a folder");
    if (exists && !S_ISREG(before.st_mode)) {
        return Status::ioError(dest + ": is " + kindOf(before.st_mode) +
                               ", not a regular file; only a regular file is replaced");
    }
    t.folder = folderOf(t.path);
    t.name = t.path.substr(t.path.find_last_of('/') + 1);
    removeStaleSaveFiles(t.folder);
    t.dir.reset(::open(t.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat folder;
    if (t.dir.get() < 0 || ::fstat(t.dir.get(), &folder) != 0)
        return Status::ioError(osError("cannot open the folder", t.folder));
    if (exists) {
        t.uid = before.st_uid;
        t.gid = before.st_gid;
        t.permissions = before.st_mode & 0777;
    } else {
        // A folder with the set-group-ID bit gives the files made in it its own group.
        t.gid = (folder.st_mode & S_ISGID) ? folder.st_gid : ::getegid();
        t.permissions = options.new_file_permissions & 0777;
    }
    return t;
}

// The complete, synced file `name` beside the destination: the check, then the rename over it
// and fsync of the folder. On failure `name` is removed and the destination is as it was.
Status finishSave(const SaveTarget& t, const std::string& name, const std::string& dest,
                  const ReplaceOptions& options) {
    const Status st = [&]() -> Status {
        if (options.check)
            JET_RETURN_IF_ERROR(options.check(t.folder + "/" + name));
        // The destination may have changed meanwhile; never put a file over a FIFO or device.
        JET_ASSIGN_OR_RETURN(FileInfo now, fileInfo(t.path));
        if (now.kind == FileKind::kFolder || now.kind == FileKind::kOther)
            return Status::ioError(dest + ": is " + now.what + ", not a regular file");
        if (const int err = envOf(options).rename(t.dir.get(), name, t.dir.get(), t.name))
            return Status::ioError(osError("cannot replace", dest, err));
        return Status::ok();
    }();
    if (!st.isOk()) {
        ::unlinkat(t.dir.get(), name.c_str(), 0);
        return st;
    }
    // Makes the rename itself durable. The new file is in place and complete whatever this
    // says, and the old one is gone: there is nothing left to undo.
    ::fsync(t.dir.get());
    return Status::ok();
}

Status moveIntoPlace(int fd, const std::string& from, const std::string& dest,
                     const ReplaceOptions& options, bool& moved) {
    moved = false;
    JET_ASSIGN_OR_RETURN(SaveTarget t, prepareSave(dest, options));
    // Locked before it has a name there, so no sweep takes it for a leftover.
    ::flock(fd, LOCK_EX);
    if (takeOwnerAndMode(fd, t) != 0) {
        // An owner or group that is not ours to give: a file made in dest's folder may still
        // get it, as a new file in a set-group-ID folder does.
        takeBack(fd);
        return Status::ok();
    }
    const Status st = [&]() -> Status {
        if (const int err = envOf(options).sync(fd))
            return Status::ioError(osError("cannot flush the working copy for", dest, err));
        std::string name;
        JET_ASSIGN_OR_RETURN(moved, linkBeside(envOf(options), from, t, name));
        return moved ? finishSave(t, name, dest, options) : Status::ok();
    }();
    if (!moved || !st.isOk())
        takeBack(fd);
    return st;
}

}  // namespace

Status replaceFile(jet::File& src, const std::string& dest, const ReplaceOptions& options) {
    SaveEnv& env = envOf(options);
    JET_ASSIGN_OR_RETURN(SaveTarget t, prepareSave(dest, options));
    // The temporary file: unnamed while it is written, then linked under a name of ours so it
    // can be checked and renamed; locked from birth, so no sweep takes it for a leftover.
    std::string name;
    Fd tmp;
    if (options.allow_unnamed) {
        Fd unnamed(openUnnamed(t.dir.get()));
        if (unnamed.get() < 0 && !unnamedUnsupported(errno)) {
            return Status::ioError(osError("cannot create a file in", t.folder));
        }
        if (unnamed.get() >= 0) {
            ::flock(unnamed.get(), LOCK_EX);
            JET_RETURN_IF_ERROR(fillTemporary(env, src, unnamed.get(), t, dest));
            JET_ASSIGN_OR_RETURN(bool linked,
                                 linkBeside(env, pathOfDescriptor(unnamed.get()), t, name));
            if (linked)
                tmp.reset(unnamed.release());
        }
    }
    if (tmp.get() < 0) {
        JET_ASSIGN_OR_RETURN(int fd,
                             createLockedNamed(t.dir.get(), t.folder, kSaveFilePrefix, name));
        tmp.reset(fd);
        if (Status st = fillTemporary(env, src, tmp.get(), t, dest); !st.isOk()) {
            ::unlinkat(t.dir.get(), name.c_str(), 0);
            return st;
        }
    }
    return finishSave(t, name, dest, options);
}

}  // namespace vkdc
