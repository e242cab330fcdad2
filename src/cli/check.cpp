// vkdc-cli check FILE [--password P] [--json]: the integrity check of a Jet file
// (jet/integrity_check.h). Exit status 0 for a consistent file (warnings allowed), 3 when it
// cannot be read, 4 for a wrong password, 5 when damage is found.
#include <nlohmann/json.hpp>

#include <ostream>

#include "cli/commands.h"
#include "cli/common.h"
#include "jet/database.h"
#include "jet/integrity_check.h"

namespace cli {
namespace {

using Json = nlohmann::ordered_json;

const char* severityName(const jet::Finding& f) {
    return f.isDamage() ? "damage" : "warning";
}

Json findingJson(const jet::Finding& f) {
    Json j;
    j["severity"] = severityName(f);
    j["area"] = f.areaName();
    j["tables"] = f.tables;
    j["page"] = f.page ? Json(*f.page) : Json(nullptr);
    j["row"] = f.row ? Json(*f.row) : Json(nullptr);
    j["what"] = f.what;
    return j;
}

void printJson(std::ostream& out, const std::string& file, int status,
               const jet::IntegrityReport* report, const std::string& problem) {
    Json j;
    j["ok"] = status == kExitOk;
    j["exit"] = status;
    j["file"] = file;
    if (!report) {
        j["problem"] = problem;
    } else {
        j["pages"] = report->pages;
        j["tables"] = report->tables;
        j["rows"] = report->rows;
        j["damage"] = report->damage;
        j["findings"] = Json::array();
        for (const jet::Finding& f : report->findings)
            j["findings"].push_back(findingJson(f));
        j["omitted"] = report->omitted;
    }
    // Names need not be UTF-8: invalid bytes become U+FFFD, never raw bytes.
    out << j.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace

int runCheck(const CheckOptions& opts, std::ostream& out, std::ostream& err) {
    jet::OpenOptions open_opts;
    if (opts.password)
        open_opts.password = jet::fromUtf8(*opts.password);
    else
        open_opts.check_password = false;
    auto db = jet::Database::open(opts.file, open_opts);
    jet::Result<jet::IntegrityReport> report =
        db ? jet::checkIntegrity(**db) : jet::Result<jet::IntegrityReport>(db.status());
    if (!report) {
        const int status = exitCodeFor(report.status());
        if (opts.json)
            printJson(out, opts.file, status, nullptr, report.status().message());
        err << errorLine(opts.file, report.status()) << "\n";
        return status;
    }
    const int status = report->consistent() ? kExitOk : kExitDamaged;
    if (opts.json) {
        printJson(out, opts.file, status, &*report, {});
        return status;
    }
    for (const jet::Finding& f : report->findings)
        out << severityName(f) << ": " << printable(f.toString()) << "\n";
    if (report->omitted > 0)
        out << "... and " << report->omitted << " more findings\n";
    out << printable(opts.file) << ": " << (report->consistent() ? "consistent" : "damaged") << " ("
        << report->pages << " pages, " << report->tables << " tables, " << report->rows << " rows";
    if (report->damage > 0)
        out << "; " << report->damage << (report->damage == 1 ? " finding" : " findings")
            << " of damage";
    out << ")\n";
    return status;
}

}  // namespace cli
