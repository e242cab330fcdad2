// Data controls, their record sets and the fields bound to them: the small data-access
// surface the converters work through. A control is connected by setting ConnectionString and
// RecordSource and calling Refresh; then its Recordset walks or extends one table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/status.h"
#include "store/open_database.h"

namespace vkdc {

class Recordset {
  public:
    // The exact number of rows the table held when the record set was opened.
    int32_t RecordCount() const { return record_count_; }
    bool atEnd() const { return at_end_; }
    const jet::TableDef& def() const { return def_; }

    // Old side: the next row becomes current. Fails when there is no further row, and with
    // kCorrupt when the next row cannot be read.
    jet::Status MoveNext();
    // New side: starts an empty pending row (every column without a value).
    jet::Status AddNew();
    // New side: stores the pending row. On failure nothing is stored and the row is dropped.
    jet::Status Update();
    // New side: checks the pending row as Update() would store it, storing nothing. The row
    // stays pending, its values now as reading the stored row back would give them.
    jet::Status Check();

    // Text as stored, for the TEXT and MEMO columns flagged in `columns` (parallel to
    // def().columns): on the old side, from the next row on, those columns give their text
    // as the file stores it, a Bytes value, instead of decoding it (Jet 4 sources only);
    // on the new side such a value is stored as it is where the writer would have written
    // the same bytes. A conversion carries text through unchanged columns this way.
    void setStoredText(std::vector<bool> columns);

    // Column index in def().columns, or kNotFound naming the column.
    jet::Result<size_t> columnIndex(const std::string& column) const;
    // The current row's value (old side) or the pending row's (new side).
    jet::Result<jet::Value> value(size_t column) const;
    // value(), moved out of the current row, which holds no value there afterwards: for a
    // reader that is done with that column of the row.
    jet::Result<jet::Value> take(size_t column);
    jet::Status setValue(size_t column, jet::Value v);
    // New side: the pending row's `column` takes the value of `from_column` in `from`'s
    // current row, which holds no value there afterwards (as after take()).
    jet::Status moveValue(size_t column, Recordset& from, size_t from_column);

  private:
    friend class DataControl;
    Recordset(std::shared_ptr<OpenDatabase> db, std::string table, jet::TableDef def);
    jet::Status open();

    std::shared_ptr<OpenDatabase> db_;
    std::string table_;
    jet::TableDef def_;
    std::unique_ptr<jet::RowCursor> cursor_;
    std::vector<jet::Value> current_;
    std::vector<bool> stored_text_;
    bool at_end_ = true;
    bool pending_ = false;
    int32_t record_count_ = 0;
};

class DataControl {
  public:
    // `writable`: the new side (template) appends rows; the old side (source) only reads.
    DataControl(std::string name, DatabaseRegistry& registry, bool writable);
    ~DataControl();

    const std::string& name() const { return name_; }
    bool writable() const { return writable_; }

    const std::string& ConnectionString() const { return connection_string_; }
    void setConnectionString(std::string s) { connection_string_ = std::move(s); }
    const std::string& RecordSource() const { return record_source_; }
    void setRecordSource(std::string s) { record_source_ = std::move(s); }

    // Opens the file named by the connection string with its password and the table named by
    // the record source ("SELECT * FROM Table_User" and the three like it; any other text is
    // an error). Leaves the first row current and RecordCount exact. On failure the control
    // has no record set.
    jet::Status Refresh();
    // The open record set, or nullptr before a successful Refresh.
    vkdc::Recordset* Recordset() { return recordset_.get(); }
    void close();

    // The table the record source names, or "" when it names none of the four.
    static std::string tableOfRecordSource(const std::string& source);

  private:
    std::string name_;
    DatabaseRegistry& registry_;
    bool writable_;
    std::string connection_string_;
    std::string record_source_;
    std::unique_ptr<vkdc::Recordset> recordset_;
};

// A text box bound to a column of a data control: it shows the current row's value as text
// (old side) and sets the pending row's value (new side). Text forms: store/value_text.h.
class BoundField {
  public:
    BoundField(std::string name, DataControl& control, std::string column)
        : name_(std::move(name)), control_(control), column_(std::move(column)) {}

    const std::string& name() const { return name_; }
    const std::string& column() const { return column_; }
    DataControl& control() { return control_; }

    jet::Result<std::string> Text() const;
    jet::Status setText(const std::string& text);

    // The exact value and its column's type; copies between fields of the same column type
    // use these, so nothing passes through a lossy text form.
    jet::Result<jet::Value> value() const;
    jet::Result<jet::ColumnType> type() const;
    // Stores `v` (a value of a column of type `from`) into the bound column, converting
    // through text only when the types differ. kInvalidArgument names the column and why.
    jet::Status setValue(jet::ColumnType from, const jet::Value& v);
    // Sets no value (NULL).
    jet::Status clear();

    // The bound column's index in its control's record set, looked up by name: a loop over
    // many rows resolves it once and then works on the record set itself.
    jet::Result<size_t> index() const;

  private:
    std::string name_;
    DataControl& control_;
    std::string column_;
};

}  // namespace vkdc
