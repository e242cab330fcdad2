// vkdc-bench-write: appends contact rows (ten Text columns, one Memo) to a new table, then
// reads them back with our reader and with mdb-export.
//
//   vkdc-bench-write [ROWS] [--keep FILE]
//
// MB/s counts the bytes of the finished file. Peak memory is the process's ru_maxrss, which
// stays flat as ROWS grows because pages stream through a bounded cache.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_util.h"
#include "jet/database.h"
#include "jet/writer.h"

int main(int argc, char** argv) {
    uint32_t rows = 100000;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            rows = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10));
        }
    }
    const std::string path = keep.empty()
                                 ? (std::filesystem::temp_directory_path() /
                                    ("vkdc-bench-write-" + std::to_string(::getpid()) + ".mdb"))
                                       .string()
                                 : keep;
    jet::TableSpec layout{"Table_Contact", {}};
    for (const char* c :
         {"Name", "Group", "Mobile", "Home", "Office", "Email", "Site", "Job", "City", "Image"}) {
        layout.columns.push_back({c, jet::ColumnType::kText, 255, true, false});
    }
    layout.columns.push_back({"Address", jet::ColumnType::kMemo, 0, true, false});

    const auto start = bench::Clock::now();
    auto w = jet::Writer::create(path, {.password = u"7#%2=91@&^408!3"});
    if (!w) {
        std::fprintf(stderr, "vkdc-bench-write: %s\n", w.status().toString().c_str());
        return 1;
    }
    if (jet::Status st = (*w)->createTable(layout); !st.isOk()) {
        std::fprintf(stderr, "vkdc-bench-write: %s\n", st.toString().c_str());
        return 1;
    }
    std::vector<jet::Value> row(11);
    for (uint32_t i = 0; i < rows; ++i) {
        const std::u16string n = jet::fromUtf8(std::to_string(i));
        row[0] = u"\u0639\u0644\u06CC \u0631\u0636\u0627\u06CC\u06CC " + n;
        row[1] = std::u16string(u"\u062F\u0648\u0633\u062A\u0627\u0646");
        row[2] = u"0912" + n;
        row[3] = u"021" + n;
        row[4] = jet::Value(jet::Null{});
        row[5] = u"user" + n + u"@example.com";
        row[6] = std::u16string(u"www.example.ir");
        row[7] = std::u16string(u"\u0645\u0647\u0646\u062F\u0633");
        row[8] = std::u16string(u"\u062A\u0647\u0631\u0627\u0646");
        row[9] = std::u16string();
        row[10] = u"\u062A\u0647\u0631\u0627\u0646\u060C \u062E\u06CC\u0627\u0628\u0627\u0646 " +
                  n + (i % 50 == 0 ? std::u16string(3000, u'\u0628') : std::u16string());
        if (jet::Status st = (*w)->append("Table_Contact", row); !st.isOk()) {
            std::fprintf(stderr, "vkdc-bench-write: row %u: %s\n", i, st.toString().c_str());
            return 1;
        }
    }
    if (jet::Status st = (*w)->close(); !st.isOk()) {
        std::fprintf(stderr, "vkdc-bench-write: %s\n", st.toString().c_str());
        return 1;
    }
    w->reset();
    const double write_s = bench::secondsSince(start);
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    const double write_rss = bench::peakRssMiB();

    const auto rstart = bench::Clock::now();
    uint64_t read_rows = 0;
    {
        auto db = jet::Database::open(path, {.password = u"7#%2=91@&^408!3"});
        auto cur = (*db)->openTable("Table_Contact");
        std::vector<jet::Value> r;
        while (true) {
            auto more = (*cur)->next(r);
            if (!more || !*more)
                break;
            ++read_rows;
        }
    }
    const double read_s = bench::secondsSince(rstart);
    const double export_s = bench::timeMdbExport(path, {"Table_Contact"});

    std::printf("rows appended:       %u\n", rows);
    std::printf("file size:           %.1f MiB\n", mb);
    std::printf("write (incl. fsync): %.2f s, %.0f rows/s, %.1f MB/s\n", write_s, rows / write_s,
                mb / write_s);
    std::printf("peak memory:         %.1f MiB (after writing)\n", write_rss);
    std::printf("read back (ours):    %.2f s, %.0f rows/s, %llu rows\n", read_s, read_rows / read_s,
                static_cast<unsigned long long>(read_rows));
    if (export_s >= 0) {
        std::printf("mdb-export:          %.2f s, %.0f rows/s\n", export_s, rows / export_s);
    } else {
        std::printf("mdb-export:          not installed\n");
    }
    if (keep.empty())
        std::filesystem::remove(path);
    return read_rows == rows ? 0 : 1;
}
