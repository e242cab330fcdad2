// The Windows form of store/file_ops.h. Working files are opened FILE_FLAG_DELETE_ON_CLOSE, so a
// killed run leaves nothing; a save's temporary file is marked for deletion while it is written
// and unmarked only to be checked and moved into place (ReplaceFileW over an existing file,
// which keeps its ACL and attributes; MoveFileExW otherwise). Live files of ours are told from a
// dead process's leftovers by the sharing violation an exclusive open meets.
#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "jet/win32.h"
#include "store/file_ops.h"

namespace vkdc {
namespace {

using jet::Result;
using jet::Status;
using jet::win::apiPath;
using jet::win::errorText;
using jet::win::narrow;

constexpr char kSaveFilePrefix[] = ".vkdc-";
constexpr char kLockName[] = "vkdc.lock";
constexpr size_t kRandomChars = 6;
constexpr int kAttempts = 16;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string osError(const std::string& what, const std::string& path,
                    DWORD err = ::GetLastError()) {
    return what + " " + path + ": " + errorText(err);
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

class Handle {
  public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (valid())
            ::CloseHandle(h_);
        h_ = h;
    }

  private:
    HANDLE h_;
};

bool isMissing(DWORD err) {
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ||
           err == ERROR_INVALID_NAME || err == ERROR_BAD_NETPATH || err == ERROR_INVALID_DRIVE;
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string lastComponent(const std::string& path) {
    const size_t sep = path.find_last_of("/\\:");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// Windows file names compare without regard to case (ASCII letters here).
bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The names in `folder` that carry `prefix` and six random characters.
std::vector<std::string> ourEntries(const std::string& folder, const std::string& prefix,
                                    bool folders) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(apiPath(folder + "/" + prefix + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = narrow(found.cFileName);
        const bool is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (is_folder == folders && name.size() == prefix.size() + kRandomChars &&
            name.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(name);
        }
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
}

// Removes the files in `folder` (ours hold files only), then the folder.
void removeFolder(const std::string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(apiPath(folder + "/*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW(apiPath(folder + "/" + narrow(found.cFileName)).c_str());
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(apiPath(folder).c_str());
}

// Opens `path` for reading; refuses anything but a regular file.
Result<HANDLE> openRegularForReading(const std::string& path) {
    const DWORD attrs = ::GetFileAttributesW(apiPath(path).c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
        return Status::ioError("cannot open " + path + ": not a regular file (a folder)");
    Handle h(::CreateFileW(apiPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid())
        return Status::ioError(osError("cannot open", path));
    if (::GetFileType(h.get()) != FILE_TYPE_DISK)
        return Status::ioError("cannot open " + path + ": not a regular file (a device)");
    return h.release();
}

Status writeAll(HANDLE h, uint64_t offset, const uint8_t* data, size_t n,
                const std::string& where) {
    for (size_t done = 0; done < n;) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD put = 0;
        if (!::WriteFile(h, data + done, static_cast<DWORD>(n - done), &put, &at))
            return Status::ioError(osError("cannot write a file in", where));
        done += put;
    }
    return Status::ok();
}

// Copies all of `src` into `h` from offset 0 and flushes it to the disk.
Status fillFrom(jet::File& src, HANDLE h, const std::string& where) {
    JET_ASSIGN_OR_RETURN(uint64_t size, src.size());
    std::vector<uint8_t> buf(1 << 16);
    for (uint64_t off = 0; off < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), size - off));
        JET_RETURN_IF_ERROR(src.readAt(off, n, buf.data()));
        JET_RETURN_IF_ERROR(writeAll(h, off, buf.data(), n, where));
        off += n;
    }
    if (!::FlushFileBuffers(h))
        return Status::ioError(osError("cannot flush a file in", where));
    return Status::ok();
}

// Marks the file open as `h` to be deleted when its last handle closes, or unmarks it.
bool setDeleteOnClose(HANDLE h, bool del) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = del ? TRUE : FALSE;
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) != 0;
}

// ---- Private folders ----------------------------------------------------------------------

class WinPrivateFolder final : public PrivateFolder {
  public:
    WinPrivateFolder(std::string path, HANDLE lock) : path_(std::move(path)), lock_(lock) {}
    ~WinPrivateFolder() override {
        lock_.reset();
        removeFolder(path_);
    }
    const std::string& path() const override { return path_; }

  private:
    std::string path_;
    Handle lock_;  // "vkdc.lock", open with no sharing while the folder is in use
};

// ---- Working copies -----------------------------------------------------------------------

class DeleteOnCloseCopy final : public WorkingCopy {
  public:
    DeleteOnCloseCopy(std::string folder, std::string path, HANDLE h)
        : folder_(std::move(folder)), path_(std::move(path)), h_(h) {}
    const std::string& folder() const override { return folder_; }
    const std::string& path() const override { return path_; }
    bool unnamed() const override { return true; }
    Result<std::unique_ptr<jet::File>> open() override {
        HANDLE dup = INVALID_HANDLE_VALUE;
        if (!::DuplicateHandle(::GetCurrentProcess(), h_.get(), ::GetCurrentProcess(), &dup, 0,
                               FALSE, DUPLICATE_SAME_ACCESS)) {
            return Status::ioError(osError("cannot reopen", path_));
        }
        return jet::fileFromHandle(dup, path_);
    }
    // A file that goes with its last handle cannot become another: it is written out.
    Status saveAs(const std::string& dest, const ReplaceOptions& options) override {
        JET_ASSIGN_OR_RETURN(std::unique_ptr<jet::File> file, open());
        return replaceFile(*file, dest, options);
    }

  private:
    std::string folder_;
    std::string path_;
    Handle h_;  // the file goes when its last handle does
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
        JET_ASSIGN_OR_RETURN(std::unique_ptr<jet::File> file, open());
        return replaceFile(*file, dest, options);
    }

  private:
    std::unique_ptr<PrivateFolder> folder_;
    std::string path_;
};

// A new file `prefix`XXXXXX in `folder`, open for reading, writing and deleting with `flags`.
Result<HANDLE> createOurs(const std::string& folder, const std::string& prefix, DWORD flags,
                          std::string& name) {
    for (int i = 0; i < kAttempts; ++i) {
        name = prefix + randomChars();
        HANDLE h = ::CreateFileW(apiPath(folder + "/" + name).c_str(),
                                 GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                 CREATE_NEW, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        const DWORD err = ::GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS)
            return Status::ioError(osError("cannot create a file in", folder, err));
    }
    return Status::ioError("cannot create a file in " + folder + ": no free name");
}

}  // namespace

// ---- What a path names --------------------------------------------------------------------

Result<FileInfo> fileInfo(const std::string& path) {
    FileInfo info;
    if (path.empty())
        return info;
    Handle h(::CreateFileW(apiPath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) {
        const DWORD err = ::GetLastError();
        if (isMissing(err))
            return info;
        return Status::ioError(osError("cannot look at", path, err));
    }
    BY_HANDLE_FILE_INFORMATION by{};
    if (::GetFileType(h.get()) != FILE_TYPE_DISK) {
        info.kind = FileKind::kOther;
        info.what = "a device";
        return info;
    }
    if (!::GetFileInformationByHandle(h.get(), &by))
        return Status::ioError(osError("cannot look at", path));
    const bool folder = (by.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.kind = folder ? FileKind::kFolder : FileKind::kRegular;
    if (folder)
        info.what = "a folder";
    info.permissions = (by.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    info.device = by.dwVolumeSerialNumber;
    info.inode = (static_cast<uint64_t>(by.nFileIndexHigh) << 32) | by.nFileIndexLow;
    return info;
}

bool sameFile(const std::string& a, const std::string& b) {
    auto x = fileInfo(a);
    auto y = fileInfo(b);
    return x && y && x->sameFileAs(*y);
}

bool heldByAnotherProcess(const std::string& path) {
    Handle h(::CreateFileW(apiPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.valid())
        return false;
    const DWORD err = ::GetLastError();
    return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION;
}

std::string canonicalPath(const std::string& path) {
    const std::wstring wide = apiPath(path);
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    full.resize(n);
    return narrow(full);
}

std::string folderOf(const std::string& path) {
    const size_t sep = path.find_last_of("/\\");
    if (sep == std::string::npos) {
        // "C:name" is relative to drive C's current folder.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    }
    // The root keeps its separator: "\", "C:\".
    if (sep == 0 || (sep == 2 && path[1] == ':'))
        return path.substr(0, sep + 1);
    size_t end = sep;
    while (end > 1 && isSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

bool isEntryOf(const std::string& path, const std::string& folder, const std::string& name) {
    if (!sameName(lastComponent(path), name))
        return false;
    auto here = fileInfo(folderOf(path));
    auto there = fileInfo(folder);
    return here && there && here->kind == FileKind::kFolder && here->sameFileAs(*there);
}

std::string tempDirectory() {
    wchar_t buf[MAX_PATH + 2];
    const DWORD n = ::GetTempPathW(MAX_PATH + 2, buf);
    if (n == 0 || n > MAX_PATH + 1)
        return ".";
    std::wstring dir(buf, n);
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/'))
        dir.pop_back();
    return narrow(dir);
}

Status removeFile(const std::string& path) {
    if (!::DeleteFileW(apiPath(path).c_str()) && !isMissing(::GetLastError()))
        return Status::ioError(osError("cannot remove", path));
    return Status::ok();
}

Status renameOver(const std::string& from, const std::string& to) {
    if (!::MoveFileExW(apiPath(from).c_str(), apiPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Status::ioError(osError("cannot rename " + from + " to", to));
    }
    return Status::ok();
}

// ---- Private folders and leftovers --------------------------------------------------------

Result<std::unique_ptr<PrivateFolder>> PrivateFolder::create(const std::string& parent,
                                                             const std::string& prefix) {
    for (int i = 0; i < kAttempts; ++i) {
        const std::string path = parent + "/" + prefix + randomChars();
        if (!::CreateDirectoryW(apiPath(path).c_str(), nullptr)) {
            if (::GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return Status::ioError(osError("cannot create a working folder in", parent));
        }
        // No sharing: a sweep that cannot open the lock knows the folder is in use. It goes
        // with the handle, so a dead process's folder has none.
        HANDLE lock = ::CreateFileW(apiPath(path + "/" + kLockName).c_str(),
                                    GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (lock != INVALID_HANDLE_VALUE)
            return std::unique_ptr<PrivateFolder>(new WinPrivateFolder(path, lock));
        // A sweep took the folder for a leftover before it was locked.
    }
    return Status::ioError("cannot create a working folder in " + parent);
}

void removeStaleFolders(const std::string& parent, const std::string& prefix) {
    for (const std::string& name : ourEntries(parent, prefix, true)) {
        const std::string folder = parent + "/" + name;
        Handle lock(::CreateFileW(apiPath(folder + "/" + kLockName).c_str(), GENERIC_READ, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        if (!lock.valid() && !isMissing(::GetLastError()))
            continue;  // its owner is alive
        lock.reset();
        removeFolder(folder);
    }
}

void removeStaleSaveFiles(const std::string& folder) {
    for (const std::string& name : ourEntries(folder, kSaveFilePrefix, false)) {
        // Opens only when no live save holds the file; closing it then deletes it.
        Handle h(::CreateFileW(apiPath(folder + "/" + name).c_str(), DELETE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    }
}

// ---- Working copies -----------------------------------------------------------------------

Result<std::unique_ptr<WorkingCopy>> WorkingCopy::create(const std::string& src,
                                                         const std::string& dir,
                                                         const std::string& name,
                                                         bool allow_unnamed) {
    JET_ASSIGN_OR_RETURN(HANDLE in_handle, openRegularForReading(src));
    auto in = jet::fileFromHandle(in_handle, src);
    if (!in)
        return in.status();
    if (allow_unnamed) {
        std::string file_name;
        JET_ASSIGN_OR_RETURN(
            HANDLE h, createOurs(dir, kWorkFolderPrefix,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, file_name));
        Handle out(h);
        // Connection strings name the copy; only open() reaches it.
        const std::string folder = dir + "/(unnamed)";
        const std::string path = folder + "/" + name;
        JET_RETURN_IF_ERROR(fillFrom(**in, out.get(), dir));
        return std::unique_ptr<WorkingCopy>(new DeleteOnCloseCopy(folder, path, out.release()));
    }
    JET_ASSIGN_OR_RETURN(std::unique_ptr<PrivateFolder> folder,
                         PrivateFolder::create(dir, kWorkFolderPrefix));
    const std::string path = folder->path() + "/" + name;
    Handle out(::CreateFileW(apiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        return Status::ioError(osError("cannot create", path));
    JET_RETURN_IF_ERROR(fillFrom(**in, out.get(), path));
    return std::unique_ptr<WorkingCopy>(new NamedCopy(std::move(folder), path));
}

// ---- The atomic save ----------------------------------------------------------------------

Status replaceFile(jet::File& src, const std::string& dest, const ReplaceOptions& options) {
    if (dest.empty())
        return Status::invalidArgument("no destination path given");
    JET_ASSIGN_OR_RETURN(FileInfo before, fileInfo(dest));
    if (before.kind == FileKind::kFolder)
        return Status::ioError(dest + ": is a folder");
    if (before.kind == FileKind::kOther) {
        return Status::ioError(dest + ": is " + before.what +
                               ", not a regular file; only a regular file is replaced");
    }
    const std::string folder = folderOf(dest);
    removeStaleSaveFiles(folder);

    // Marked for deletion while it is written, so a kill before the move leaves nothing.
    std::string name;
    JET_ASSIGN_OR_RETURN(HANDLE h,
                         createOurs(folder, kSaveFilePrefix, FILE_ATTRIBUTE_NORMAL, name));
    Handle tmp(h);
    const bool marked = options.allow_unnamed && setDeleteOnClose(tmp.get(), true);
    const std::string tmp_path = folder + "/" + name;
    auto discard = [&](Status st) {
        if (!tmp.valid() || !setDeleteOnClose(tmp.get(), true)) {
            tmp.reset();
            ::DeleteFileW(apiPath(tmp_path).c_str());
        }
        return st;
    };
    if (Status st = fillFrom(src, tmp.get(), folder); !st.isOk())
        return discard(st);
    if (!(options.new_file_permissions & 0222) && !before.exists())
        ::SetFileAttributesW(apiPath(tmp_path).c_str(), FILE_ATTRIBUTE_READONLY);
    // From here a kill can leave the file under its name; the next save removes it.
    if (marked && !setDeleteOnClose(tmp.get(), false))
        return discard(Status::ioError(osError("cannot keep a file in", folder)));
    if (options.check) {
        if (Status st = options.check(tmp_path); !st.isOk())
            return discard(st);
    }
    // The destination may have changed while we wrote; never put a file over a device.
    JET_ASSIGN_OR_RETURN(FileInfo now, fileInfo(dest));
    if (now.kind == FileKind::kFolder || now.kind == FileKind::kOther)
        return discard(Status::ioError(dest + ": is " + now.what + ", not a regular file"));
    const std::wstring to = jet::win::widen(canonicalPath(dest));
    const std::wstring from = jet::win::widen(canonicalPath(tmp_path));
    bool moved = false;
    if (now.exists()) {
        // Keeps the destination's ACL, attributes and creation time. ReplaceFileW needs the
        // replacement closed; a kill from here leaves it named, for the next save to remove.
        tmp.reset();
        moved = ::ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                               nullptr, nullptr) != 0;
    } else {
        moved = ::MoveFileExW(from.c_str(), to.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!moved)
        return discard(Status::ioError(osError("cannot replace", dest)));
    return Status::ok();
}

}  // namespace vkdc
