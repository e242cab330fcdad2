// vkdc-bench-convert: converts a version 2.0 sample (20,000 contacts, 5,000 sites and 200
// categories by default) to version 3.0 through the same core as the windows and the CLI.
//
//   vkdc-bench-convert [CONTACTS SITES CATEGORIES]
//
// Prints the wall time of the analysis, the conversion and the save, rows/s over all four
// tables, peak memory, the time mdb-export takes just to read every table of the source, and
// the ratio of the two (our whole conversion against mdb-export's read alone).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_util.h"
#include "convert/conversion.h"
#include "store/file_ops.h"
#include "store/templates.h"

int main(int argc, char** argv) {
    vkdc::SampleOptions o;
    o.contacts = 20000;
    o.sites = 5000;
    o.categories = 200;
    if (argc == 4) {
        o.contacts = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
        o.sites = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        o.categories = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
    }
    auto folder = vkdc::PrivateFolder::create(vkdc::tempDirectory(), "vkdc-bench-");
    if (!folder) {
        std::fprintf(stderr, "vkdc-bench-convert: %s\n", folder.status().message().c_str());
        return 1;
    }
    const std::string& dir = (*folder)->path();
    const std::string source = dir + "/source.dbb", dest = dir + "/dest.dbb";
    jet::Status st = vkdc::makeTemplate("3.0", dir + "/VKDB23.mdb");
    if (st.isOk())
        st = vkdc::makeSample("2.0", source, o);
    if (!st.isOk()) {
        std::fprintf(stderr, "vkdc-bench-convert: %s\n", st.toString().c_str());
        return 1;
    }

    const auto start = bench::Clock::now();
    vkdc::ConversionReport report;
    vkdc::Outcome out;
    {
        vkdc::Conversion conv(vkdc::versionPair(vkdc::PairId::k20to30), dir, dir);
        out = conv.analyse(source);
        if (out.ok())
            out = conv.convert(report);
        if (out.ok())
            out = conv.save(dest);
    }
    const double secs = bench::secondsSince(start);
    if (!out.ok()) {
        std::fprintf(stderr, "vkdc-bench-convert: %s\n", out.detail.c_str());
        return 1;
    }
    const double export_s = bench::timeMdbExport(
        source, {"Table_User", "Table_Site", "Table_Category", "Table_Contact"});
    const uint64_t rows = report.totalRows();
    std::printf("source:            %u contacts, %u sites, %u categories (%.1f MiB)\n", o.contacts,
                o.sites, o.categories,
                static_cast<double>(std::filesystem::file_size(source)) / (1024.0 * 1024.0));
    std::printf("convert + save:    %.3f s, %.0f rows/s (%llu rows)\n", secs, rows / secs,
                static_cast<unsigned long long>(rows));
    std::printf("peak memory:       %.1f MiB\n", bench::peakRssMiB());
    if (export_s >= 0) {
        std::printf("mdb-export (read): %.3f s for every table of the source\n", export_s);
        std::printf("ratio:             %.2fx (convert + save / mdb-export's read)\n",
                    secs / export_s);
    } else {
        std::printf("mdb-export:        not installed\n");
    }
    return 0;  // the folder goes with `folder`
}
