// Version detection, the integrity check of a source and the after-save check of a conversion.
#include <algorithm>

#include "convert/conversion.h"
#include "convert/source_status.h"
#include "jet/database.h"
#include "jet/integrity_check.h"
#include "store/value_text.h"

namespace vkdc {
namespace {

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
        d.outcome = {sourceProblemOf(db.status()),
                     db.status().code() == jet::Status::Code::kWrongPassword
                         ? path + ": its password is not that of any known version"
                         : about(path, why)};
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
        out.outcome = {sourceProblemOf(report.status()), source + ": " + report.status().message()};
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

namespace {

// verifyConversion() for `pair`, or in one pass for `pair` then `*then` through the columns
// of `middle`, pair's template.
Outcome verifyRoute(const VersionPair& pair, const VersionPair* then, jet::Database* middle,
                    const std::string& source, const std::string& dest) {
    const VersionPair& last = then ? *then : pair;
    auto src = openWith(source, pair.source_password);
    if (!src)
        return {sourceProblemOf(src.status()), source + ": " + src.status().message()};
    auto dst = openWith(dest, last.target_password);
    if (!dst)
        return {Problem::kRowsLost, dest + ": " + dst.status().message()};
    for (size_t k = 0; k < pair.tables.size(); ++k) {
        const TablePair& t = pair.tables[k];
        auto sc = (*src)->openTable(t.table);
        auto dc = (*dst)->openTable(t.table);
        if (!sc)
            return {Problem::kSourceInvalid, source + ": " + sc.status().message()};
        if (!dc)
            return {Problem::kRowsLost, dest + ": " + dc.status().message()};
        jet::TableDef md;
        if (middle) {
            auto def = middle->tableDef(t.table);
            if (!def)
                return {Problem::kTemplateInvalid, def.status().message()};
            md = std::move(def).value();
        }
        const jet::TableDef& sd = (*sc)->def();
        const jet::TableDef& dd = (*dc)->def();
        // The value `f` gives from the source row `srow`, for a column of type `to`.
        auto through = [&](const FieldPair& f, const std::vector<jet::Value>& srow,
                           const jet::ColumnDef& to) -> jet::Result<jet::Value> {
            if (f.isBlank())
                return convertValue(to.type, jet::Value(jet::Null{}), to);
            const jet::ColumnDef* sc_def = sd.findColumn(*f.source_column);
            if (!sc_def)
                return jet::Status::notFound("no column " + *f.source_column);
            return convertValue(sc_def->type, srow[sc_def - sd.columns.data()], to);
        };
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
            for (const FieldPair& f : last.tables[k].fields) {
                const jet::ColumnDef* target = dd.findColumn(f.target_column);
                if (!target)
                    return {Problem::kRowsLost, t.table + ": no column " + f.target_column};
                const size_t ti = static_cast<size_t>(target - dd.columns.data());
                jet::Result<jet::Value> expected = jet::Value(jet::Null{});
                if (!middle) {
                    expected = through(f, srow, *target);
                } else if (f.isBlank()) {
                    expected = convertValue(target->type, jet::Value(jet::Null{}), *target);
                } else {
                    // The middle column, as the first pair fills it.
                    const jet::ColumnDef* mc = md.findColumn(*f.source_column);
                    if (!mc)
                        return {Problem::kTemplateInvalid,
                                t.table + ": no column " + *f.source_column};
                    const auto g = std::find_if(
                        t.fields.begin(), t.fields.end(),
                        [&](const FieldPair& p) { return p.target_column == mc->name; });
                    auto value = g == t.fields.end()
                                     ? convertValue(mc->type, jet::Value(jet::Null{}), *mc)
                                     : through(*g, srow, *mc);
                    expected = value ? convertValue(mc->type, *value, *target) : value;
                }
                if (!expected) {
                    const bool missing = expected.status().code() == jet::Status::Code::kNotFound;
                    return {missing ? Problem::kSourceInvalid : Problem::kRowsLost,
                            t.table + ": " + expected.status().message()};
                }
                if (!(*expected == drow[ti])) {
                    return {Problem::kRowsLost, t.table + " row " + std::to_string(row) +
                                                    " column " + f.target_column + ": \"" +
                                                    valueToText(drow[ti]) + "\" where \"" +
                                                    valueToText(*expected) + "\" was expected"};
                }
            }
        }
    }
    return {};
}

}  // namespace

Outcome verifyConversion(const VersionPair& pair, const std::string& source,
                         const std::string& dest) {
    return verifyRoute(pair, nullptr, nullptr, source, dest);
}

Outcome verifyConversion(const VersionPair& first, const VersionPair& then,
                         const std::string& middle_template, const std::string& source,
                         const std::string& dest) {
    auto middle = openWith(middle_template, first.target_password);
    if (!middle)
        return {Problem::kTemplateInvalid, middle_template + ": " + middle.status().message()};
    return verifyRoute(first, &then, middle->get(), source, dest);
}

}  // namespace vkdc
