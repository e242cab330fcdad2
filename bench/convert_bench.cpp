// vkdc-bench-convert: converts a source to version 3.0 through the same core as the windows
// and the CLI, and times mdb-export reading the same source in the same run.
//
//   vkdc-bench-convert SOURCE                       a version 1.0 or 2.0 file
//   vkdc-bench-convert [CONTACTS SITES CATEGORIES]  a 2.0 sample made first (20,000 contacts,
//                                                   5,000 sites, 200 categories by default)
//
// Prints the wall time of the analysis, the conversion and the save (a 1.0 source goes
// straight to 3.0, as `vkdc-cli convert --to 3.0` takes it), rows/s over all four tables,
// peak memory, the time mdb-export takes to read every table of the source (one process per
// table), and the ratio of the two: our whole conversion against mdb-export's read alone.
// The templates are made fresh in a private folder, which goes with the run.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_util.h"
#include "convert/conversion.h"
#include "store/file_ops.h"
#include "store/templates.h"

namespace {

int fail(const std::string& why) {
    std::fprintf(stderr, "vkdc-bench-convert: %s\n", why.c_str());
    return 1;
}

// Converts `source` (of `version`) to 3.0 at `dest`, as the CLI does.
vkdc::Outcome convertTo30(const std::string& version, const std::string& source,
                          const std::string& dest, const std::string& dir,
                          vkdc::ConversionReport& report) {
    const vkdc::VersionPair& p23 = vkdc::versionPair(vkdc::PairId::k20to30);
    std::unique_ptr<vkdc::Conversion> conv;
    if (version == "1.0") {
        conv = std::make_unique<vkdc::Conversion>(vkdc::versionPair(vkdc::PairId::k10to20), p23,
                                                  dir, dir);
    } else {
        conv = std::make_unique<vkdc::Conversion>(p23, dir, dir);
    }
    vkdc::Outcome out = conv->analyse(source);
    if (out.ok())
        out = conv->convert(report);
    if (out.ok())
        out = conv->save(dest);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    auto folder = vkdc::PrivateFolder::create(vkdc::tempDirectory(), "vkdc-bench-");
    if (!folder)
        return fail(folder.status().message());
    const std::string& dir = (*folder)->path();
    const std::string dest = dir + "/dest.dbb";
    jet::Status st = vkdc::makeTemplate("2.0", dir + "/VKDB12.mdb", 45000.25);
    if (st.isOk())
        st = vkdc::makeTemplate("3.0", dir + "/VKDB23.mdb", 45000.25);
    if (!st.isOk())
        return fail(st.toString());

    std::string source = dir + "/source.dbb";
    if (argc == 2) {
        source = argv[1];
    } else {
        vkdc::SampleOptions o;
        o.contacts = 20000;
        o.sites = 5000;
        o.categories = 200;
        if (argc == 4) {
            o.contacts = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
            o.sites = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
            o.categories = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
        } else if (argc != 1) {
            return fail("usage: vkdc-bench-convert [SOURCE | CONTACTS SITES CATEGORIES]");
        }
        if (st = vkdc::makeSample("2.0", source, o); !st.isOk())
            return fail(st.toString());
    }
    const vkdc::DetectedVersion version = vkdc::detectVersion(source);
    if (!version.outcome.ok())
        return fail(version.outcome.detail);
    if (version.version == "3.0")
        return fail(source + " is already a version 3.0 database");

    const auto start = bench::Clock::now();
    vkdc::ConversionReport report;
    const vkdc::Outcome out = convertTo30(version.version, source, dest, dir, report);
    const double secs = bench::secondsSince(start);
    const double peak = bench::peakRssMiB();
    if (!out.ok())
        return fail(out.detail);
    const double export_s = bench::timeMdbExport(
        source, {"Table_User", "Table_Site", "Table_Category", "Table_Contact"});

    const uint64_t rows = report.totalRows();
    std::printf("source:            %s, version %s, %.1f MiB, %llu rows\n", source.c_str(),
                version.version.c_str(),
                static_cast<double>(std::filesystem::file_size(source)) / (1024.0 * 1024.0),
                static_cast<unsigned long long>(rows));
    std::printf("convert + save:    %.3f s to version 3.0, %.0f rows/s\n", secs, rows / secs);
    std::printf("peak memory:       %.1f MiB\n", peak);
    if (export_s >= 0) {
        std::printf("mdb-export (read): %.3f s for every table of the source\n", export_s);
        std::printf("ratio:             %.2fx (convert + save / mdb-export's read)\n",
                    secs / export_s);
    } else {
        std::printf("mdb-export:        not installed\n");
    }
    return 0;  // the folder goes with `folder`
}
