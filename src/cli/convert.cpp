// vkdc-cli convert [--pair 1.0-2.0|2.0-3.0] [--to 3.0] [--verify] [--json] SOURCE DEST
//
// Runs the same conversion as the converter windows. Exit status: 0 every row converted and
// saved; 2 bad usage; 3 the source (or a template) could not be opened; 4 wrong password, i.e.
// the source is not of the pair's version; 5 rows were lost; 6 nothing was saved (the save
// failed, or the result would pass the 2 GB limit of the file format).
#include <unistd.h>

#include <iostream>
#include <ostream>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/options.h"
#include "store/data_folder.h"
#include "store/file_ops.h"
#include "convert/conversion.h"

namespace cli {
namespace {

constexpr int kExitRowsLost = 5;
constexpr int kExitSaveFailed = 6;

int exitFor(vkdc::Problem p) {
    switch (p) {
        case vkdc::Problem::kNone: return kExitOk;
        case vkdc::Problem::kEmptyPath: return kExitUsage;
        case vkdc::Problem::kSourceWrongVersion: return kExitWrongPassword;
        case vkdc::Problem::kRowsLost: return kExitRowsLost;
        case vkdc::Problem::kSaveFailed:
        case vkdc::Problem::kTooLarge: return kExitSaveFailed;  // nothing was saved
        default: return kExitCannotOpen;
    }
}

std::string jsonString(const std::string& s) {
    std::string out;
    appendJsonString(out, std::string_view(s));
    return out;
}

struct Step {
    const vkdc::VersionPair* pair;
    std::string source;
    std::string dest;
    vkdc::ConversionReport report;
    vkdc::Outcome outcome;
};

void printText(const Step& s, std::ostream& out) {
    out << "pair " << s.pair->label << ": " << s.source << " -> " << s.dest << "\n";
    for (const auto& t : s.report.tables) {
        out << "  " << t.table << ": " << t.read << " read, " << t.written << " written, "
            << t.failed << " failed\n";
        for (const auto& r : t.reasons) out << "    " << r << "\n";
    }
}

void printJson(const std::vector<Step>& steps, const vkdc::Outcome& final_outcome,
               std::ostream& out) {
    out << "{\"ok\":" << (final_outcome.ok() ? "true" : "false");
    if (!final_outcome.ok()) {
        out << ",\"problem\":" << jsonString(vkdc::problemName(final_outcome.problem))
            << ",\"detail\":" << jsonString(final_outcome.detail);
    }
    out << ",\"steps\":[";
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        out << (i ? "," : "") << "{\"pair\":" << jsonString(s.pair->label)
            << ",\"source\":" << jsonString(s.source) << ",\"dest\":" << jsonString(s.dest)
            << ",\"tables\":[";
        for (size_t k = 0; k < s.report.tables.size(); ++k) {
            const auto& t = s.report.tables[k];
            out << (k ? "," : "") << "{\"table\":" << jsonString(t.table) << ",\"read\":" << t.read
                << ",\"written\":" << t.written << ",\"failed\":" << t.failed << ",\"reasons\":[";
            for (size_t r = 0; r < t.reasons.size(); ++r) {
                out << (r ? "," : "") << jsonString(t.reasons[r]);
            }
            out << "]}";
        }
        out << "]}";
    }
    out << "]}\n";
}

// One pair, start to end. Progress goes to stderr for large sources.
vkdc::Outcome runPair(Step& s, bool verify, std::ostream& err) {
    const std::string folder = vkdc::dataFolderOf(s.pair->template_file);
    vkdc::Conversion conv(*s.pair, folder);
    if (s.outcome = conv.analyse(s.source); !s.outcome.ok()) return s.outcome;
    int last_pct = -1;
    auto progress = [&](uint64_t done, uint64_t total) {
        if (total < 20000) return;
        const int pct = static_cast<int>(done * 100 / total);
        if (pct / 10 != last_pct / 10) {
            err << "converting " << s.pair->label << ": " << pct << "%\n";
            last_pct = pct;
        }
    };
    vkdc::Outcome converted = conv.convert(s.report, progress);
    if (!converted.ok() && converted.problem != vkdc::Problem::kRowsLost) {
        return s.outcome = converted;
    }
    if (vkdc::Outcome saved = conv.save(s.dest); !saved.ok()) return s.outcome = saved;
    if (verify && converted.ok()) {
        if (vkdc::Outcome v = vkdc::verifyConversion(*s.pair, s.source, s.dest); !v.ok()) {
            return s.outcome = v;
        }
    }
    return s.outcome = converted;
}

}  // namespace

const char* const kConvertUsage =
    "  convert [--pair 1.0-2.0|2.0-3.0] [--to 3.0] [--verify] [--json] SOURCE DEST\n"
    "                                       convert a database to the next version (the\n"
    "                                       version is detected when --pair is not given)\n";

int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> pos;
    std::string pair_label, to;
    bool verify = false, json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--pair" || a == "--to") && i + 1 < args.size()) {
            (a == "--pair" ? pair_label : to) = args[++i];
        } else if (a == "--verify") {
            verify = true;
        } else if (a == "--json") {
            json = true;
        } else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            err << "vkdc-cli: unknown option or missing value '" << a << "'\n";
            return kExitUsage;
        } else {
            pos.push_back(a);
        }
    }
    if (pos.size() != 2) {
        err << "usage: vkdc-cli" << kConvertUsage;
        return kExitUsage;
    }
    const std::string& source = pos[0];
    const std::string& dest = pos[1];
    if (!to.empty() && to != "2.0" && to != "3.0") {
        err << "vkdc-cli: --to takes 2.0 or 3.0, not '" << to << "'\n";
        return kExitUsage;
    }

    // Which pairs to run.
    std::vector<const vkdc::VersionPair*> pairs;
    if (!pair_label.empty()) {
        const vkdc::VersionPair* p = vkdc::findVersionPair(pair_label);
        if (!p) {
            err << "vkdc-cli: --pair takes 1.0-2.0 or 2.0-3.0, not '" << pair_label << "'\n";
            return kExitUsage;
        }
        pairs.push_back(p);
    } else {
        vkdc::DetectedVersion d = vkdc::detectVersion(source);
        if (!d.outcome.ok()) {
            err << "vkdc-cli: " << d.outcome.detail << "\n";
            return exitFor(d.outcome.problem);
        }
        err << "vkdc-cli: " << source << " is a version " << d.version << " database\n";
        if (d.version == "3.0") {
            err << "vkdc-cli: " << source << ": already the newest version (3.0)\n";
            return kExitUsage;
        }
        pairs.push_back(&vkdc::versionPair(d.version == "1.0" ? vkdc::PairId::k10to20
                                                              : vkdc::PairId::k20to30));
    }
    if (to == "3.0" && pairs.back()->id == vkdc::PairId::k10to20) {
        pairs.push_back(&vkdc::versionPair(vkdc::PairId::k20to30));
    } else if (!to.empty() && pairs.back()->target_version != to) {
        err << "vkdc-cli: a version " << pairs.back()->source_version << " source cannot be taken to " << to
            << "\n";
        return kExitUsage;
    }

    // Intermediate results of a two-step run go to a private temporary file.
    std::vector<Step> steps;
    std::string tmp_dir;
    vkdc::Outcome final_outcome;
    std::string next_source = source;
    bool lost = false;
    for (size_t i = 0; i < pairs.size(); ++i) {
        std::string step_dest = dest;
        if (i + 1 < pairs.size()) {
            auto dir = vkdc::makePrivateFolder(vkdc::tempDirectory(), "vkdc-cli-");
            if (!dir) {
                err << "vkdc-cli: " << dir.status().message() << "\n";
                return kExitSaveFailed;
            }
            tmp_dir = *dir;
            step_dest = tmp_dir + "/intermediate.mdb";
        }
        steps.push_back(Step{pairs[i], next_source, step_dest, {}, {}});
        vkdc::Outcome o = runPair(steps.back(), verify, err);
        if (!json) printText(steps.back(), out);
        if (o.problem == vkdc::Problem::kRowsLost) {
            lost = true;
            final_outcome = o;
        } else if (!o.ok()) {
            final_outcome = o;
            break;
        }
        next_source = step_dest;
    }
    if (!tmp_dir.empty()) vkdc::removeFileAndFolder(tmp_dir + "/intermediate.mdb", tmp_dir);
    if (final_outcome.ok() && lost) final_outcome.problem = vkdc::Problem::kRowsLost;

    if (json) printJson(steps, final_outcome, out);
    if (!final_outcome.ok()) {
        err << "vkdc-cli: " << vkdc::problemName(final_outcome.problem) << ": "
            << final_outcome.detail << "\n";
    } else if (!json) {
        out << "saved " << dest << (verify ? " (verified)" : "") << "\n";
    }
    return exitFor(final_outcome.problem);
}

}  // namespace cli
