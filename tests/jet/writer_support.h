// Helpers for the writer tests: running the two independent readers (mdbtools and
// mdb-reader) over files the writer produced, and reading them back with our own reader.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/index_key.h"
#include "jet/index_leaf.h"
#include "jet/value.h"
#include "support/csv_lite.h"
#include "support/json.h"

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

// Runs a shell command line, capturing stdout (stderr is dropped). The other readers are
// Linux programs: on Windows nothing runs (exit_code -1) and their cross-checks skip.
inline CommandResult run(const std::string& command) {
    CommandResult r;
#ifdef _WIN32
    (void)command;
    return r;
#else
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
#endif
}

// Prints `note` once per test program.
inline void noteOnce(bool& printed, const char* note) {
    if (!printed)
        std::printf("note: %s\n", note);
    printed = true;
}

// Whether mdbtools is installed; the first time it is not, says which checks are skipped.
inline bool haveMdbTools() {
    static const bool present = [] {
        std::error_code ec;
        return run("true").exit_code == 0 && std::filesystem::exists("/usr/bin/mdb-export", ec) &&
               std::filesystem::exists("/usr/bin/mdb-schema", ec);
    }();
    static bool noted = false;
    if (!present)
        noteOnce(noted, "mdbtools is not installed; cross-checks with mdb-export are skipped");
    return present;
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
    static const bool present = [] {
        std::error_code ec;
        return run("node --version").exit_code == 0 &&
               std::filesystem::exists(testsDir() + "/node_modules/mdb-reader/package.json", ec);
    }();
    static bool noted = false;
    if (!present)
        noteOnce(noted,
                 "mdb-reader is not installed (npm ci --prefix tests); its cross-checks "
                 "are skipped");
    return present;
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
    std::string cmd =
        "node " + shellQuote(testsDir() + "/tools/mdbreader_dump.mjs") + " " + shellQuote(file);
    if (!password_utf8.empty())
        cmd += " " + shellQuote("--password=" + password_utf8);
    if (!table.empty())
        cmd += " " + shellQuote("--table=" + table);
    if (!rows)
        cmd += " --no-rows";
    const CommandResult r = run(cmd);
    auto json = testing_support::parseJson(r.out);
    if (!json || !testing_support::isTrue(testing_support::member(*json, "ok")))
        return std::nullopt;
    return json;
}

// The folder holding jackcess.jar: the environment variable VKDC_JACKCESS_DIR wins over the
// CMake setting of the same name.
inline std::string jackcessDir() {
    if (const char* env = std::getenv("VKDC_JACKCESS_DIR"); env && *env)
        return env;
#ifdef VKDC_JACKCESS_DIR
    return VKDC_JACKCESS_DIR;
#else
    return {};
#endif
}

// The Java classpath of Jackcess and its two commons libraries, or empty when java or one of
// the jars is missing (said once per test program).
inline std::string jackcessClasspath() {
    static const std::string cp = [] {
        const std::string jars[] = {jackcessDir() + "/jackcess.jar",
                                    "/usr/share/java/commons-lang3.jar",
                                    "/usr/share/java/commons-logging.jar"};
        std::string out;
        std::error_code ec;
        for (const auto& j : jars) {
            if (!std::filesystem::exists(j, ec))
                return std::string();
            out += (out.empty() ? "" : ":") + j;
        }
        return run("java -version").exit_code == 0 ? out : std::string();
    }();
    static bool noted = false;
    if (cp.empty())
        noteOnce(noted,
                 "Java, jackcess.jar (VKDC_JACKCESS_DIR) or its commons jars are missing; "
                 "the Jackcess checks are skipped");
    return cp;
}

// Runs tests/tools/JackcessProbe.java in `mode` over `files`: one JSON object per file, or
// nullopt when the program could not run at all.
inline std::optional<std::vector<testing_support::Json>> jackcessProbe(
    const std::string& mode, const std::vector<std::string>& files,
    const std::vector<std::string>& options = {}) {
    std::string cmd = "java -cp " + shellQuote(jackcessClasspath()) + " " +
                      shellQuote(testsDir() + "/tools/JackcessProbe.java") + " " + mode;
    for (const auto& o : options)
        cmd += " " + shellQuote(o);
    for (const auto& f : files)
        cmd += " " + shellQuote(f);
    const CommandResult r = run(cmd);
    std::vector<testing_support::Json> out;
    size_t at = 0;
    while (at < r.out.size()) {
        const size_t end = r.out.find('\n', at);
        auto json = testing_support::parseJson(r.out.substr(at, end - at));
        if (!json)
            return std::nullopt;
        out.push_back(std::move(*json));
        at = end == std::string::npos ? r.out.size() : end + 1;
    }
    if (out.size() != files.size())
        return std::nullopt;
    return out;
}

inline const testing_support::Json* dumpTable(const testing_support::Json& dump,
                                              const std::string& name) {
    for (const auto& t : testing_support::items(testing_support::member(dump, "tables"))) {
        if (testing_support::utf8(testing_support::member(t, "name")) == name)
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
    JET_RETURN_IF_ERROR(
        cursor->forEach([&](const std::vector<jet::Value>& row) { rows.push_back(row); }));
    return rows;
}

// Checks the catalog's own bookkeeping: row counts and unique-entry counts in the TDEFs of
// MSysObjects and MSysACEs, and that each index leaf holds exactly one entry per row, sorted,
// with the key recomputed from that row. Returns a description of the first problem.
// `exact_counts` = false skips the TDEF counters: Access leaves them stale at times (a file
// of the corpus counts 61 ACE rows and holds 64).
inline std::string catalogProblems(const std::string& path, bool exact_counts = true) {
    jet::OpenOptions inspect;
    inspect.check_password = false;
    auto db = jet::Database::open(path, inspect);
    if (!db.isOk())
        return db.status().toString();
    jet::Pager& pager = (*db)->pager();
    for (uint32_t tdef : {2u, 3u}) {
        auto cursor = (*db)->openTableAt(tdef);
        if (!cursor.isOk())
            return cursor.status().toString();
        const jet::TableDef* def = &(*cursor)->def();
        std::vector<std::vector<std::vector<uint8_t>>> expected(def->real_indexes.size());
        uint32_t rows = 0;
        std::vector<jet::Value> row;
        while (true) {
            auto more = (*cursor)->next(row);
            if (!more.isOk())
                return more.status().toString();
            if (!*more)
                break;
            ++rows;
            for (size_t i = 0; i < def->real_indexes.size(); ++i) {
                std::vector<uint8_t> key;
                for (const auto& ic : def->real_indexes[i].columns) {
                    size_t c = 0;
                    while (def->columns[c].number != ic.column_number)
                        ++c;
                    if (def->columns[c].type == jet::ColumnType::kLong) {
                        auto* n = std::get_if<int32_t>(&row[c]);
                        jet::appendLongKey(key, n ? *n : 0);
                    } else {
                        auto* text = std::get_if<std::u16string>(&row[c]);
                        jet::Status st =
                            jet::appendGeneralLegacyTextKey(key, text ? *text : std::u16string());
                        if (!st.isOk())
                            return st.toString();
                    }
                }
                const jet::RowPointer at = (*cursor)->position();
                jet::appendEntryRowId(key, at.page, at.row);
                expected[i].push_back(key);
            }
        }
        if (exact_counts && def->num_rows != rows)
            return "table " + std::to_string(tdef) + ": TDEF says " +
                   std::to_string(def->num_rows) + " rows, found " + std::to_string(rows);
        for (size_t i = 0; i < def->real_indexes.size(); ++i) {
            const auto& ri = def->real_indexes[i];
            auto page = pager.read(ri.root_page);
            if (!page.isOk())
                return page.status().toString();
            auto leaf = jet::parseIndexLeaf((*page)->data(), 4096, ri.root_page);
            if (!leaf.isOk())
                return leaf.status().toString();
            std::sort(expected[i].begin(), expected[i].end());
            if (leaf->entries != expected[i])
                return "table " + std::to_string(tdef) + ": index " + std::to_string(i) +
                       " does not match the rows";
            std::set<std::vector<uint8_t>> keys;
            for (const auto& e : expected[i])
                keys.insert(std::vector<uint8_t>(e.begin(), e.end() - 4));
            if (exact_counts && ri.unique_count != keys.size())
                return "table " + std::to_string(tdef) + ": index " + std::to_string(i) +
                       " counts " + std::to_string(ri.unique_count) + " keys, has " +
                       std::to_string(keys.size());
        }
    }
    return {};
}

}  // namespace writer_test
