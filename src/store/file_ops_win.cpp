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
#include "store/save_env.h"

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

// `name` in `folder`, joined with the separator every Windows API takes, "\\?\" paths too.
std::string join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && isSeparator(folder.back()))
        return folder + name;
    return folder + "\\" + name;
}

// Deletes a file of ours, first clearing a read-only attribute that would stop it.
void deleteOurs(const std::string& path) {
    const std::wstring api = apiPath(path);
    const DWORD attrs = ::GetFileAttributesW(api.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(api.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
    ::DeleteFileW(api.c_str());
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
    HANDLE find = ::FindFirstFileW(apiPath(join(folder, prefix + "*")).c_str(), &found);
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
    HANDLE find = ::FindFirstFileW(apiPath(join(folder, "*")).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                deleteOurs(join(folder, narrow(found.cFileName)));
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

// Copies all of `src` into `h` from offset 0 and flushes it to the disk.
Status fillFrom(SaveEnv& env, jet::File& src, HANDLE h, const std::string& where) {
    JET_ASSIGN_OR_RETURN(uint64_t size, src.size());
    std::vector<uint8_t> buf(1 << 16);
    for (uint64_t off = 0; off < size;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), size - off));
        JET_RETURN_IF_ERROR(src.readAt(off, n, buf.data()));
        if (const uint32_t err = env.write(h, off, buf.data(), n))
            return Status::ioError(osError("cannot write a file in", where, err));
        off += n;
    }
    if (const uint32_t err = env.sync(h))
        return Status::ioError(osError("cannot flush a file in", where, err));
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
        HANDLE h = ::CreateFileW(apiPath(join(folder, name)).c_str(),
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

Result<std::string> resolveDestination(const std::string& path) {
    const std::wstring wide = jet::win::widen(path);
    if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0)
        return path;  // "\\?\" paths are taken as they are, by the system too
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(n, L'\0');
    if (n != 0)
        n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (n == 0 || n > full.size())
        return Status::ioError(osError("cannot make a full path of", path));
    full.resize(n);
    return narrow(full);
}

namespace {

// The name the open file `h` is known by (its long name, whatever name opened it), without
// the "\\?\" prefix.
std::wstring finalName(HANDLE h) {
    std::wstring name(MAX_PATH, L'\0');
    for (int i = 0; i < 2; ++i) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return {};
        if (n < name.size()) {
            name.resize(n);
            if (name.rfind(L"\\\\?\\UNC\\", 0) == 0)
                return L"\\\\" + name.substr(8);
            if (name.rfind(L"\\\\?\\", 0) == 0)
                return name.substr(4);
            return name;
        }
        name.resize(n);
    }
    return {};
}

// FindFirstFileNameW and FindNextFileNameW where the system has them. Wine exports stubs that
// end the process when called (its ntdll has wine_get_version): there, no links are listed.
struct LinkLister {
    decltype(&::FindFirstFileNameW) first = nullptr;
    decltype(&::FindNextFileNameW) next = nullptr;
};

template <typename Fn>
Fn function(HMODULE module, const char* name) {
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const LinkLister& linkLister() {
    static const LinkLister lister = [] {
        LinkLister l;
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        if (!kernel || (ntdll && ::GetProcAddress(ntdll, "wine_get_version")))
            return l;
        l.first = function<decltype(l.first)>(kernel, "FindFirstFileNameW");
        l.next = function<decltype(l.next)>(kernel, "FindNextFileNameW");
        return l;
    }();
    return lister;
}

}  // namespace

std::vector<std::string> namesOf(const std::string& path) {
    std::vector<std::string> names{path};
    const auto add = [&names](const std::wstring& wide) {
        const std::string name = narrow(wide);
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    const std::wstring api = apiPath(path);
    Handle h(::CreateFileW(api.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid())
        return names;
    const std::wstring final_name = finalName(h.get());
    add(final_name);
    // The other hard links, as paths from the root of the volume.
    wchar_t volume[MAX_PATH + 1];
    if (final_name.empty() || !::GetVolumePathNameW(final_name.c_str(), volume, MAX_PATH + 1))
        return names;
    std::wstring root = volume;
    while (!root.empty() && (root.back() == L'\\' || root.back() == L'/'))
        root.pop_back();
    std::wstring link(32768, L'\0');
    DWORD n = static_cast<DWORD>(link.size());
    const LinkLister& links = linkLister();
    HANDLE find = links.first && links.next ? links.first(api.c_str(), 0, &n, link.data())
                                            : INVALID_HANDLE_VALUE;
    if (find == INVALID_HANDLE_VALUE)
        return names;  // not every system lists them
    do {
        add(root + link.c_str());
        n = static_cast<DWORD>(link.size());
    } while (links.next(find, &n, link.data()));
    ::FindClose(find);
    return names;
}

bool openedWithoutSharing(const std::string& path) {
    Handle h(::CreateFileW(apiPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return !h.valid() && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

std::string folderOf(const std::string& path) {
    const size_t sep = path.find_last_of("/\\");
    if (sep == std::string::npos) {
        // "C:name" is relative to drive C's current folder.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    }
    // The root keeps its separator: "\", "C:\", "\\?\C:\".
    if (sep == 0 || path[sep - 1] == ':')
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
        const std::string path = join(parent, prefix + randomChars());
        if (!::CreateDirectoryW(apiPath(path).c_str(), nullptr)) {
            if (::GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return Status::ioError(osError("cannot create a working folder in", parent));
        }
        // No sharing: a sweep that cannot open the lock knows the folder is in use. It goes
        // with the handle, so a dead process's folder has none.
        HANDLE lock = ::CreateFileW(apiPath(join(path, kLockName)).c_str(),
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
        const std::string folder = join(parent, name);
        Handle lock(::CreateFileW(apiPath(join(folder, kLockName)).c_str(), GENERIC_READ, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        if (!lock.valid() && !isMissing(::GetLastError()))
            continue;  // its owner is alive
        lock.reset();
        removeFolder(folder);
    }
}

void removeStaleSaveFiles(const std::string& folder) {
    for (const std::string& name : ourEntries(folder, kSaveFilePrefix, false)) {
        const std::wstring path = apiPath(join(folder, name));
        // Older versions made some read-only, which no delete gets past.
        const DWORD attrs = ::GetFileAttributesW(path.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY))
            ::SetFileAttributesW(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
        // Opens only when no live save holds the file; closing it then deletes it.
        Handle h(::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr));
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
        JET_RETURN_IF_ERROR(fillFrom(systemSaveEnv(), **in, out.get(), dir));
        return std::unique_ptr<WorkingCopy>(new DeleteOnCloseCopy(folder, path, out.release()));
    }
    JET_ASSIGN_OR_RETURN(std::unique_ptr<PrivateFolder> folder,
                         PrivateFolder::create(dir, kWorkFolderPrefix));
    const std::string path = join(folder->path(), name);
    Handle out(::CreateFileW(apiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        return Status::ioError(osError("cannot create", path));
    JET_RETURN_IF_ERROR(fillFrom(systemSaveEnv(), **in, out.get(), path));
    return std::unique_ptr<WorkingCopy>(new NamedCopy(std::move(folder), path));
}

// ---- The atomic save ----------------------------------------------------------------------

namespace {

// Errors after which another attempt may succeed: another program (a virus scanner, an
// indexer) has one of the files open for a moment.
bool heldUpForAMoment(uint32_t err) {
    return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
           err == ERROR_ACCESS_DENIED || err == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Runs `call` until it succeeds or fails otherwise than heldUpForAMoment(), for about a
// second; its last error.
template <typename Call>
uint32_t withRetries(SaveEnv& env, const Call& call) {
    constexpr int kAttemptsWhileHeld = 10;
    constexpr uint32_t kPause = 100;
    uint32_t err = call();
    for (int i = 1; i < kAttemptsWhileHeld && heldUpForAMoment(err); ++i) {
        env.pause(kPause);
        err = call();
    }
    return err;
}

bool exists(const std::string& path) {
    return ::GetFileAttributesW(apiPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Puts the complete, closed file `from` in the place of the existing file `to` (which `dest`
// names) with ReplaceFileW, which keeps to's ACL, attributes and creation time. The old file
// passes through a backup name of ours, so that a replace that fails half-way (1176 and 1177,
// the old file already moved away) can be finished by moving `from` in, or undone by moving
// the old file back. `keep` is set when `from` is left the only complete copy of the new
// database, which must not be deleted.
Status replaceExisting(SaveEnv& env, const std::string& from, const std::string& to,
                       const std::string& dest, bool& keep) {
    const std::string backup = join(folderOf(to), kSaveFilePrefix + randomChars());
    const std::wstring api_from = apiPath(from), api_to = apiPath(to), api_backup = apiPath(backup);
    const uint32_t err =
        withRetries(env, [&] { return env.replace(api_to, api_from, api_backup); });
    if (err != 0 && exists(to)) {
        // The old file is in place; a backup, if one was made, is a copy of nothing.
        deleteOurs(backup);
        return Status::ioError(osError("cannot replace", dest, err));
    }
    if (err != 0 && withRetries(env, [&] { return env.move(api_from, api_to); }) != 0) {
        if (exists(backup) && env.move(api_backup, api_to) == 0)
            return Status::ioError(osError("cannot replace", dest, err));
        keep = true;
        return Status::ioError(osError("cannot replace", dest, err) + "; the new database is " +
                               from + (exists(backup) ? ", the old one " + backup : ""));
    }
    deleteOurs(backup);  // the old file
    return Status::ok();
}

}  // namespace

Status replaceFile(jet::File& src, const std::string& dest, const ReplaceOptions& options) {
    SaveEnv& env = options.env ? *options.env : systemSaveEnv();
    if (dest.empty())
        return Status::invalidArgument("no destination path given");
    JET_ASSIGN_OR_RETURN(const std::string target, resolveDestination(dest));
    JET_ASSIGN_OR_RETURN(FileInfo before, fileInfo(target));
    if (before.kind == FileKind::kFolder)
        return Status::ioError(dest + ": is a folder");
    if (before.kind == FileKind::kOther) {
        return Status::ioError(dest + ": is " + before.what +
                               ", not a regular file; only a regular file is replaced");
    }
    const std::string folder = folderOf(target);
    removeStaleSaveFiles(folder);

    // Marked for deletion while it is written, so a kill before the move leaves nothing. Never
    // read-only: the contact manager writes the new database, and a leftover must be deletable.
    std::string name;
    JET_ASSIGN_OR_RETURN(HANDLE h,
                         createOurs(folder, kSaveFilePrefix, FILE_ATTRIBUTE_NORMAL, name));
    Handle tmp(h);
    const bool marked = options.allow_unnamed && setDeleteOnClose(tmp.get(), true);
    const std::string tmp_path = join(folder, name);
    bool keep = false;
    const Status st = [&]() -> Status {
        JET_RETURN_IF_ERROR(fillFrom(env, src, tmp.get(), folder));
        // From here a kill can leave the file under its name; the next save removes it.
        if (marked && !setDeleteOnClose(tmp.get(), false))
            return Status::ioError(osError("cannot keep a file in", folder));
        if (options.check)
            JET_RETURN_IF_ERROR(options.check(tmp_path));
        // The destination may have changed while we wrote; never put a file over a device.
        JET_ASSIGN_OR_RETURN(FileInfo now, fileInfo(target));
        if (now.kind == FileKind::kFolder || now.kind == FileKind::kOther)
            return Status::ioError(dest + ": is " + now.what + ", not a regular file");
        tmp.reset();  // ReplaceFileW needs the replacement closed
        if (now.exists())
            return replaceExisting(env, tmp_path, target, dest, keep);
        const std::wstring api_tmp = apiPath(tmp_path), api_target = apiPath(target);
        if (const uint32_t err = withRetries(env, [&] { return env.move(api_tmp, api_target); }))
            return Status::ioError(osError("cannot save", dest, err));
        return Status::ok();
    }();
    if (!st.isOk() && !keep) {
        if (!tmp.valid() || !setDeleteOnClose(tmp.get(), true)) {
            tmp.reset();
            deleteOurs(tmp_path);
        }
    }
    return st;
}

}  // namespace vkdc
