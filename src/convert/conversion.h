// One conversion of a source database into a fresh copy of a template, with no windows.
// The converter windows and `vkdc-cli convert` both drive this class, so they convert alike.
//
// Lifecycle: analyse(source) -> convert() -> save(dest) [-> save(other dest) after a failure].
// The installed template is never written: analyse() copies it to a private working file,
// which the destructor deletes. The source is opened read-only and never changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/version_pair.h"

namespace vkdc {

class BoundField;
class DataControl;
class DatabaseRegistry;

// Why a step did not succeed. The windows pick their Persian message by this; the CLI its
// exit status.
enum class Problem {
    kNone,
    kEmptyPath,           // the source path is empty or blanks only
    kSourceMissing,       // no file at the source path
    kSourceUnreadable,    // the OS refused to read it (permissions, a folder, I/O error)
    kSourceInvalid,       // not a Jet database, or corrupt
    kSourceUnsupported,   // a Jet-family format we do not read (.accdb and the like)
    kSourceWrongVersion,  // the password of this pair's source version does not open it
    kTemplateMissing,     // the installed template is not there
    kTemplateInvalid,     // the template exists but cannot be opened or copied
    kNotAnalysed,         // convert() before a successful analyse()
    kRowsLost,            // convert() finished, but some rows could not be stored
    kSaveFailed,          // the destination could not be written; any old file there is intact
    kTooLarge,            // the result would pass the file format's 2 GB limit; nothing is saved
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
    uint64_t read = 0;     // source rows visited
    uint64_t written = 0;  // rows stored in the new database
    uint64_t failed = 0;   // rows that could not be stored
    std::vector<std::string> reasons;  // the first few failures, "row 12: column Email: ..."
};

struct ConversionReport {
    std::vector<TableReport> tables;  // in conversion order
    uint64_t totalFailed() const;
    uint64_t totalRows() const;  // rows of all four source tables
};

// Called after each stored or failed row; `total` is the number of rows of all four tables.
using ProgressFn = std::function<void(uint64_t done, uint64_t total)>;

class Conversion {
public:
    // `template_dir` holds the installed templates; `work_dir` receives the private working
    // copy (the system temp folder when empty).
    Conversion(const VersionPair& pair, std::string template_dir, std::string work_dir = {});
    ~Conversion();

    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    const VersionPair& pair() const { return pair_; }

    // Copies the template to a fresh working file, then connects the eight data controls in
    // order (per table: old side, new side). On failure nothing stays connected and the
    // problem names the cause; analyse() may be called again with another path.
    Outcome analyse(const std::string& source_path);
    bool analysed() const { return analysed_; }

    // Runs Convert_User, Convert_Site, Convert_Category and Convert_Contact in that order.
    // Every row that cannot be stored is counted with its reason in `report`. Returns
    // kRowsLost when any row failed, kNotAnalysed before a successful analysis, and kTooLarge
    // (stopping at the first row that would pass the limit) when the result cannot fit in a
    // Jet file; save() then refuses.
    Outcome convert(ConversionReport& report, const ProgressFn& progress = {});

    // Flushes the working database, then writes `dest_path` atomically (temporary file in the
    // same folder, fsync, rename). On failure any file already at `dest_path` is intact and the
    // working copy is kept, so save() can be tried again with another path.
    Outcome save(const std::string& dest_path);

    // The data control of that name ("User_Old", "Adodc3", ...), or nullptr. Controls exist
    // from a successful analyse() until the next one or destruction.
    DataControl* control(const std::string& name);
    // The bound field of that name ("a1", "d15", ...), or nullptr; same lifetime.
    BoundField* field(const std::string& name);
    // Path of the working copy (empty before analyse()).
    const std::string& workingPath() const { return working_path_; }

private:
    Outcome convertTable(const TablePair& table, TableReport& report, uint64_t& done,
                         uint64_t total, const ProgressFn& progress);
    void disconnect();
    Outcome connect(const std::string& source_path);

    const VersionPair& pair_;
    std::string template_dir_;
    std::string work_dir_;
    std::string working_folder_;
    std::string working_path_;
    std::string source_path_;
    bool analysed_ = false;
    bool converted_ = false;
    bool too_large_ = false;
    std::unique_ptr<DatabaseRegistry> registry_;
    std::vector<std::unique_ptr<DataControl>> controls_;
    std::vector<std::unique_ptr<BoundField>> fields_;
};

// "File not found", ... : a short English text for a problem kind (for logs and the CLI).
const char* problemName(Problem p);

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

// Reopens `dest` and checks, through the field pairs of `pair`, that every row of `source`
// is there with the same values (blank pairs: no value), in order. kRowsLost names the first
// difference.
Outcome verifyConversion(const VersionPair& pair, const std::string& source,
                         const std::string& dest);

}  // namespace vkdc
