#include "store/open_database.h"

#include "jet/writer.h"
#include "store/file_ops.h"

namespace vkdc {
namespace {

using jet::Result;
using jet::Status;

class ReadOnlyDatabase final : public OpenDatabase {
  public:
    ReadOnlyDatabase(std::string path, std::unique_ptr<jet::Database> db)
        : path_(std::move(path)), db_(std::move(db)) {}

    const std::string& path() const override { return path_; }
    bool writable() const override { return false; }
    Result<jet::TableDef> tableDef(const std::string& table) override {
        return db_->tableDef(table);
    }
    Result<uint64_t> countRows(const std::string& table) override { return db_->countRows(table); }
    Result<std::unique_ptr<jet::RowCursor>> openCursor(const std::string& table) override {
        return db_->openTable(table);
    }
    Status append(const std::string& table, const std::vector<jet::Value>&,
                  const std::vector<bool>*) override {
        return Status::invalidArgument(path_ + " is open read-only; cannot add to " + table);
    }
    Status check(const std::string& table, std::vector<jet::Value>&,
                 const std::vector<bool>*) override {
        return Status::invalidArgument(path_ + " is open read-only; cannot check a row of " +
                                       table);
    }
    Status writeOut() override { return Status::ok(); }

  private:
    std::string path_;
    std::unique_ptr<jet::Database> db_;
};

class WritableDatabase final : public OpenDatabase {
  public:
    WritableDatabase(std::string path, std::string password, FileOpener opener,
                     std::unique_ptr<jet::Writer> w)
        : path_(std::move(path)),
          password_(std::move(password)),
          opener_(std::move(opener)),
          writer_(std::move(w)) {}

    const std::string& path() const override { return path_; }
    bool writable() const override { return true; }
    Result<jet::TableDef> tableDef(const std::string& table) override {
        return writer_->tableDef(table);
    }
    // The writer keeps the definition's row count exact for every row it adds.
    Result<uint64_t> countRows(const std::string& table) override {
        JET_ASSIGN_OR_RETURN(jet::TableDef def, writer_->tableDef(table));
        return uint64_t{def.num_rows};
    }
    // Reading goes through a reader over the written-out file, so it sees every stored row;
    // no fsync, since only this process reads it before the save syncs it.
    Result<std::unique_ptr<jet::RowCursor>> openCursor(const std::string& table) override {
        JET_RETURN_IF_ERROR(writer_->writeOut());
        jet::OpenOptions options;
        options.password = jet::fromUtf8(password_);
        std::unique_ptr<jet::Database> db;
        if (opener_) {
            JET_ASSIGN_OR_RETURN(std::unique_ptr<jet::File> file, opener_());
            JET_ASSIGN_OR_RETURN(db, jet::Database::open(std::move(file), options));
        } else {
            JET_ASSIGN_OR_RETURN(db, jet::Database::open(path_, options));
        }
        readers_.push_back(std::move(db));
        return readers_.back()->openTable(table);
    }
    Status append(const std::string& table, const std::vector<jet::Value>& row,
                  const std::vector<bool>* stored_text) override {
        return writer_->append(table, row, stored_text);
    }
    Status check(const std::string& table, std::vector<jet::Value>& row,
                 const std::vector<bool>* stored_text) override {
        return writer_->check(table, row, stored_text);
    }
    Status writeOut() override { return writer_->writeOut(); }

  private:
    std::string path_;
    std::string password_;
    FileOpener opener_;
    std::unique_ptr<jet::Writer> writer_;
    std::vector<std::unique_ptr<jet::Database>> readers_;
};

}  // namespace

Result<std::unique_ptr<OpenDatabase>> openReadOnlyDatabase(const std::string& path,
                                                           const std::string& password,
                                                           FileOpener opener) {
    jet::OpenOptions options;
    options.password = jet::fromUtf8(password);
    std::unique_ptr<jet::Database> db;
    if (opener) {
        JET_ASSIGN_OR_RETURN(std::unique_ptr<jet::File> file, opener());
        JET_ASSIGN_OR_RETURN(db, jet::Database::open(std::move(file), options));
    } else {
        JET_ASSIGN_OR_RETURN(db, jet::Database::open(path, options));
    }
    return std::unique_ptr<OpenDatabase>(new ReadOnlyDatabase(path, std::move(db)));
}

Result<std::unique_ptr<OpenDatabase>> openWritableDatabase(const std::string& path,
                                                           const std::string& password,
                                                           FileOpener opener) {
    jet::WriterOpenOptions options;
    options.password = jet::fromUtf8(password);
    // What the controls write is made durable by the save (WorkingCopy::saveAs), or dropped.
    options.sync_on_close = false;
    std::unique_ptr<jet::Writer> w;
    if (opener) {
        JET_ASSIGN_OR_RETURN(std::unique_ptr<jet::File> file, opener());
        JET_ASSIGN_OR_RETURN(w, jet::Writer::open(std::move(file), options));
    } else {
        JET_ASSIGN_OR_RETURN(w, jet::Writer::open(path, options));
    }
    return std::unique_ptr<OpenDatabase>(
        new WritableDatabase(path, password, std::move(opener), std::move(w)));
}

Result<std::shared_ptr<OpenDatabase>> DatabaseRegistry::open(const std::string& path,
                                                             const std::string& password,
                                                             bool writable) {
    auto provided = providers_.find(path);
    const FileOpener opener = provided == providers_.end() ? FileOpener{} : provided->second;
    const auto key = std::make_tuple(opener ? path : canonicalPath(path), writable, password);
    if (auto existing = open_[key].lock())
        return existing;
    Result<std::unique_ptr<OpenDatabase>> db = writable
                                                   ? openWritableDatabase(path, password, opener)
                                                   : openReadOnlyDatabase(path, password, opener);
    if (!db)
        return db.status();
    std::shared_ptr<OpenDatabase> shared(std::move(db).value());
    open_[key] = shared;
    if (writable)
        writable_.push_back(shared);
    return shared;
}

Status DatabaseRegistry::writeOutAll() {
    for (auto& db : writable_)
        JET_RETURN_IF_ERROR(db->writeOut());
    return Status::ok();
}

}  // namespace vkdc
