// Version detection, the integrity check of a source and the after-save check of a conversion.
#include <algorithm>

#include "convert/conversion.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "store/value_text.h"

namespace vkdc {
namespace {

bool hasColumn(const jet::TableDef& def, const char* name) {
    return def.findColumn(name);
}

Problem problemOf(const jet::Status& st) {
    switch (st.code()) {
        case jet::Status::Code::kIoError:
            return Problem::kSourceUnreadable;
        case jet::Status::Code::kUnsupportedVersion:
            return Problem::kSourceUnsupported;
        case jet::Status::Code::kWrongPassword:
            return Problem::kSourceWrongVersion;
        default:
            return Problem::kSourceInvalid;
    }
}

jet::Result<std::unique_ptr<jet::Database>> openWith(const std::string& path,
                                                     const std::string& password) {
    jet::OpenOptions o;
    o.password = jet::fromUtf8(password);
    return jet::Database::open(path, o);
}

}  // namespace

DetectedVersion detectVersion(const std::string& path) {
    DetectedVersion d;
    if (d.outcome = checkSourceFile(path); !d.outcome.ok())
        return d;
    auto db = openWith(path, passwordOfVersion("1.0"));
    std::string family = "1.0";
    if (!db && db.status().code() == jet::Status::Code::kWrongPassword) {
        db = openWith(path, passwordOfVersion("2.0"));
        family = "2.0";
    }
    if (!db) {
        const std::string& why = db.status().message();
        d.outcome = {problemOf(db.status()),
                     db.status().code() == jet::Status::Code::kWrongPassword
                         ? path + ": its password is not that of any known version"
                         : (why.rfind(path + ": ", 0) == 0 ? why : path + ": " + why)};
        return d;
    }
    auto site = (*db)->tableDef("Table_Site");
    if (!site) {
        d.outcome = {Problem::kSourceInvalid, path + ": " + site.status().message()};
        return d;
    }
    if (family == "1.0") {
        d.version = "1.0";
    } else if (hasColumn(*site, "Telegram")) {
        d.version = "3.0";
    } else if (hasColumn(*site, "Gmail")) {
        d.version = "2.0";
    } else {
        d.outcome = {Problem::kSourceInvalid,
                     path + ": Table_Site matches neither version 2.0 nor 3.0"};
    }
    return d;
}

SourceDamage checkSourceIntegrity(const VersionPair& pair, const std::string& source) {
    // Lines per table; a damaged page can give a finding for each of its rows.
    constexpr size_t kMaxLines = 5;
    SourceDamage out;
    auto db = openWith(source, pair.source_password);
    auto report = db ? jet::checkIntegrity(**db) : jet::Result<jet::IntegrityReport>(db.status());
    if (!report) {
        out.outcome = {problemOf(report.status()), source + ": " + report.status().message()};
        return out;
    }
    for (const TablePair& t : pair.tables) {
        const auto all = report->damage_by_table.find(t.table);
        if (all == report->damage_by_table.end())
            continue;
        uint64_t unshown = all->second;
        std::vector<std::string> lines;
        for (const jet::Finding& f : report->findings) {
            if (!f.isDamage() ||
                std::find(f.tables.begin(), f.tables.end(), t.table) == f.tables.end())
                continue;
            --unshown;
            // The conversion counts the rows it reads against the declared count itself.
            if (f.area == jet::Finding::Area::kRowCount)
                continue;
            if (lines.size() < kMaxLines)
                lines.push_back(f.toString());
            else
                ++unshown;
        }
        if (unshown > 0)
            lines.push_back("and " + std::to_string(unshown) + " more findings of damage");
        if (!lines.empty())
            out.tables[t.table] = std::move(lines);
    }
    return out;
}

Outcome verifyConversion(const VersionPair& pair, const std::string& source,
                         const std::string& dest) {
    auto src = openWith(source, pair.source_password);
    if (!src)
        return {problemOf(src.status()), source + ": " + src.status().message()};
    auto dst = openWith(dest, pair.target_password);
    if (!dst)
        return {Problem::kRowsLost, dest + ": " + dst.status().message()};
    for (const TablePair& t : pair.tables) {
        auto sc = (*src)->openTable(t.table);
        auto dc = (*dst)->openTable(t.table);
        if (!sc)
            return {Problem::kSourceInvalid, source + ": " + sc.status().message()};
        if (!dc)
            return {Problem::kRowsLost, dest + ": " + dc.status().message()};
        const jet::TableDef& sd = (*sc)->def();
        const jet::TableDef& dd = (*dc)->def();
        std::vector<jet::Value> srow, drow;
        for (uint64_t row = 1;; ++row) {
            auto smore = (*sc)->next(srow);
            auto dmore = (*dc)->next(drow);
            if (!smore)
                return {Problem::kSourceInvalid, source + ": " + smore.status().message()};
            if (!dmore)
                return {Problem::kRowsLost, dest + ": " + dmore.status().message()};
            if (*smore != *dmore) {
                return {Problem::kRowsLost, t.table + ": " +
                                                std::string(*smore ? "source" : "destination") +
                                                " has more rows, from row " + std::to_string(row)};
            }
            if (!*smore)
                break;
            for (const FieldPair& f : t.fields) {
                const jet::ColumnDef* target = dd.findColumn(f.target_column);
                if (!target)
                    return {Problem::kRowsLost, t.table + ": no column " + f.target_column};
                const size_t ti = static_cast<size_t>(target - dd.columns.data());
                jet::Value expected = jet::Null{};
                if (!f.isBlank()) {
                    const jet::ColumnDef* sc_def = sd.findColumn(*f.source_column);
                    if (!sc_def) {
                        return {Problem::kSourceInvalid,
                                t.table + ": no column " + *f.source_column};
                    }
                    auto conv =
                        convertValue(sc_def->type, srow[sc_def - sd.columns.data()], *target);
                    if (!conv)
                        return {Problem::kRowsLost, t.table + ": " + conv.status().message()};
                    expected = *conv;
                } else if (target->type == jet::ColumnType::kBoolean) {
                    expected = false;
                }
                if (!(expected == drow[ti])) {
                    return {Problem::kRowsLost, t.table + " row " + std::to_string(row) +
                                                    " column " + f.target_column + ": \"" +
                                                    valueToText(drow[ti]) + "\" where \"" +
                                                    valueToText(expected) + "\" was expected"};
                }
            }
        }
    }
    return {};
}

}  // namespace vkdc
