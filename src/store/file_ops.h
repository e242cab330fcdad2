// Whole-file operations of a conversion, behind one small interface so that each platform can
// give them its own safe form (file_ops_posix.cpp, file_ops_win.cpp): what a path names, the
// private working copy of a template, private folders, and the atomic save.
//
// Files of ours that can outlive a killed process carry our own prefix: folders
// "vkdc-work-XXXXXX" in the temp folder, files ".vkdc-XXXXXX" beside a destination. Each is
// held locked while in use, so removeStale*() can tell the leftovers of a dead process from
// the files of a live one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/file.h"
#include "jet/status.h"

namespace vkdc {

enum class FileKind { kMissing, kRegular, kFolder, kOther };

struct FileInfo {
    FileKind kind = FileKind::kMissing;
    std::string what;          // for messages: "a folder", "a FIFO", "a device", "a socket"
    uint32_t permissions = 0;  // the rwx bits of owner, group and others
    uint64_t device = 0;       // with inode: the file's identity
    uint64_t inode = 0;

    bool exists() const { return kind != FileKind::kMissing; }
    bool sameFileAs(const FileInfo& other) const {
        return exists() && other.exists() && device == other.device && inode == other.inode;
    }
};

// What `path` names, following symbolic links. A path that names nothing (or runs through a
// missing folder) is kMissing; other failures are kIoError with the OS reason.
jet::Result<FileInfo> fileInfo(const std::string& path);

// True when `a` and `b` name one existing file, however each is spelled ("./x/../x", a
// symbolic or hard link).
bool sameFile(const std::string& a, const std::string& b);

// True when `path` names the entry `name` of `folder`: its folder is `folder` (compared by
// identity) and its last component is exactly `name`. The entry itself need not exist.
bool isEntryOf(const std::string& path, const std::string& folder, const std::string& name);

// `path` made absolute with links resolved (realpath; on Windows the full path), or `path`
// itself when that fails: one spelling per file, for keys.
std::string canonicalPath(const std::string& path);

// The file a save to `path` replaces or makes. On Linux: `path` with its symbolic links
// followed to the entry they end at, which need not exist (a dangling link leads to the file
// it names); folders on the way are kept as spelled. On Windows: the full path, so "C:x.mdb"
// names a file in drive C's current folder. kIoError for a loop or a link that cannot be read.
jet::Result<std::string> resolveDestination(const std::string& path);

// The names by which a program may have opened the file `path`, for the lock files Jet keeps
// beside them: `path` itself, the file it resolves to (symbolic links followed, or on Windows
// the long name of the open file, which undoes an 8.3 short name) and, on Windows, its other
// hard links where the system lists them. No name twice.
std::vector<std::string> namesOf(const std::string& path);

// True when another program has `path` open and shares it with no one (Windows' sharing
// modes): a read of it would fail. Always false on Linux.
bool openedWithoutSharing(const std::string& path);

// True when another process holds `path` as Jet holds NAME.ldb beside a database it has open:
// on Windows an open with no sharing meets a sharing or lock violation; on Linux a POSIX record
// lock or a flock() lock of another open file is on it. False when nothing is there, or
// nothing can be told.
bool heldByAnotherProcess(const std::string& path);

// The folder part of `path` ("." when it has none).
std::string folderOf(const std::string& path);

// The system temporary folder ($TMPDIR or /tmp; on Windows GetTempPathW's).
std::string tempDirectory();

// Removes the file `path`; a missing file is no error.
jet::Status removeFile(const std::string& path);

// Renames `from` to `to` in one step, replacing a file at `to`.
jet::Status renameOver(const std::string& from, const std::string& to);

// A folder of our own (mode 0700) created in `parent` as `prefix` + six random characters and
// locked while this object lives. The destructor removes it with the files in it.
class PrivateFolder {
  public:
    static jet::Result<std::unique_ptr<PrivateFolder>> create(const std::string& parent,
                                                              const std::string& prefix);
    virtual ~PrivateFolder() = default;
    virtual const std::string& path() const = 0;
};

// The prefix of our private folders in the temp folder.
inline constexpr char kWorkFolderPrefix[] = "vkdc-work-";

// Removes the folders `parent`/`prefix`XXXXXX, with their files, that no live process holds.
// Best effort: what cannot be removed is left alone.
void removeStaleFolders(const std::string& parent, const std::string& prefix);

// Removes the temporary files ".vkdc-XXXXXX" in `folder` that a killed save left behind and no
// live process holds. Best effort.
void removeStaleSaveFiles(const std::string& folder);

class SaveEnv;

struct ReplaceOptions {
    // Permission bits of a new destination; an existing one keeps its own.
    uint32_t new_file_permissions = 0600;
    // Runs on the complete, synced temporary file (given by path) just before it takes the
    // destination's place; a failure stops the save and leaves the destination as it was.
    std::function<jet::Status(const std::string& complete_file)> check;
    // False forces a named temporary file from the start (tests use it).
    bool allow_unnamed = true;
    // The system calls the save makes (store/save_env.h); the real ones when null. Tests
    // make them fail.
    SaveEnv* env = nullptr;
};

// A private copy of a file (mode 0600) that does not outlive its process: unnamed where the file
// system allows it, so a kill leaves nothing; otherwise a named file in a PrivateFolder of
// `dir`, which removeStaleFolders() deletes once the process is gone.
class WorkingCopy {
  public:
    // Copies `src` (which must be a regular file) into a new working copy in `dir` called
    // `name`. `allow_unnamed` false forces the named form (tests use it).
    static jet::Result<std::unique_ptr<WorkingCopy>> create(const std::string& src,
                                                            const std::string& dir,
                                                            const std::string& name,
                                                            bool allow_unnamed = true);
    virtual ~WorkingCopy() = default;

    // The folder and path that name the copy in connection strings and messages. For an
    // unnamed copy no file exists there: only open() reaches it.
    virtual const std::string& folder() const = 0;
    virtual const std::string& path() const = 0;
    virtual bool unnamed() const = 0;
    // Another read-write handle on the copy.
    virtual jet::Result<std::unique_ptr<jet::File>> open() = 0;

    // Puts the copy itself at `dest`, with replaceFile()'s promises and options, instead of
    // writing it a second time: the copy gets the permission bits and is synced, a name of
    // ours beside `dest`, the check, and is renamed over `dest`. Only where that cannot be
    // (`dest` on another file system, or one without links) is it written out by
    // replaceFile(). Every handle on the copy must have written its data out first. After a
    // success the copy and `dest` are one file for as long as the copy lives: it must not be
    // written again. A save after one that linked the copy (even one whose check failed)
    // writes it out.
    virtual jet::Status saveAs(const std::string& dest, const ReplaceOptions& options) = 0;
};

// Writes the whole of `src` at `dest` atomically: into a temporary file in the folder of the
// file `dest` resolves to (resolveDestination: through a symbolic link, the file it names is
// replaced and the link stays), unnamed until complete where the file system allows it, else
// ".vkdc-XXXXXX"; then fsync, the check, rename over that file, fsync of the folder. The new
// file gets an existing file's owner, group and permission bits; a new one the saver's owner,
// the folder's group where the folder says so (set-group-ID) and `new_file_permissions`. A
// `dest` that exists and is not a regular file is refused, and so is an owner that cannot be
// kept. On any failure the temporary file is removed and `dest` is as it was. Errors are
// kIoError or kInvalidArgument naming the path and the cause. Stale temporary files of ours
// in the folder are removed first.
jet::Status replaceFile(jet::File& src, const std::string& dest, const ReplaceOptions& options);

}  // namespace vkdc
