// One database file as the data controls see it: opened once per file and mode, shared by
// every control connected to it, so rows stored through one control are seen by all.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace vkdc {

class OpenDatabase {
  public:
    virtual ~OpenDatabase() = default;

    virtual const std::string& path() const = 0;
    virtual bool writable() const = 0;
    virtual jet::Result<jet::TableDef> tableDef(const std::string& table) = 0;
    // Exact number of live rows.
    virtual jet::Result<uint64_t> countRows(const std::string& table) = 0;
    virtual jet::Result<std::unique_ptr<jet::RowCursor>> openCursor(const std::string& table) = 0;
    // Stores one row (values parallel to tableDef(table).columns). Read-only databases refuse.
    // TEXT and MEMO columns flagged in `stored_text` may hold their text as stored, as
    // jet::Writer::append takes it.
    virtual jet::Status append(const std::string& table, const std::vector<jet::Value>& row,
                               const std::vector<bool>* stored_text) = 0;
    // Checks a row as append() would store it, storing nothing, and turns `row` into what
    // reading the stored row back would give (jet::Writer::check). Read-only databases refuse.
    virtual jet::Status check(const std::string& table, std::vector<jet::Value>& row,
                              const std::vector<bool>* stored_text) = 0;
    // Writes every stored row into the file, where any other handle reads it. Not synced:
    // making the file durable is the save's work (WorkingCopy::saveAs).
    virtual jet::Status writeOut() = 0;
};

// Opens another handle on a file that has no name to open it by (an unnamed working copy).
using FileOpener = std::function<jet::Result<std::unique_ptr<jet::File>>()>;

// Opens `path` read-only, checking `password`; through `opener` when one is given, with `path`
// as its name.
jet::Result<std::unique_ptr<OpenDatabase>> openReadOnlyDatabase(const std::string& path,
                                                                const std::string& password,
                                                                FileOpener opener = {});
// Opens `path` for appending rows, checking `password`; through `opener` as above. Nothing
// is synced: that is the work of whoever keeps the file (the save).
jet::Result<std::unique_ptr<OpenDatabase>> openWritableDatabase(const std::string& path,
                                                                const std::string& password,
                                                                FileOpener opener = {});

// Hands out one shared OpenDatabase per file and mode.
class DatabaseRegistry {
  public:
    // Makes `path` (exactly as a connection string names it) reach the file `opener` opens.
    void provide(const std::string& path, FileOpener opener) {
        providers_[path] = std::move(opener);
    }

    jet::Result<std::shared_ptr<OpenDatabase>> open(const std::string& path,
                                                    const std::string& password, bool writable);
    // Writes out every writable database; the first error is returned.
    jet::Status writeOutAll();
    // Forgets every database (controls may still hold theirs until they close).
    void clear() { open_.clear(); }

  private:
    // Keyed by canonical path, mode and password: a different password must be checked anew.
    std::map<std::tuple<std::string, bool, std::string>, std::weak_ptr<OpenDatabase>> open_;
    std::vector<std::shared_ptr<OpenDatabase>> writable_;
    std::map<std::string, FileOpener> providers_;
};

}  // namespace vkdc
