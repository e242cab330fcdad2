#include "store/data_control.h"

#include <utility>

#include "store/connection_string.h"
#include "store/value_text.h"
#include "store/version_pair.h"

namespace vkdc {

using jet::Result;
using jet::Status;

// ---------------------------------------------------------------------------------------------
// Recordset

Recordset::Recordset(std::shared_ptr<OpenDatabase> db, std::string table, jet::TableDef def)
    : db_(std::move(db)), table_(std::move(table)), def_(std::move(def)) {}

Status Recordset::open() {
    JET_ASSIGN_OR_RETURN(uint64_t count, db_->countRows(table_));
    if (count > static_cast<uint64_t>(INT32_MAX)) {
        return Status::notSupported("table " + table_ + " has more rows than can be counted");
    }
    record_count_ = static_cast<int32_t>(count);
    if (db_->writable())
        return Status::ok();  // the new side only appends
    JET_ASSIGN_OR_RETURN(cursor_, db_->openCursor(table_));
    at_end_ = false;
    return MoveNext();  // the first row becomes current
}

Status Recordset::MoveNext() {
    if (!cursor_ || at_end_)
        return Status::invalidArgument("table " + table_ + ": no further row");
    auto more = cursor_->next(current_);
    if (!more) {
        at_end_ = true;
        current_.clear();
        return more.status().withContext("table " + table_);
    }
    if (!*more) {
        at_end_ = true;
        current_.clear();
    }
    return Status::ok();
}

Status Recordset::AddNew() {
    if (!db_->writable())
        return Status::invalidArgument("table " + table_ + " is read-only");
    current_.assign(def_.columns.size(), jet::Value(jet::Null{}));
    pending_ = true;
    return Status::ok();
}

Status Recordset::Update() {
    if (!pending_)
        return Status::invalidArgument("table " + table_ + ": no new row to store");
    pending_ = false;
    Status st = db_->append(table_, current_, stored_text_.empty() ? nullptr : &stored_text_);
    current_.clear();
    return st;
}

Status Recordset::Check() {
    if (!pending_)
        return Status::invalidArgument("table " + table_ + ": no new row to check");
    return db_->check(table_, current_, stored_text_.empty() ? nullptr : &stored_text_);
}

void Recordset::setStoredText(std::vector<bool> columns) {
    if (cursor_)
        cursor_->setStoredText(columns);
    stored_text_ = std::move(columns);
}

Result<size_t> Recordset::columnIndex(const std::string& column) const {
    for (size_t i = 0; i < def_.columns.size(); ++i) {
        if (def_.columns[i].name == column)
            return i;
    }
    return Status::notFound("table " + table_ + " has no column " + column);
}

Result<jet::Value> Recordset::value(size_t column) const {
    if (column >= current_.size()) {
        return Status::invalidArgument("table " + table_ + ": there is no current row");
    }
    return current_[column];
}

Result<jet::Value> Recordset::take(size_t column) {
    if (column >= current_.size()) {
        return Status::invalidArgument("table " + table_ + ": there is no current row");
    }
    return std::exchange(current_[column], jet::Value(jet::Null{}));
}

Status Recordset::setValue(size_t column, jet::Value v) {
    if (!pending_ || column >= current_.size()) {
        return Status::invalidArgument("table " + table_ + ": there is no new row to set");
    }
    current_[column] = std::move(v);
    return Status::ok();
}

Status Recordset::moveValue(size_t column, Recordset& from, size_t from_column) {
    if (!pending_ || column >= current_.size()) {
        return Status::invalidArgument("table " + table_ + ": there is no new row to set");
    }
    if (from_column >= from.current_.size()) {
        return Status::invalidArgument("table " + from.table_ + ": there is no current row");
    }
    current_[column] = std::move(from.current_[from_column]);
    from.current_[from_column] = jet::Null{};
    return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// DataControl

DataControl::DataControl(std::string name, DatabaseRegistry& registry, bool writable)
    : name_(std::move(name)), registry_(registry), writable_(writable) {}

DataControl::~DataControl() = default;

void DataControl::close() {
    recordset_.reset();
}

std::string DataControl::tableOfRecordSource(const std::string& source) {
    for (const auto& t : tableNames()) {
        if (source == "SELECT * FROM " + t)
            return t;
    }
    return {};
}

Status DataControl::Refresh() {
    recordset_.reset();
    const std::string table = tableOfRecordSource(record_source_);
    if (table.empty()) {
        return Status::invalidArgument(name_ + ": unsupported record source \"" + record_source_ +
                                       "\"");
    }
    JET_ASSIGN_OR_RETURN(ConnectionProperties props, parseConnectionString(connection_string_));
    std::string provider = props.provider();
    for (auto& c : provider)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (provider != "microsoft.jet.oledb.4.0") {
        return Status::invalidArgument(name_ + ": unsupported provider \"" + props.provider() +
                                       "\"");
    }
    const std::string path = props.dataSource();
    if (path.empty())
        return Status::invalidArgument(name_ + ": the connection names no file");
    JET_ASSIGN_OR_RETURN(std::shared_ptr<OpenDatabase> db,
                         registry_.open(path, props.password(), writable_));
    JET_ASSIGN_OR_RETURN(jet::TableDef def, db->tableDef(table));
    std::unique_ptr<vkdc::Recordset> rs(new vkdc::Recordset(db, table, std::move(def)));
    JET_RETURN_IF_ERROR(rs->open());
    recordset_ = std::move(rs);
    return Status::ok();
}

// ---------------------------------------------------------------------------------------------
// BoundField

Result<size_t> BoundField::index() const {
    vkdc::Recordset* rs = control_.Recordset();
    if (!rs)
        return Status::invalidArgument(control_.name() + " is not connected");
    return rs->columnIndex(column_);
}

Result<jet::Value> BoundField::value() const {
    JET_ASSIGN_OR_RETURN(size_t i, index());
    return control_.Recordset()->value(i);
}

Result<jet::ColumnType> BoundField::type() const {
    JET_ASSIGN_OR_RETURN(size_t i, index());
    return control_.Recordset()->def().columns[i].type;
}

Result<std::string> BoundField::Text() const {
    JET_ASSIGN_OR_RETURN(jet::Value v, value());
    return valueToText(v);
}

Status BoundField::setText(const std::string& text) {
    JET_ASSIGN_OR_RETURN(size_t i, index());
    vkdc::Recordset* rs = control_.Recordset();
    JET_ASSIGN_OR_RETURN(jet::Value v, valueFromText(rs->def().columns[i], text));
    return rs->setValue(i, std::move(v));
}

Status BoundField::setValue(jet::ColumnType from, const jet::Value& v) {
    JET_ASSIGN_OR_RETURN(size_t i, index());
    vkdc::Recordset* rs = control_.Recordset();
    JET_ASSIGN_OR_RETURN(jet::Value converted, convertValue(from, v, rs->def().columns[i]));
    return rs->setValue(i, std::move(converted));
}

Status BoundField::clear() {
    JET_ASSIGN_OR_RETURN(size_t i, index());
    return control_.Recordset()->setValue(i, jet::Value(jet::Null{}));
}

}  // namespace vkdc
