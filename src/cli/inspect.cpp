#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "cli/common.h"
#include "jet/database.h"

namespace cli {
namespace {

std::string versionName(jet::JetVersion v) {
    return v == jet::JetVersion::kJet3 ? "Jet 3 (Access 97)" : "Jet 4 (Access 2000-2003)";
}

// "100 chars", "8 bytes", "precision 18, scale 4": what a person needs to size the data.
std::string columnSize(const jet::ColumnDef& c, jet::JetVersion v) {
    switch (c.type) {
        case jet::ColumnType::kBoolean:
            return "-";
        case jet::ColumnType::kText:
            return std::to_string(c.maxChars(v)) + " chars";
        case jet::ColumnType::kMemo:
        case jet::ColumnType::kOle:
            return "long value";
        case jet::ColumnType::kNumeric:
            return "precision " + std::to_string(c.precision) + ", scale " +
                   std::to_string(c.scale);
        default:
            return std::to_string(c.length) + (c.length == 1 ? " byte" : " bytes");
    }
}

void printColumns(std::ostream& out, const jet::TableDef& def, jet::JetVersion v) {
    size_t name_w = 4, type_w = 4;
    for (const auto& c : def.columns) {
        name_w = std::max(name_w, c.name.size());
        type_w = std::max(type_w, jet::typeName(c.type).size());
    }
    for (const auto& c : def.columns) {
        out << "    " << std::left << std::setw(static_cast<int>(name_w)) << c.name << "  "
            << std::setw(static_cast<int>(type_w)) << jet::typeName(c.type) << "  "
            << columnSize(c, v);
        if (c.isAutoNumber())
            out << ", autonumber";
        if (!c.isNullable() && c.type != jet::ColumnType::kBoolean)
            out << ", required";
        out << "\n";
    }
}

}  // namespace

int runInspect(const InspectOptions& opts, std::ostream& out, std::ostream& err) {
    const std::string& path = opts.file;

    jet::OpenOptions open_opts;
    if (opts.password) {
        open_opts.password = jet::fromUtf8(*opts.password);
    } else {
        open_opts.check_password = false;  // inspection only; we still say whether one is set
    }
    auto db = jet::Database::open(path, open_opts);
    if (!db) {
        err << errorLine(path, db.status()) << "\n";
        return exitCodeFor(db.status());
    }
    const jet::Header& h = (*db)->header();

    out << "File:         " << printable(path) << "\n";
    out << "Format:       " << versionName(h.version) << ", page size " << h.page_size
        << " bytes\n";
    out << "Code page:    " << h.code_page << "\n";
    out << "Sort order:   " << h.sort_order;
    if (h.version == jet::JetVersion::kJet4)
        out << " (sort version " << int(h.sort_version) << ")";
    out << "\n";
    out << "Created:      "
        << (h.version == jet::JetVersion::kJet4 ? jet::formatDateTime(h.creation_date)
                                                : std::string("not recorded by Jet 3"))
        << "\n";
    out << "Encoded:      " << (h.db_key != 0 ? "yes (RC4-encoded pages)" : "no") << "\n";
    out << "Password:     ";
    if (!h.hasPassword()) {
        out << "none\n";
    } else if (opts.show_password) {
        out << "set: \"" << jet::toUtf8(h.password()) << "\"\n";
    } else {
        out << "set (add --show-password to print it)\n";
    }

    const auto& objects = (*db)->objects();
    size_t local = 0;
    for (const auto& o : objects)
        local += o.kind == jet::ObjectKind::kTable;
    out << "Tables:       " << local << " local, " << objects.size() - local << " linked\n";

    int status = kExitOk;
    for (const auto& o : objects) {
        out << "\n";
        if (o.kind == jet::ObjectKind::kLinkedTable) {
            out << "Linked table " << o.name << " -> " << o.linked_database;
            if (!o.foreign_name.empty())
                out << " (table " << o.foreign_name << ")";
            out << "\n";
            continue;
        }
        if (o.kind == jet::ObjectKind::kLinkedOdbcTable) {
            out << "Linked table " << o.name << " -> ODBC data source";
            if (!o.foreign_name.empty())
                out << " (table " << o.foreign_name << ")";
            out << "\n";
            continue;
        }
        auto def = (*db)->tableDef(o.name);
        auto rows = (*db)->countRows(o.name);
        if (!def || !rows) {
            const jet::Status& st = !def ? def.status() : rows.status();
            out << "Table " << o.name << ": unreadable\n";
            err << errorLine(path, st.withContext("table " + o.name)) << "\n";
            status = exitCodeFor(st);
            continue;
        }
        out << "Table " << o.name << ": " << *rows << (*rows == 1 ? " row" : " rows") << ", "
            << def->columns.size() << (def->columns.size() == 1 ? " column" : " columns") << "\n";
        printColumns(out, *def, h.version);
    }
    return status;
}

}  // namespace cli
