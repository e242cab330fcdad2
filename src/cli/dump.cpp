#include <iostream>

#include "cli/commands.h"
#include "cli/csv_writer.h"
#include "cli/json_writer.h"
#include "cli/options.h"
#include "jet/database.h"

namespace cli {

const char* const kDumpUsage =
    "vkdc-cli dump FILE TABLE [--password P] [--format csv|json]\n"
    "    Writes every row of TABLE to standard output: CSV with a header row (the default),\n"
    "    or one JSON object with exact values. Without --password the file must have no\n"
    "    password.\n";

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

int runDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto parsed = parseOptions(args, {.password = true, .format = true});
    if (!parsed) {
        err << "vkdc-cli dump: " << parsed.status().message() << "\n" << kDumpUsage;
        return kExitUsage;
    }
    const Options& opts = *parsed;
    if (opts.help) {
        out << kDumpUsage;
        return kExitOk;
    }
    if (opts.positional.size() != 2) {
        err << "vkdc-cli dump: expected FILE and TABLE\n" << kDumpUsage;
        return kExitUsage;
    }
    const std::string& path = opts.positional[0];
    const std::string& table = opts.positional[1];

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
        err << "vkdc-cli: " << path << ": could not write the output\n";
        return kExitCannotOpen;
    }
    return kExitOk;
}

}  // namespace cli
