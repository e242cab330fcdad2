// vkdc-bench-scale: the writer and the conversion at every size Jet 4 allows.
//
//   vkdc-bench-scale sample N 1.0|2.0 DIR   make a sample of N contacts, convert it to the next
//                                          version, count every row of both files
//   vkdc-bench-scale memo DIR              the 560 MB memo case: a 2.0 source of 25,203 rows
//                                          whose 3,517 sites each carry a long memo
//   vkdc-bench-scale over DIR              a full 1.0 sample converted to 2.0, whose result
//                                          would pass 2 GB: refused, the destination untouched
//   vkdc-bench-scale limit 1.0|2.0 DIR     the most contacts a default sample holds (bisection)
//   vkdc-bench-scale check FILE PASSWORD [--modify COPY]
//                                          page, usage-map and free-space consistency by our
//                                          checker and by Jackcess, rows counted by all four
//                                          readers; with --modify, Jackcess then writes into
//                                          COPY (a copy of FILE) and all of it runs again there
//
// Making and converting run in child processes, so each step has its own peak RSS. Files go
// to DIR, which needs room for two files of up to 2 GB.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "bench_util.h"
#include "convert/conversion.h"
#include "file_check.h"
#include "jet/database.h"
#include "jet/writer.h"
#include "jet/writer_support.h"
#include "store/templates.h"
#include "store/version_pair.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using testing_support::element;
using testing_support::isTrue;
using testing_support::items;
using testing_support::member;
using testing_support::number;
using testing_support::utf16;
using testing_support::utf8;

struct Run {
    int status = -1;
    double seconds = 0;
    double peak_mib = 0;
};

// Runs `work` in a child process: its exit status, wall time and peak RSS.
Run inChild(const std::function<int()>& work) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int rc = work();
        std::fflush(stdout);
        ::_exit(rc);
    }
    Run r;
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    r.seconds = bench::secondsSince(start);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peak_mib = static_cast<double>(ru.ru_maxrss) / 1024.0;
    return r;
}

double mib(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0.0 : static_cast<double>(size) / (1024.0 * 1024.0);
}

void printRun(const char* what, const Run& r, uint64_t rows, const std::string& file) {
    std::printf("%-9s %8.1f s  %9.0f rows/s  peak RSS %6.1f MiB  %8.1f MiB written  (exit %d)\n",
                what, r.seconds, static_cast<double>(rows) / r.seconds, r.peak_mib, mib(file),
                r.status);
}

const vkdc::VersionPair& pairFrom(const std::string& version) {
    return vkdc::versionPair(version == "1.0" ? vkdc::PairId::k10to20 : vkdc::PairId::k20to30);
}

bool makeTemplates(const std::string& dir) {
    jet::Status st = vkdc::makeTemplate("2.0", dir + "/VKDB12.mdb");
    if (st.isOk())
        st = vkdc::makeTemplate("3.0", dir + "/VKDB23.mdb");
    if (!st.isOk())
        std::fprintf(stderr, "vkdc-bench-scale: %s\n", st.toString().c_str());
    return st.isOk();
}

// Live rows of the four tables, counted from the data pages; empty on error.
std::vector<uint64_t> countRows(const std::string& path, const std::string& password) {
    jet::OpenOptions o;
    o.password = jet::fromUtf8(password);
    auto db = jet::Database::open(path, o);
    if (!db.isOk()) {
        std::fprintf(stderr, "vkdc-bench-scale: %s\n", db.status().toString().c_str());
        return {};
    }
    std::vector<uint64_t> out;
    for (const std::string& t : vkdc::tableNames()) {
        auto n = (*db)->countRows(t);
        auto def = (*db)->tableDef(t);
        if (!n.isOk() || !def.isOk() || *n != def->num_rows) {
            std::fprintf(stderr, "vkdc-bench-scale: %s: %s cannot be counted or miscounts\n",
                         path.c_str(), t.c_str());
            return {};
        }
        out.push_back(*n);
    }
    return out;
}

uint64_t sum(const std::vector<uint64_t>& v) {
    uint64_t n = 0;
    for (uint64_t x : v)
        n += x;
    return n;
}

// Converts `source` (of `pair`'s source version) to `dest` in a child; prints its report.
Run convertInChild(const vkdc::VersionPair& pair, const std::string& dir, const std::string& source,
                   const std::string& dest) {
    return inChild([&] {
        vkdc::Conversion conv(pair, dir, dir);
        vkdc::ConversionReport report;
        vkdc::Outcome o = conv.analyse(source);
        if (o.ok())
            o = conv.convert(report);
        for (const auto& t : report.tables)
            std::printf("  %-15s %9llu read %9llu written %5llu failed\n", t.table.c_str(),
                        static_cast<unsigned long long>(t.read),
                        static_cast<unsigned long long>(t.written),
                        static_cast<unsigned long long>(t.failed));
        if (o.ok())
            o = conv.save(dest);
        if (!o.ok())
            std::printf("  conversion: %s: %s\n", vkdc::problemName(o.problem), o.detail.c_str());
        return o.ok() ? 0 : o.problem == vkdc::Problem::kTooLarge ? 3 : 1;
    });
}

// Counts both files and says whether every source row reached the result.
int reportCounts(const vkdc::VersionPair& pair, const std::string& source, const std::string& dest,
                 const Run& made, const Run& converted) {
    const auto src = countRows(source, pair.source_password);
    const auto out = countRows(dest, pair.target_password);
    if (src.empty() || out.empty())
        return 1;
    printRun("make", made, sum(src), source);
    printRun("convert", converted, sum(src), dest);
    for (size_t i = 0; i < src.size(); ++i)
        std::printf("  %-15s source %9llu  result %9llu\n", vkdc::tableNames()[i].c_str(),
                    static_cast<unsigned long long>(src[i]),
                    static_cast<unsigned long long>(out[i]));
    const bool all = src == out && converted.status == 0;
    std::printf("every row counted: %s (%llu rows)\n", all ? "yes" : "NO",
                static_cast<unsigned long long>(sum(src)));
    return all ? 0 : 1;
}

int sample(uint32_t contacts, const std::string& version, const std::string& dir) {
    if (!makeTemplates(dir))
        return 1;
    const auto& pair = pairFrom(version);
    const std::string source = dir + "/sample-" + version + ".dbb";
    const std::string dest = dir + "/converted-" + pair.target_version + ".dbb";
    const Run made = inChild([&] {
        vkdc::SampleOptions o;
        o.contacts = contacts;
        jet::Status st = vkdc::makeSample(version, source, o);
        if (!st.isOk())
            std::printf("  make-sample: %s\n", st.toString().c_str());
        return st.isOk() ? 0 : 1;
    });
    if (made.status != 0)
        return 1;
    const Run converted = convertInChild(pair, dir, source, dest);
    return reportCounts(pair, source, dest, made, converted);
}

// A real-shaped 2.0 source: 2 users, 3,517 sites each with a memo of 64,000 to 101,200
// Persian characters (560 MB of memos in all), 1,684 categories and 20,000 contacts: 25,203
// rows.
jet::Status writeMemoSource(const std::string& path) {
    jet::CreateOptions co;
    co.password = jet::fromUtf8(vkdc::passwordOfVersion("2.0"));
    JET_ASSIGN_OR_RETURN(auto w, jet::Writer::create(path, co));
    JET_ASSIGN_OR_RETURN(auto specs, vkdc::schemaOf("2.0"));
    for (const auto& s : specs)
        JET_RETURN_IF_ERROR(w->createTable(s));
    const jet::Value n = jet::Null{};
    auto num = [](uint32_t i) { return jet::fromUtf8(std::to_string(i)); };
    JET_RETURN_IF_ERROR(
        w->append("Table_User", {std::u16string(u"admin"), std::u16string(u"رمز"), n, n}));
    JET_RETURN_IF_ERROR(w->append("Table_User", {std::u16string(u"مریم"), n, n, n}));
    const std::u16string para =
        u"شرح کامل سایت، نام کاربری، رمزها و "
        u"یادداشت‌های سال‌ها کار. ";
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < 3517; ++i) {
        seed = seed * 1103515245u + 12345u;
        const size_t chars = 64000 + (seed >> 8) % 37200;
        std::u16string memo;
        memo.reserve(chars);
        while (memo.size() < chars)
            memo += para;
        memo.resize(chars);
        std::vector<jet::Value> row(15, n);
        row[0] = u"سایت " + num(i + 1);
        row[1] = u"https://www.example" + num(i) + u".ir/";
        row[5] = u"0912" + num(1000000 + i);
        row[10] = std::move(memo);
        JET_RETURN_IF_ERROR(w->append("Table_Site", row));
    }
    for (uint32_t i = 0; i < 1684; ++i)
        JET_RETURN_IF_ERROR(w->append("Table_Category", {u"گروه " + num(i + 1)}));
    for (uint32_t i = 0; i < 20000; ++i) {
        JET_RETURN_IF_ERROR(w->append(
            "Table_Contact",
            {u"نام " + num(i), std::u16string(u"دوستان"), u"0912" + num(2000000 + i), n, n,
             u"user" + num(i) + u"@example.com", n, n, u"تهران، خیابان " + num(i % 200 + 1), n}));
    }
    return w->close();
}

int memo(const std::string& dir) {
    if (!makeTemplates(dir))
        return 1;
    const auto& pair = pairFrom("2.0");
    const std::string source = dir + "/memo-2.0.dbb", dest = dir + "/memo-3.0.dbb";
    const Run made = inChild([&] {
        jet::Status st = writeMemoSource(source);
        if (!st.isOk())
            std::printf("  memo source: %s\n", st.toString().c_str());
        return st.isOk() ? 0 : 1;
    });
    if (made.status != 0)
        return 1;
    const Run converted = convertInChild(pair, dir, source, dest);
    return reportCounts(pair, source, dest, made, converted);
}

int over(const std::string& dir) {
    if (!makeTemplates(dir))
        return 1;
    const auto& pair = pairFrom("1.0");
    const std::string source = dir + "/full-1.0.dbb", dest = dir + "/dest.dbb";
    const uint32_t contacts = vkdc::maxSampleContacts("1.0");
    const Run made = inChild([&] {
        vkdc::SampleOptions o;
        o.contacts = contacts;
        jet::Status st = vkdc::makeSample("1.0", source, o);
        if (!st.isOk())
            std::printf("  make-sample: %s\n", st.toString().c_str());
        return st.isOk() ? 0 : 1;
    });
    // Rows of all four tables: the users, the sites, the categories and the contacts.
    const uint64_t rows = uint64_t{contacts} + contacts / 4 + 200 + 2;
    printRun("make", made, rows, source);
    if (made.status != 0)
        return 1;
    {
        FILE* f = std::fopen(dest.c_str(), "w");
        std::fputs("an earlier database, which must survive", f);
        std::fclose(f);
    }
    struct stat before {};
    ::stat(dest.c_str(), &before);
    const auto entries = [&] {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.insert(e.path().filename().string());
        return names;
    };
    const auto names_before = entries();
    const Run converted = convertInChild(pair, dir, source, dest);
    printRun("convert", converted, rows, dest);
    struct stat after {};
    ::stat(dest.c_str(), &after);
    const bool untouched =
        before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
        before.st_mtim.tv_nsec == after.st_mtim.tv_nsec && before.st_ino == after.st_ino;
    const bool clean = entries() == names_before;
    std::printf("refused as too large: %s; destination untouched: %s; nothing left behind: %s\n",
                converted.status == 3 ? "yes" : "NO", untouched ? "yes" : "NO",
                clean ? "yes" : "NO");
    return converted.status == 3 && untouched && clean ? 0 : 1;
}

int limit(const std::string& version, const std::string& dir) {
    const std::string path = dir + "/limit-trial.dbb";
    auto fits = [&](uint32_t n) {
        vkdc::SampleOptions o;  // the defaults, spelled out so that no precheck applies
        o.contacts = n;
        o.sites = std::max<uint32_t>(5, n / 4);
        o.categories = std::max<uint32_t>(4, std::min<uint32_t>(200, n / 10));
        const auto start = Clock::now();
        jet::Status st = vkdc::makeSample(version, path, o);
        std::printf("  %u contacts: %s (%.1f MiB, %.0f s)\n", n,
                    st.isOk() ? "fits" : st.toString().c_str(), mib(path),
                    bench::secondsSince(start));
        std::fflush(stdout);
        fs::remove(path);
        if (!st.isOk() && st.code() != jet::Status::Code::kTooLarge)
            std::exit(1);
        return st.isOk();
    };
    // Start from the size of a 200,000-contact sample.
    vkdc::SampleOptions probe;
    probe.contacts = 200000;
    if (!vkdc::makeSample(version, path, probe).isOk())
        return 1;
    const double per = mib(path) / 200000;
    fs::remove(path);
    const double estimate = 2048.0 / per;
    uint32_t lo = static_cast<uint32_t>(estimate * 0.98),
             hi = static_cast<uint32_t>(estimate * 1.02);
    if (!fits(lo) || fits(hi))
        return 1;
    while (hi - lo > 1) {
        const uint32_t mid = lo + (hi - lo) / 2;
        (fits(mid) ? lo : hi) = mid;
    }
    std::printf("a version %s sample holds at most %u contacts\n", version.c_str(), lo);
    return 0;
}

// ---- check --------------------------------------------------------------------------------

bool printCheck(const std::string& path, const std::string& password) {
    const auto start = Clock::now();
    const bench::FileCheck c = bench::checkFile(path, jet::fromUtf8(password));
    std::printf("our check of %s (%.1f s): %u pages\n", path.c_str(), bench::secondsSince(start),
                c.pages);
    for (const auto& [kind, n] : c.kinds)
        std::printf("  %-18s %9llu pages\n", kind.c_str(), static_cast<unsigned long long>(n));
    std::printf("  global map: %s\n", c.global.c_str());
    for (const auto& p : c.problems)
        std::printf("  PROBLEM: %s\n", p.c_str());
    std::printf("  consistent: %s\n", c.problems.empty() ? "yes" : "NO");
    return c.problems.empty();
}

// Row counts of every user table by each reader; true when all agree.
bool compareReaders(const std::string& path, const std::string& password) {
    jet::OpenOptions o;
    o.password = jet::fromUtf8(password);
    auto db = jet::Database::open(path, o);
    if (!db.isOk())
        return false;
    std::vector<std::string> names;
    for (const auto& t : (*db)->tables())
        names.push_back(t.name);
    std::map<std::string, std::map<std::string, long long>> counts;  // table -> reader -> rows
    for (const auto& t : names)
        counts[t]["ours"] = static_cast<long long>((*db)->countRows(t).value());

    const auto jstart = Clock::now();
    auto jread = writer_test::jackcessClasspath().empty()
                     ? std::nullopt
                     : writer_test::jackcessProbe("read", {path}, {"--every=1000"});
    const double jsecs = bench::secondsSince(jstart);
    size_t sampled = 0, mismatched = 0;
    if (jread && isTrue(member((*jread)[0], "ok"))) {
        for (const auto& t : items(member((*jread)[0], "tables"))) {
            const std::string name = utf8(member(t, "name"));
            counts[name]["Jackcess"] = static_cast<long long>(number(member(t, "rowCount")));
            // Every 1,000th row of Jackcess's scan against ours.
            auto cursor = (*db)->openTable(name);
            size_t i = 0;
            const auto& rows = items(member(t, "rows"));
            (void)(*cursor)->forEach([&](const std::vector<jet::Value>& row) {
                if (i % 1000 == 0 && i / 1000 < rows.size()) {
                    const auto& theirs = element(rows, i / 1000);
                    for (size_t c = 0; c < row.size(); ++c) {
                        const auto* s = std::get_if<std::u16string>(&row[c]);
                        const bool same = jet::isNull(row[c]) ? element(theirs, c).is_null()
                                          : s                 ? utf16(element(theirs, c)) == *s
                                                              : true;
                        mismatched += !same;
                    }
                    ++sampled;
                }
                ++i;
            });
        }
        std::printf("Jackcess read it in %.1f s; %zu sampled rows compared, %zu cells differ\n",
                    jsecs, sampled, mismatched);
    } else {
        std::printf("Jackcess: %s\n",
                    jread ? utf8(member((*jread)[0], "error")).c_str() : "not available");
    }
    if (writer_test::haveMdbTools()) {
        for (const auto& t : names) {
            // Memos may hold line breaks: count the record separator instead.
            auto r = writer_test::run("mdb-export -R '\x1e' " + writer_test::shellQuote(path) +
                                      " " + writer_test::shellQuote(t));
            long long n = 0;
            for (char ch : r.out)
                n += ch == '\x1e';
            counts[t]["mdbtools"] = r.exit_code == 0 ? n - 1 : -1;  // less the header
        }
    }
    if (writer_test::haveMdbReader()) {
        auto r = writer_test::run(
            "node --max-old-space-size=8192 " +
            writer_test::shellQuote(writer_test::testsDir() + "/tools/mdbreader_dump.mjs") + " " +
            writer_test::shellQuote(path) + " " +
            writer_test::shellQuote("--password=" + password) + " --count");
        auto json = testing_support::parseJson(r.out);
        if (json && isTrue(member((*json), "ok"))) {
            for (const auto& t : items(member((*json), "tables")))
                counts[utf8(member(t, "name"))]["mdb-reader"] =
                    static_cast<long long>(number(member(t, "liveRows")));
        } else {
            std::printf("mdb-reader failed: %s\n", r.out.substr(0, 300).c_str());
        }
    }
    bool agree = mismatched == 0;
    for (const auto& [table, by] : counts) {
        std::printf("  %-16s", table.c_str());
        for (const auto& [reader, n] : by) {
            std::printf("  %s %lld", reader.c_str(), n);
            agree = agree && n == by.begin()->second;
        }
        std::printf("\n");
    }
    std::printf("  all readers agree: %s\n", agree ? "yes" : "NO");
    return agree;
}

// Jackcess's reading of the maps: the same pages as ours, table by table.
bool compareMaps(const std::string& path, const std::string& password) {
    if (writer_test::jackcessClasspath().empty())
        return true;
    auto maps = writer_test::jackcessProbe("maps", {path});
    if (!maps || !isTrue(member((*maps)[0], "ok"))) {
        std::printf("Jackcess maps: %s\n",
                    maps ? utf8(member((*maps)[0], "error")).c_str() : "failed");
        return false;
    }
    jet::OpenOptions o;
    o.password = jet::fromUtf8(password);
    auto db = jet::Database::open(path, o);
    auto expand = [](const testing_support::Json& ranges) {
        std::vector<uint32_t> out;
        for (const auto& r : items(ranges))
            for (auto p = static_cast<uint32_t>(number(element(r, 0)));
                 p <= static_cast<uint32_t>(number(element(r, 1))); ++p)
                out.push_back(p);
        return out;
    };
    size_t maps_compared = 0, differ = 0;
    uint64_t pages = 0;
    for (const auto& t : items(member((*maps)[0], "tables"))) {
        const std::string name = utf8(member(t, "name"));
        auto def = name == "MSysObjects" ? (*db)->tableDefAt(2) : (*db)->tableDef(name);
        auto same = [&](const testing_support::Json& theirs, jet::RowPointer m) {
            auto ours = (*db)->usageMapPages(m);
            const auto list = expand(theirs);
            ++maps_compared;
            pages += list.size();
            if (!ours.isOk() || *ours != list) {
                ++differ;
                std::printf("  %s: a map differs from Jackcess's reading\n", name.c_str());
            }
        };
        same(member(t, "owned"), def->owned_map);
        same(member(t, "free"), def->free_map);
        for (const auto& lv : items(member(t, "longValues"))) {
            const jet::ColumnDef* c = def->findColumn(utf8(member(lv, "column")));
            for (const auto& m : def->long_value_maps) {
                if (m.column_number == c->number) {
                    same(member(lv, "owned"), m.owned);
                    same(member(lv, "free"), m.free);
                }
            }
        }
    }
    const auto free = expand(member((*maps)[0], "globalFree"));
    const bool global_ok = !free.empty() && free.front() >= (*db)->pager().pageCount();
    std::printf(
        "Jackcess's maps: %zu maps (%llu pages) compared, %zu differ; its global map "
        "frees %zu pages, none in the file: %s\n",
        maps_compared, static_cast<unsigned long long>(pages), differ, free.size(),
        global_ok ? "yes" : "NO");
    return differ == 0 && global_ok;
}

int check(const std::string& path, const std::string& password, const std::string& copy) {
    bool ok = printCheck(path, password);
    ok = compareMaps(path, password) && ok;
    ok = compareReaders(path, password) && ok;
    if (!copy.empty()) {
        fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
        const auto start = Clock::now();
        auto m = writer_test::jackcessProbe("modify", {copy}, {"--table=Table_Contact"});
        std::printf(
            "\nJackcess modified %s in %.1f s: %s\n", copy.c_str(), bench::secondsSince(start),
            m ? isTrue(member((*m)[0], "ok")) ? "ok" : utf8(member((*m)[0], "error")).c_str()
              : "failed");
        ok = ok && m && isTrue(member((*m)[0], "ok"));
        ok = printCheck(copy, password) && ok;
        ok = compareMaps(copy, password) && ok;
        ok = compareReaders(copy, password) && ok;
    }
    std::printf("\ncheck: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: vkdc-bench-scale sample N 1.0|2.0 DIR | memo DIR | over DIR |\n"
                 "       limit 1.0|2.0 DIR | check FILE PASSWORD [--modify COPY]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 4 && a[0] == "sample")
        return sample(static_cast<uint32_t>(std::strtoul(a[1].c_str(), nullptr, 10)), a[2], a[3]);
    if (a.size() == 2 && a[0] == "memo")
        return memo(a[1]);
    if (a.size() == 2 && a[0] == "over")
        return over(a[1]);
    if (a.size() == 3 && a[0] == "limit")
        return limit(a[1], a[2]);
    if (a.size() == 3 && a[0] == "check")
        return check(a[1], a[2], {});
    if (a.size() == 5 && a[0] == "check" && a[3] == "--modify")
        return check(a[1], a[2], a[4]);
    return usage();
}
