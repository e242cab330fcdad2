// vkdc-cli convert [--pair 1.0-2.0|2.0-3.0] [--to 3.0] [--verify] [--keep-partial] [--json]
//                  SOURCE DEST
//
// Runs the same conversion as the converter windows. The source is only read; DEST is either
// left as it was or holds the complete new database; no file of ours outlives the run. Exit
// status: 0 every row converted and saved; 2 bad usage; 3 the source (or a template) could not
// be opened or used; 4 the source is not of the pair's version; 5 rows were lost or the source
// is damaged (nothing is written unless --keep-partial); 6 nothing was saved: the save failed
// (or the working copy could not be written), the destination was refused or is in use, or the
// result would pass the 2 GB limit of the file format.
#include <nlohmann/json.hpp>

#include <iostream>
#include <memory>
#include <ostream>

#include "cli/commands.h"
#include "cli/common.h"
#include "convert/conversion.h"
#include "store/data_folder.h"
#include "store/file_ops.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

struct Step {
    std::string label;  // "2.0-3.0"; "1.0-3.0" for both pairs in one pass
    std::string source;
    std::string dest;
    vkdc::ConversionReport report;
    bool saved = false;
    bool verified = false;
};

// What one run did, for the text or the JSON report.
struct Run {
    std::vector<Step> steps;
    std::string version;  // as detected, when --pair was not given
    vkdc::Outcome outcome;
    int status = kExitOk;
    std::string problem;   // problemId(), or "usage"
    bool lost = false;     // some step lost rows
    bool written = false;  // DEST holds the new database
};

int exitFor(vkdc::Problem p) {
    switch (p) {
        case vkdc::Problem::kNone:
            return kExitOk;
        case vkdc::Problem::kEmptyPath:
            return kExitUsage;
        case vkdc::Problem::kSourceWrongVersion:
            return kExitWrongPassword;
        case vkdc::Problem::kRowsLost:
            return kExitRowsLost;
        case vkdc::Problem::kSaveFailed:
        case vkdc::Problem::kDestinationInUse:
        case vkdc::Problem::kTooLarge:

            return kExitSaveFailed;  // nothing was saved
        default:
            return kExitCannotOpen;
    }
}

void finish(Run& run, vkdc::Outcome outcome) {
    run.outcome = std::move(outcome);
    run.status = exitFor(run.outcome.problem);
    run.problem = vkdc::problemId(run.outcome.problem);
}

void usage(Run& run, std::string detail) {
    run.outcome = {vkdc::Problem::kNone, std::move(detail)};
    run.status = kExitUsage;
    run.problem = "usage";
}

std::string dumpJson(const Json& j) {
    // Paths need not be UTF-8: invalid bytes become U+FFFD, never raw bytes.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Converts with the pair, or with both pairs in one pass (Conversion's two-pair form).
void convertAll(const ConvertOptions& opts, const std::vector<const vkdc::VersionPair*>& pairs,
                Run& run, std::ostream& err) {
    uint32_t permissions = 0600;
    if (auto info = vkdc::fileInfo(opts.source); info && info->exists()) {
        permissions = info->permissions;
    }
    const vkdc::VersionPair& first = *pairs.front();
    std::unique_ptr<vkdc::Conversion> conv =
        pairs.size() > 1
            ? std::make_unique<vkdc::Conversion>(first, *pairs.back(), vkdc::dataFolders())
            : std::make_unique<vkdc::Conversion>(first, vkdc::dataFolders());
    run.steps.push_back({conv->label(), opts.source, opts.dest, {}, false, false});
    Step& step = run.steps.back();
    if (vkdc::Outcome o = conv->analyse(step.source); !o.ok())
        return finish(run, o);

    int last_pct = -1;
    auto progress = [&](uint64_t done, uint64_t total) {
        if (total < 20000)
            return;
        const int pct = static_cast<int>(done * 100 / total);
        if (pct / 10 != last_pct / 10) {
            err << "converting " << step.label << ": " << pct << "%\n";
            last_pct = pct;
        }
    };
    vkdc::Outcome converted = conv->convert(step.report, progress);
    if (converted.problem == vkdc::Problem::kRowsLost) {
        run.lost = true;
        if (!opts.keep_partial)
            return finish(run, converted);
        run.outcome = converted;
    } else if (!converted.ok()) {
        return finish(run, converted);
    }

    vkdc::SaveOptions save;
    save.permissions = permissions;
    if (opts.verify && !run.lost) {
        save.check = [&](const std::string& complete) {
            if (pairs.size() == 1)
                return vkdc::verifyConversion(first, step.source, complete);
            const std::string middle =
                vkdc::dataFolderOf(first.template_file) + "/" + first.template_file;
            return vkdc::verifyConversion(first, *pairs.back(), middle, step.source, complete);
        };
    }
    if (vkdc::Outcome o = conv->save(step.dest, save); !o.ok())
        return finish(run, o);
    step.saved = true;
    step.verified = static_cast<bool>(save.check);
    run.written = true;
    finish(run, run.lost ? run.outcome : vkdc::Outcome{});
}

}  // namespace

int runConvert(const ConvertOptions& opts, std::ostream& out, std::ostream& err) {
    Run run;
    std::vector<const vkdc::VersionPair*> pairs;
    if (!opts.pair.empty()) {
        pairs.push_back(vkdc::findVersionPair(opts.pair));
    } else if (vkdc::DetectedVersion d = vkdc::detectVersion(opts.source); !d.outcome.ok()) {
        finish(run, d.outcome);
    } else {
        run.version = d.version;
        if (!opts.json) {
            err << "vkdc-cli: " << printable(opts.source) << " is a version " << d.version
                << " database\n";
        }
        if (d.version == "3.0") {
            usage(run, opts.source + ": already the newest version (3.0)");
        } else {
            pairs.push_back(&vkdc::versionPair(d.version == "1.0" ? vkdc::PairId::k10to20
                                                                  : vkdc::PairId::k20to30));
        }
    }
    if (!pairs.empty()) {
        if (opts.to == "3.0" && pairs.back()->id == vkdc::PairId::k10to20) {
            pairs.push_back(&vkdc::versionPair(vkdc::PairId::k20to30));
        } else if (!opts.to.empty() && pairs.back()->target_version != opts.to) {
            usage(run, "a version " + pairs.back()->source_version + " source cannot be taken to " +
                           opts.to);
            pairs.clear();
        }
    }
    if (!pairs.empty()) {
        // Nothing is converted for a destination that must never be written.
        const std::string templates = vkdc::dataFolderOf(pairs.front()->template_file);
        if (vkdc::Outcome o = vkdc::checkDestination(opts.source, opts.dest, templates); !o.ok()) {
            finish(run, o);
        } else {
            convertAll(opts, pairs, run, err);
        }
    }

    const std::vector<std::string> warnings = [&] {
        std::vector<std::string> all;
        for (const Step& s : run.steps) {
            for (const std::string& w : s.report.warnings())
                all.push_back(s.label + ": " + w);
        }
        return all;
    }();

    if (opts.json) {
        Json j;
        j["ok"] = run.status == kExitOk;
        j["exit"] = run.status;
        j["outcome"] = run.written ? (run.lost ? "saved-partial" : "saved") : "not-saved";
        j["problem"] = run.problem;
        if (run.status != kExitOk) {
            j["message"] =
                run.problem == "usage" ? "bad usage" : vkdc::problemName(run.outcome.problem);
            j["detail"] = run.outcome.detail;
        }
        j["source"] = opts.source;
        j["dest"] = opts.dest;
        if (!run.version.empty())
            j["version"] = run.version;
        j["warnings"] = warnings;
        j["steps"] = Json::array();
        for (const Step& s : run.steps) {
            Json tables = Json::array();
            for (const auto& t : s.report.tables) {
                tables.push_back({{"table", t.table},
                                  {"declared", t.declared},
                                  {"read", t.read},
                                  {"written", t.written},
                                  {"failed", t.failed},
                                  {"unread", t.unread},
                                  {"reasons", t.reasons},
                                  {"damage", t.damage}});
            }
            j["steps"].push_back({{"pair", s.label},
                                  {"source", s.source},
                                  {"dest", s.dest},
                                  {"saved", s.saved},
                                  {"verified", s.verified},
                                  {"tables", tables}});
        }
        out << dumpJson(j) << "\n";
    } else {
        for (const Step& s : run.steps) {
            out << "pair " << s.label << ": " << printable(s.source) << " -> " << printable(s.dest)
                << "\n";
            for (const auto& t : s.report.tables) {
                out << "  " << t.table << ": " << t.read << " read, " << t.written << " written, "
                    << t.failed << " failed";
                if (t.unread > 0)
                    out << ", " << t.unread << " declared but unreadable";
                out << "\n";
                for (const auto& r : t.reasons)
                    out << "    " << printable(r) << "\n";
                for (const auto& d : t.damage)
                    out << "    damaged: " << printable(d) << "\n";
            }
        }
    }
    for (const std::string& w : warnings)
        err << "vkdc-cli: warning: " << printable(w) << "\n";
    if (run.status != kExitOk) {
        std::string line =
            run.problem == "usage"
                ? run.outcome.detail
                : std::string(vkdc::problemName(run.outcome.problem)) + ": " + run.outcome.detail;
        if (run.lost) {
            line += run.written ? "; the rows that were converted are saved in " + opts.dest
                                : "; nothing was written (--keep-partial saves what was converted)";
        }
        err << "vkdc-cli: " << printable(line) << "\n";
    } else if (!opts.json) {
        const bool verified = !run.steps.empty() && run.steps.back().verified;
        out << "saved " << printable(opts.dest) << (verified ? " (verified)" : "") << "\n";
    }
    return run.status;
}

std::string convertFailureJson(int exit_status, const char* problem, const std::string& detail) {
    Json j;
    j["ok"] = false;
    j["exit"] = exit_status;
    j["outcome"] = "not-saved";
    j["problem"] = problem;
    j["message"] = "bad usage";
    j["detail"] = detail;
    return dumpJson(j);
}

}  // namespace cli
