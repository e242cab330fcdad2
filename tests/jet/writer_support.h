// Helpers for the writer tests: running the two independent readers (mdbtools and
// mdb-reader) over files the writer produced, and reading them back with our own reader.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/value.h"
#include "support/csv_lite.h"
#include "support/json_lite.h"

namespace writer_test {

inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

struct CommandResult {
    int exit_code = -1;
    std::string out;
};

// Runs a shell command line, capturing stdout (stderr is dropped).
inline CommandResult run(const std::string& command) {
    CommandResult r;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return r;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = ::pclose(p);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline bool haveMdbTools() {
    std::error_code ec;
    return std::filesystem::exists("/usr/bin/mdb-export", ec) &&
           std::filesystem::exists("/usr/bin/mdb-schema", ec);
}

inline std::string testsDir() {
#ifdef VKDC_TESTS_DIR
    return VKDC_TESTS_DIR;
#else
    return {};
#endif
}

// mdb-reader needs node and the package installed by `npm ci --prefix tests`.
inline bool haveMdbReader() {
    std::error_code ec;
    return run("node --version").exit_code == 0 &&
           std::filesystem::exists(testsDir() + "/node_modules/mdb-reader/package.json", ec);
}

// mdb-export of one table, dates as "YYYY-MM-DD HH:MM:SS", binary as hex; first row = names.
inline std::optional<std::vector<testing_support::CsvRow>> mdbExport(const std::string& file,
                                                                     const std::string& table) {
    const CommandResult r =
        run("LC_ALL=C.UTF-8 TZ=UTC mdb-export -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' "
            "-b hex " +
            shellQuote(file) + " " + shellQuote(table));
    std::vector<testing_support::CsvRow> rows;
    if (r.exit_code != 0 || !testing_support::parseCsv(r.out, rows))
        return std::nullopt;
    return rows;
}

inline std::optional<std::string> mdbSchema(const std::string& file) {
    const CommandResult r = run("LC_ALL=C.UTF-8 mdb-schema " + shellQuote(file));
    if (r.exit_code != 0)
        return std::nullopt;
    return r.out;
}

// mdb-reader's view of the file (see tests/tools/mdbreader_dump.mjs for the encoding).
inline std::optional<testing_support::Json> mdbReaderDump(const std::string& file,
                                                          const std::string& password_utf8 = "",
                                                          const std::string& table = "",
                                                          bool rows = true) {
    std::string cmd = "node " + shellQuote(testsDir() + "/tools/mdbreader_dump.mjs") + " " +
                      shellQuote(file);
    if (!password_utf8.empty())
        cmd += " " + shellQuote("--password=" + password_utf8);
    if (!table.empty())
        cmd += " " + shellQuote("--table=" + table);
    if (!rows)
        cmd += " --no-rows";
    const CommandResult r = run(cmd);
    auto json = testing_support::parseJson(r.out);
    if (!json || (*json)["ok"].kind != testing_support::Json::Kind::kBool || !(*json)["ok"].boolean)
        return std::nullopt;
    return json;
}

inline const testing_support::Json* dumpTable(const testing_support::Json& dump,
                                              const std::string& name) {
    for (const auto& t : dump["tables"].array) {
        if (t["name"].utf8() == name)
            return &t;
    }
    return nullptr;
}

// Every row of `table` through our own reader.
inline jet::Result<std::vector<std::vector<jet::Value>>> readAll(const std::string& file,
                                                                 const std::string& table,
                                                                 const std::u16string& pw = u"") {
    jet::OpenOptions opts;
    opts.password = pw;
    JET_ASSIGN_OR_RETURN(auto db, jet::Database::open(file, opts));
    JET_ASSIGN_OR_RETURN(auto cursor, db->openTable(table));
    std::vector<std::vector<jet::Value>> rows;
    std::vector<jet::Value> row;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, cursor->next(row));
        if (!more)
            break;
        rows.push_back(row);
    }
    return rows;
}

}  // namespace writer_test
