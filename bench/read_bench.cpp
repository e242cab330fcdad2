// vkdc-bench-read: how fast the Jet reader reads every table of a file, next to mdb-export.
//
//   vkdc-bench-read [FILE] [--repeat N]
//
// Each pass opens the file afresh and reads every row of every user table. MB counts the pages
// the reader fetched from the file in one pass times the page size; the mdb-export figure uses
// the same byte count, so the two MB/s columns compare like with like. Peak RSS is ru_maxrss.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Pass {
    double seconds = 0;
    uint64_t rows = 0;
    uint64_t bytes = 0;  // pages fetched from the file x page size
};

struct Figures {
    std::vector<double> seconds;
    uint64_t rows = 0;
    uint64_t bytes = 0;
    long peak_rss_kb = 0;
};

[[noreturn]] void die(const std::string& msg) {
    std::fprintf(stderr, "vkdc-bench-read: %s\n", msg.c_str());
    std::exit(1);
}

std::string defaultFile() {
    std::string dir = VKDC_TESTDATA_DIR;
    if (const char* env = std::getenv("VKDC_TESTDATA_DIR"); env && *env)
        dir = env;
    return dir + "/files/jackcess-testIndexCodes-r2009.mdb";
}

Pass readOnce(const std::string& path, std::vector<std::string>* names) {
    jet::OpenOptions options;
    options.check_password = false;  // a benchmark reads; it does not guard the data
    const auto start = Clock::now();
    auto db = jet::Database::open(path, options);
    if (!db)
        die(path + ": " + db.status().toString());
    Pass pass;
    std::vector<jet::Value> row;
    for (const jet::CatalogEntry& table : (*db)->tables()) {
        if (names)
            names->push_back(table.name);
        auto cursor = (*db)->openTableAt(table.id);
        if (!cursor)
            die(table.name + ": " + cursor.status().toString());
        while (true) {
            auto more = (*cursor)->next(row);
            if (!more)
                die(table.name + ": " + more.status().toString());
            if (!*more)
                break;
            ++pass.rows;
        }
    }
    pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    pass.bytes = (*db)->pager().physicalReads() * (*db)->pager().pageSize();
    return pass;
}

bool onPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    std::string dirs = path;
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t end = dirs.find(':', pos);
        if (end == std::string::npos)
            end = dirs.size();
        const std::filesystem::path candidate =
            std::filesystem::path(dirs.substr(pos, end - pos)) / program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
        pos = end + 1;
    }
    return false;
}

// Runs `mdb-export FILE TABLE` with its output thrown away; false when it fails.
bool exportTable(const std::string& file, const std::string& table) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"mdb-export", file, table};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    const int err = posix_spawnp(&pid, "mdb-export", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        return false;
    int status = 0;
    if (::waitpid(pid, &status, 0) < 0)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double mean(const std::vector<double>& v) {
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0 : s / static_cast<double>(v.size());
}

void report(const char* who, const Figures& f) {
    const double avg = mean(f.seconds);
    const double best = *std::min_element(f.seconds.begin(), f.seconds.end());
    std::printf(
        "%-12s %2zu passes  mean %9.2f ms  best %9.2f ms  %12.0f rows/s  %8.1f MB/s  "
        "peak RSS %7.1f MB\n",
        who, f.seconds.size(), avg * 1e3, best * 1e3,
        avg > 0 ? static_cast<double>(f.rows) / avg : 0,
        avg > 0 ? static_cast<double>(f.bytes) / 1e6 / avg : 0,
        static_cast<double>(f.peak_rss_kb) / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    int repeat = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc) {
            repeat = std::atoi(argv[++i]);
            if (repeat < 1)
                die("--repeat needs a positive count");
        } else if (a == "-h" || a == "--help") {
            std::printf("usage: vkdc-bench-read [FILE] [--repeat N]\n");
            return 0;
        } else if (file.empty() && !a.starts_with("--")) {
            file = a;
        } else {
            die("unexpected argument '" + a + "' (usage: vkdc-bench-read [FILE] [--repeat N])");
        }
    }
    if (file.empty())
        file = defaultFile();
    std::error_code ec;
    const auto file_bytes = std::filesystem::file_size(file, ec);
    if (ec)
        die(file + ": " + ec.message());

    Figures ours;
    std::vector<std::string> tables;
    for (int i = 0; i < repeat; ++i) {
        Pass p = readOnce(file, i == 0 ? &tables : nullptr);
        ours.seconds.push_back(p.seconds);
        ours.rows = p.rows;
        ours.bytes = p.bytes;
    }
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    ours.peak_rss_kb = self.ru_maxrss;

    std::printf("file: %s (%llu bytes)\n", file.c_str(),
                static_cast<unsigned long long>(file_bytes));
    std::printf(
        "%zu tables, %llu rows per pass; MB = pages the vkdc reader fetched per pass x page "
        "size = %.2f MB, used for both rows below\n",
        tables.size(), static_cast<unsigned long long>(ours.rows),
        static_cast<double>(ours.bytes) / 1e6);
    report("vkdc reader", ours);

    if (!onPath("mdb-export")) {
        std::printf("mdb-export   not on PATH; no comparison\n");
        return 0;
    }
    Figures theirs;
    theirs.rows = ours.rows;  // the same tables hold the same rows
    theirs.bytes = ours.bytes;
    for (int i = 0; i < repeat; ++i) {
        const auto start = Clock::now();
        for (const std::string& t : tables) {
            if (!exportTable(file, t)) {
                std::printf("mdb-export   failed on table %s; no comparison\n", t.c_str());
                return 0;
            }
        }
        theirs.seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    theirs.peak_rss_kb = children.ru_maxrss;
    report("mdb-export", theirs);
    std::printf(
        "(mdb-export: one process per table, output to /dev/null; rows/s uses the "
        "reader's row count)\n");
    return 0;
}
