#include <iostream>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/common.h"
#include "cli/csv_writer.h"
#include "cli/json_writer.h"
#include "jet/database.h"

namespace cli {
namespace {

// CSV text is gathered in chunks of about this size before it is written out.
constexpr size_t kFlushBytes = 64 * 1024;

// The engine's "no table named X", with the names that do exist.
jet::Status missingTable(const jet::Database& db, const std::string& table) {
    std::string names;
    for (const auto& t : db.tables())
        names += (names.empty() ? "" : ", ") + t.name;
    return jet::Status::notFound("no table named " + table + " (tables: " +
                                 (names.empty() ? std::string("none") : names) + ")");
}

}  // namespace

int runDump(const DumpOptions& opts, std::ostream& out, std::ostream& err) {
    const std::string& path = opts.file;
    const std::string& table = opts.table;

    jet::OpenOptions open_opts;
    open_opts.password = jet::fromUtf8(opts.password.value_or(""));
    auto db = jet::Database::open(path, open_opts);
    if (!db) {
        err << errorLine(path, db.status());
        if (db.status().code() == jet::Status::Code::kWrongPassword && !opts.password) {
            err << " (give it with --password)";
        }
        err << "\n";
        return exitCodeFor(db.status());
    }
    if (auto found = (*db)->findTable(table); !found) {
        // A missing table, or a linked one whose rows live elsewhere: the user asked for
        // something this file cannot give, which is a usage error, not a damaged file.
        const jet::Status::Code code = found.status().code();
        const jet::Status st =
            code == jet::Status::Code::kNotFound ? missingTable(**db, table) : found.status();
        err << errorLine(path, st) << "\n";
        return code == jet::Status::Code::kNotSupported ? kExitUsage : exitCodeFor(st);
    }
    auto cursor = (*db)->openTable(table);
    if (!cursor) {
        err << errorLine(path, cursor.status()) << "\n";
        return exitCodeFor(cursor.status());
    }

    const auto& columns = (*cursor)->def().columns;
    jet::Status failure;
    if (opts.format == "json") {
        JsonTableWriter writer(out);
        writer.begin(table, columns, (*db)->header().version);
        failure = (*cursor)->forEach([&](const std::vector<jet::Value>& row) { writer.row(row); });
        if (failure.isOk())
            writer.end();
    } else {
        std::string buf;
        appendCsvHeader(buf, columns);
        failure = (*cursor)->forEach([&](const std::vector<jet::Value>& row) {
            appendCsvRow(buf, row);
            if (buf.size() >= kFlushBytes) {
                out << buf;
                buf.clear();
            }
        });
        out << buf;
    }
    out.flush();
    if (!failure.isOk()) {
        err << errorLine(path, failure.withContext("table " + table)) << "\n";
        return exitCodeFor(failure);
    }
    if (!out) {
        err << "vkdc-cli: " << printable(path) << ": could not write the output\n";
        return kExitCannotOpen;
    }
    return kExitOk;
}

}  // namespace cli
