// Writing Jet 4 databases: creating a new, empty database, creating tables in it, and
// appending rows to tables (ours, or tables of databases made by Access) that have no
// indexes.
//
// Typical use:
//   auto w = jet::Writer::create(path, {.password = u"secret"});
//   if (!w) { report(w.status()); return; }
//   jet::TableSpec t{"Table_User", {{"UserName", jet::ColumnType::kText, 50},
//                                   {"Notes", jet::ColumnType::kMemo}}};
//   Status st = (*w)->createTable(t);
//   st = (*w)->append("Table_User", {std::u16string(u"admin"), jet::Null{}});
//   st = (*w)->close();  // writes every page and fsyncs; report its error
//
// Pages go through the pager's bounded cache, so memory stays bounded however many rows are
// written. Nothing is durable before flush()/close() returns ok. After an I/O error every
// further call fails with that error: the file must then be treated as damaged.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/catalog.h"
#include "jet/file.h"
#include "jet/header.h"
#include "jet/page_allocator.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/table_appender.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

struct CreateOptions {
    uint16_t code_page = 1252;
    // Collation LCID; only 1033 ("General", legacy version) has index codes here.
    uint16_t sort_order = 1033;
    // OLE date of creation (also the creation time of the catalog rows); now when unset.
    std::optional<double> creation_date{};
    // At most 20 UTF-16 code units (kInvalidArgument otherwise); empty for none.
    std::u16string password{};
    size_t cache_pages = 256;
};

struct WriterOpenOptions {
    // Checked exactly like the reader does: case-sensitive, no trimming.
    std::u16string password{};
    size_t cache_pages = 256;
    // False: a writer dropped without close() writes its pages out but does not fsync, for a
    // file that whoever keeps it syncs anyway (a working copy the save syncs).
    bool sync_on_close = true;
};

struct ColumnSpec {
    std::string name{};  // UTF-8
    ColumnType type = ColumnType::kText;
    // kText: the size in characters, 1..255. Ignored for other types.
    uint16_t length = 0;
    // False makes the column Required, stored as the engine's "Required" column property
    // (as Access does): NULL is then refused, now and after reopening. An empty text is a
    // value, not a NULL. Booleans never hold NULL (a NULL is stored as No).
    bool nullable = true;
    // Only for kLong: an AutoNumber column (NULL in append() means "the next number").
    bool autonumber = false;
};

struct TableSpec {
    std::string name{};  // UTF-8
    std::vector<ColumnSpec> columns{};
};

class Writer {
  public:
    // Writes a new, empty database to `path` (created or truncated). Errors: kInvalidArgument
    // (password longer than 20 characters, sort order), kIoError.
    static Result<std::unique_ptr<Writer>> create(const std::string& path,
                                                  const CreateOptions& options = {});
    // Same over an empty file; tests use it to inject failures.
    static Result<std::unique_ptr<Writer>> create(std::unique_ptr<File> file,
                                                  const CreateOptions& options = {});

    // Opens an existing Jet 4 database for appending. Errors: kIoError, kNotJet,
    // kUnsupportedVersion, kNotSupported (Jet 3), kWrongPassword, kCorrupt.
    static Result<std::unique_ptr<Writer>> open(const std::string& path,
                                                const WriterOpenOptions& options = {});
    static Result<std::unique_ptr<Writer>> open(std::unique_ptr<File> file,
                                                const WriterOpenOptions& options = {});

    // Flushes what it can (without the fsync when WriterOpenOptions::sync_on_close is off);
    // errors are lost here, so call close() to see them.
    ~Writer();

    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    const Header& header() const { return header_; }

    // Creates a table without indexes. Names follow Access's rules (kInvalidArgument with the
    // reason); a name that exists already, ignoring case, is kInvalidArgument; a table name
    // with characters that have no catalog sort code here is kNotSupported; a table that
    // could carry the file past the 2 GB limit is kTooLarge.
    Status createTable(const TableSpec& request);

    // The definition of a local table, columns ordered by column number: the order append()
    // expects its values in.
    Result<TableDef> tableDef(const std::string& table);

    // Appends one row to `table`; `values` holds one value per column, in tableDef() order.
    // Refusals (kInvalidArgument, naming the column and the reason: wrong type, out of range,
    // too long, NULL in a Required column, "" where AllowZeroLength is off) write nothing.
    // A table with indexes is refused with kNotSupported naming the index. A row that could
    // carry the file past the format's 2 GB limit is kTooLarge and writes nothing either.
    Status append(const std::string& table, const std::vector<Value>& values);
    // The same, where the TEXT and MEMO columns flagged in `stored_text` may be given their
    // text as another Jet 4 file stores it (TableAppender::appendRow).
    Status append(const std::string& table, const std::vector<Value>& values,
                  const std::vector<bool>* stored_text);

    // Checks a row as append() would take it, storing nothing, and turns `values` into what a
    // reader of the stored row would get (TableAppender::check). Refusals as for append(),
    // but for the 2 GB limit: nothing grows.
    Status check(const std::string& table, std::vector<Value>& values,
                 const std::vector<bool>* stored_text = nullptr);

    // Writes every changed page and fsyncs. Reports the first error. The TDEF row counts
    // are written here, once for all the rows appended since.
    Status flush();
    // Writes every changed page without the fsync, for readers of the same file.
    Status writeOut();
    // flush(), then refuses further use.
    Status close();

    // The pager (tests inspect page counts through it).
    Pager& pager() { return *pager_; }

  private:
    Writer(Header header, std::unique_ptr<Pager> pager, uint32_t sid_key);
    static Result<std::unique_ptr<Writer>> finishOpen(Header header, std::unique_ptr<Pager> pager);
    Status usable() const;
    Status track(Status st);
    Result<TableAppender*> appenderFor(const std::string& table);
    Result<TableAppender*> findAppender(const std::string& table);
    Status doCreateTable(const TableSpec& request);
    Status doAppend(const std::string& table, const std::vector<Value>& values,
                    const std::vector<bool>* stored_text);

    Header header_;
    std::unique_ptr<Pager> pager_;
    std::unique_ptr<PageAllocator> alloc_;
    uint32_t sid_key_;
    std::optional<double> creation_date_;  // CreateOptions::creation_date, for new tables
    std::unique_ptr<Catalog> catalog_;
    std::map<uint32_t, std::unique_ptr<TableAppender>> tables_;  // by TDEF page
    std::map<uint32_t, std::string> refusals_;  // tables whose appends are refused, and why
    Status failure_;                            // first I/O or consistency error
    bool closed_ = false;
    bool sync_on_close_ = true;
    std::string last_table_;  // the table appenderFor() found last, and its appender
    TableAppender* last_appender_ = nullptr;
};

// The current local time as an OLE date.
double oleNow();

}  // namespace jet
