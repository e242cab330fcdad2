// One conversion of a source database into a fresh copy of a template, with no windows.
// The converter windows and `vkdc-cli convert` both drive this class, so they convert alike.
//
// Lifecycle: analyse(source) -> convert() -> save(dest) [-> save(other dest) after a failure].
// The installed template is never written: analyse() copies it to a private working file that
// does not outlive the conversion, not even a killed one (store/file_ops.h). The source is
// opened read-only and never changed; a save never writes over the source, an installed
// template or anything but a regular file, and leaves the destination either as it was or
// holding the complete new database.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/version_pair.h"

namespace vkdc {

class BoundField;
class DataControl;
class DatabaseRegistry;
class SaveEnv;
class WorkingCopy;

// Why a step did not succeed. The windows pick their Persian message by this; the CLI its
// exit status.
enum class Problem {
    kNone,
    kEmptyPath,           // the source path is empty or blanks only
    kSourceMissing,       // no file at the source path
    kSourceUnreadable,    // the OS refused to read it (permissions, I/O error), or it is a
                          // folder, FIFO, device or socket rather than a regular file
    kSourceInvalid,       // not a Jet database, corrupt, or lacking columns of its version
    kSourceUnsupported,   // a Jet-family format we do not read (.accdb and the like)
    kSourceInUse,         // another program has it open: its NAME.ldb is held
    kSourceWrongVersion,  // another version: the pair's password does not open it, or its
                          // tables have the next version's columns
    kTemplateMissing,     // the installed template is not there
    kTemplateInvalid,     // the template cannot be opened or copied, lacks a column of its
                          // version, or holds rows
    kNotAnalysed,         // convert() before a successful analyse()
    kRowsLost,            // some rows were not stored, or could not be read from the source
    kSaveFailed,          // the destination could not be written or must not be (the source,
                          // a template, not a regular file); any old file there is intact. Also
                          // a working copy that cannot be written (a full temporary folder)
    kDestinationInUse,    // another program has the destination open: its NAME.ldb is held
    kTooLarge,            // the result would pass the file format's 2 GB limit; nothing is saved
    kCancelled,           // convert() was asked to stop (requestStop); nothing is saved
};

// The text of kTooLarge, for every face that reports it in English.
inline constexpr char kTooLargeText[] =
    "the converted database would exceed the 2 GB limit of the file format";

struct Outcome {
    Problem problem = Problem::kNone;
    std::string detail;  // one English line naming the file and the cause; empty on success

    bool ok() const { return problem == Problem::kNone; }
};

struct TableReport {
    std::string table;
    uint64_t declared = 0;             // rows the source's table definition says it holds
    uint64_t read = 0;                 // source rows visited
    uint64_t written = 0;              // rows stored in the new database
    uint64_t failed = 0;               // rows visited that could not be stored
    uint64_t unread = 0;               // declared rows the reader never found (a damaged file)
    std::vector<std::string> reasons;  // the first few failures, "row 12: column Email: ..."
    // What the integrity check of the source found damaged in this table, one line each: its
    // rows may be wrong or missing even when every declared row was read and stored.
    std::vector<std::string> damage;

    // Rows that did not reach the new database.
    uint64_t lost() const { return failed + unread; }
    // Rows read beyond the declared count: real files can carry a stale count, so this is
    // worth a warning but loses nothing.
    uint64_t extra() const { return read > declared ? read - declared : 0; }
};

struct ConversionReport {
    std::vector<TableReport> tables;  // in conversion order
    uint64_t totalLost() const;
    uint64_t totalRows() const;  // rows of all four source tables
    // One English line per table that read more rows than it declares.
    std::vector<std::string> warnings() const;
};

struct SaveOptions {
    // Runs on the complete new file (by path) before it replaces the destination: the CLI's
    // --verify. A failed check leaves the destination as it was and is returned as is.
    std::function<Outcome(const std::string& complete_file)> check;
    // Permission bits of a new destination; by default the source's. An existing destination
    // keeps its own.
    std::optional<uint32_t> permissions;
    // The system calls of the save (store/save_env.h); the real ones when null.
    SaveEnv* env = nullptr;
};

// Called after each stored or failed row; `total` is the number of rows of all four tables.
using ProgressFn = std::function<void(uint64_t done, uint64_t total)>;

class Conversion {
  public:
    // `template_dir` holds the installed templates; `work_dir` receives the private working
    // copy (the system temp folder when empty).
    Conversion(const VersionPair& pair, std::string template_dir, std::string work_dir = {});
    // The template is taken from the first of `template_dirs` that holds it (dataFolders() for
    // the installed program); a missing one is reported with every place looked.
    Conversion(const VersionPair& pair, std::vector<std::string> template_dirs,
               std::string work_dir = {});
    // `first` and then `then` (1.0-2.0, then 2.0-3.0) in one pass: rows of a source of
    // `first` go straight into a copy of `then`'s template, each checked on its way as a copy
    // of `first`'s template would store it and taken on as reading it back would give it, so
    // that the result is the file the two conversions one after the other give, without the
    // file between them. The source must be of `first`'s version; both templates must be
    // there and empty. control() and field() name `first`'s source side and `then`'s target
    // side.
    Conversion(const VersionPair& first, const VersionPair& then,
               std::vector<std::string> template_dirs, std::string work_dir = {});
    Conversion(const VersionPair& first, const VersionPair& then, std::string template_dir,
               std::string work_dir = {});
    ~Conversion();

    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    const VersionPair& pair() const { return pair_; }
    // "1.0-2.0"; "1.0-3.0" for two pairs in one pass.
    std::string label() const;

    // Copies the template to a fresh working file, then connects the eight data controls in
    // order (per table: old side, new side; in one pass the first template's side between
    // them), and checks that the source's tables are those of the pair's source version
    // (kSourceWrongVersion for the next version's columns, kSourceInvalid for missing ones)
    // and that the template's are those of its version and empty (kTemplateInvalid). Last it runs
    // the integrity check of the source; damage it finds in a table does not stop the analysis, but
    // makes convert() report kRowsLost. On failure nothing stays connected and the problem names
    // the cause; analyse() may be called again with another path. Leftover working files of killed
    // conversions in the work folder are removed first.
    Outcome analyse(const std::string& source_path);
    bool analysed() const { return analysed_; }

    // Runs Convert_User, Convert_Site, Convert_Category and Convert_Contact in that order.
    // Every row that cannot be stored is counted with its reason in `report`, and so is every
    // row a table declares that could not be read; the source's damage goes with its table.
    // Returns kRowsLost when any row was lost or a table is damaged, kNotAnalysed before a
    // successful analysis, kTooLarge (stopping at the first row that would pass the limit) when
    // the result cannot fit in a Jet file, and kSaveFailed with the system's reason (stopping
    // there) when the working copy cannot be written, as in a full temporary folder; after
    // either of these two, save() refuses. After requestStop() it returns kCancelled before
    // its next row, and save() refuses too.
    Outcome convert(ConversionReport& report, const ProgressFn& progress = {});

    // Asks a running convert() to stop before its next row; from its progress callback, an
    // event that callback lets through, or another thread. A later convert() stops at once.
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }

    // Refuses destinations that must never be written (checkDestination below), writes out the
    // working database, then puts it at `dest_path` atomically (WorkingCopy::saveAs: the
    // working file itself where `dest_path` is on its file system, else a copy; fsync, the
    // check, rename). On failure any file already at `dest_path` is intact and the working copy
    // is kept, so save() can be tried again with another path.
    Outcome save(const std::string& dest_path, const SaveOptions& options = {});

    // The data control of that name ("User_Old", "Adodc3", ...), or nullptr. Controls exist
    // from a successful analyse() until the next one or destruction.
    DataControl* control(const std::string& name);
    // The bound field of that name ("a1", "d15", ...), or nullptr; same lifetime. convert()
    // moves each source value into its row, so an old-side field reads no value once its
    // row is converted.
    BoundField* field(const std::string& name);
    // Path of the working copy as connection strings name it (empty before analyse()). Where
    // the file system allows unnamed files no file exists under it.
    const std::string& workingPath() const;

  private:
    // The pair whose template the result is a copy of.
    const VersionPair& target() const { return then_ ? *then_ : pair_; }
    Outcome convertTable(const TablePair& table, TableReport& report, uint64_t& done,
                         uint64_t total, const ProgressFn& progress);
    void disconnect();
    Outcome connect(const std::string& source_path);

    Outcome checkTables(const std::string& source_path);

    const VersionPair& pair_;
    const VersionPair* then_ = nullptr;  // one pass: the pair after pair_
    std::vector<std::string> template_dirs_;
    std::string template_dir_;  // the one of template_dirs_ holding the template, once found
    std::string middle_dir_;    // one pass: the one holding pair_'s template
    std::string work_dir_;
    std::unique_ptr<WorkingCopy> working_;
    std::unique_ptr<WorkingCopy> middle_;  // one pass: a copy of pair_'s template, never written
    std::string source_path_;
    uint32_t source_permissions_ = 0600;
    bool analysed_ = false;
    bool converted_ = false;
    bool too_large_ = false;
    std::atomic<bool> stop_{false};
    bool cancelled_ = false;
    bool unwritable_ = false;  // the working copy could not be written
    std::unique_ptr<DatabaseRegistry> registry_;
    std::vector<std::unique_ptr<DataControl>> controls_;
    std::vector<std::unique_ptr<BoundField>> fields_;
    std::map<std::string, std::vector<std::string>> source_damage_;  // by table
};

// "source file not found", ... : a short English text for a problem kind (logs and the CLI).
const char* problemName(Problem p);
// "source-missing", ... : a stable identifier of a problem kind, for scripts.
const char* problemId(Problem p);

// Checks, before any database layer opens it, that `path` names a regular file, so a missing
// file (kSourceMissing), a folder or a FIFO, device or socket (kSourceUnreadable) are each
// reported for what they are, and a FIFO is never opened. A database another program has open
// is refused as kSourceInUse: a copy read while it is being written need not be whole. Jet
// holds NAME.ldb beside the name it opened the database by, so the lock files beside every
// name of the file are looked at (namesOf: through symbolic links, 8.3 short names and hard
// links); on Windows a file another program shares with no one is in use too.
Outcome checkSourceFile(const std::string& path);

// The lock file Jet keeps beside `database` while it is open: the same name with ".ldb".
std::string lockFileOf(const std::string& database);

// The lock file another program holds beside any name of `database` (namesOf), or empty.
std::string heldLockOf(const std::string& database);

// Refuses, as kSaveFailed naming the reason, a destination that must never be written, or
// cannot be: empty; in a folder that does not exist (for a symbolic link: the folder of the
// file it names); a folder, FIFO, device or socket; the source file itself, however spelled;
// or an installed template (either version's, in `template_dir` or any folder the program
// takes templates from), whether or not that template exists now. A destination another
// program has open (its NAME.ldb held, as for the source) is kDestinationInUse: replacing it
// would send that program's later writes to a deleted file.

Outcome checkDestination(const std::string& source_path, const std::string& dest_path,
                         const std::string& template_dir);

}  // namespace vkdc

namespace vkdc {

// Finds a database's file version from the password that opens it and the columns of its
// Table_Site: "1.0", "2.0" or "3.0". Problems as for Conversion::analyse (kSourceWrongVersion
// when neither password opens it, kSourceInvalid when the tables do not match any version).
struct DetectedVersion {
    Outcome outcome;
    std::string version;
};
DetectedVersion detectVersion(const std::string& path);

// The integrity check of `source` (jet/integrity_check.h) as a conversion of `pair` needs it:
// the damage found in each of the pair's tables, one English line per finding (the first few,
// then how many more). kSourceUnreadable when the file cannot be read through.
struct SourceDamage {
    Outcome outcome;
    std::map<std::string, std::vector<std::string>> tables;
};
SourceDamage checkSourceIntegrity(const VersionPair& pair, const std::string& source);

// Reopens `dest` and checks, through the field pairs of `pair`, that every row of `source`
// is there with the same values (blank pairs: no value), in order. kRowsLost names the first
// difference.
Outcome verifyConversion(const VersionPair& pair, const std::string& source,
                         const std::string& dest);
// The same for `first` then `then` in one pass (Conversion's two-pair form): each value is
// expected as the two conversions give it, through the columns of `first`'s template at
// `middle_template`.
Outcome verifyConversion(const VersionPair& first, const VersionPair& then,
                         const std::string& middle_template, const std::string& source,
                         const std::string& dest);

}  // namespace vkdc
