#include "convert/conversion.h"
#include "convert/source_status.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "store/connection_string.h"
#include "store/data_control.h"
#include "store/data_folder.h"
#include "store/file_ops.h"
#include "store/open_database.h"
#include "store/value_text.h"

namespace vkdc {
namespace {

constexpr size_t kMaxReasons = 5;

Outcome fail(Problem p, std::string detail) {
    return Outcome{p, std::move(detail)};
}

bool blanksOnly(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}

}  // namespace

Outcome checkSourceFile(const std::string& path) {
    auto info = fileInfo(path);
    if (!info)
        return fail(Problem::kSourceUnreadable, info.status().message());
    switch (info->kind) {
        case FileKind::kMissing:
            return fail(Problem::kSourceMissing, path + ": no such file");
        case FileKind::kFolder:
            return fail(Problem::kSourceUnreadable, path + ": is a folder");
        case FileKind::kOther:
            return fail(Problem::kSourceUnreadable,
                        path + ": not a regular file (" + info->what + ")");
        case FileKind::kRegular:
            break;
    }
    if (const std::string ldb = heldLockOf(path); !ldb.empty()) {
        return fail(Problem::kSourceInUse, path + " is in use (another program holds " + ldb +
                                               "): close the contact manager first");
    }
    if (openedWithoutSharing(path)) {
        return fail(Problem::kSourceInUse, path +
                                               " is in use (another program has it open and "
                                               "shares it with no one): close that program first");
    }
    return {};
}

std::string lockFileOf(const std::string& database) {
    const size_t name = database.find_last_of("/\\");
    const size_t dot = database.rfind('.');
    const bool has_extension =
        dot != std::string::npos && (name == std::string::npos || dot > name + 1);
    return (has_extension ? database.substr(0, dot) : database) + ".ldb";
}

std::string heldLockOf(const std::string& database) {
    for (const std::string& name : namesOf(database)) {
        if (const std::string ldb = lockFileOf(name); heldByAnotherProcess(ldb))
            return ldb;
    }
    return {};
}

namespace {

std::string joined(const std::vector<std::string>& items) {
    std::string s;
    for (const auto& i : items)
        s += (s.empty() ? "" : ", ") + i;
    return s;
}

}  // namespace

const char* problemName(Problem p) {
    switch (p) {
        case Problem::kNone:
            return "ok";
        case Problem::kEmptyPath:
            return "no source file given";
        case Problem::kSourceMissing:
            return "source file not found";
        case Problem::kSourceUnreadable:
            return "source file cannot be read";
        case Problem::kSourceInvalid:
            return "source is not a valid database";
        case Problem::kSourceUnsupported:
            return "source database format is not supported";
        case Problem::kSourceInUse:
            return "source database is in use";
        case Problem::kSourceWrongVersion:
            return "source database is not of the expected version";
        case Problem::kTemplateMissing:
            return "template database not found";
        case Problem::kTemplateInvalid:
            return "template database cannot be used";
        case Problem::kNotAnalysed:
            return "no source has been analysed";
        case Problem::kRowsLost:
            return "some rows were not converted";
        case Problem::kSaveFailed:
            return "the new database could not be saved";
        case Problem::kDestinationInUse:
            return "the destination database is in use";
        case Problem::kTooLarge:
            return kTooLargeText;
        case Problem::kCancelled:
            return "the conversion was stopped; nothing was saved";
    }
    return "unknown problem";
}

const char* problemId(Problem p) {
    switch (p) {
        case Problem::kNone:
            return "none";
        case Problem::kEmptyPath:
            return "no-source";
        case Problem::kSourceMissing:
            return "source-missing";
        case Problem::kSourceUnreadable:
            return "source-unreadable";
        case Problem::kSourceInvalid:
            return "source-invalid";
        case Problem::kSourceUnsupported:
            return "source-unsupported";
        case Problem::kSourceInUse:
            return "source-in-use";
        case Problem::kSourceWrongVersion:
            return "source-wrong-version";
        case Problem::kTemplateMissing:
            return "template-missing";
        case Problem::kTemplateInvalid:
            return "template-invalid";
        case Problem::kNotAnalysed:
            return "not-analysed";
        case Problem::kRowsLost:
            return "rows-lost";
        case Problem::kSaveFailed:
            return "save-failed";
        case Problem::kDestinationInUse:
            return "destination-in-use";
        case Problem::kTooLarge:
            return "too-large";
        case Problem::kCancelled:
            return "cancelled";
    }
    return "unknown";
}

uint64_t ConversionReport::totalLost() const {
    uint64_t n = 0;
    for (const auto& t : tables)
        n += t.lost();
    return n;
}

uint64_t ConversionReport::totalRows() const {
    uint64_t n = 0;
    for (const auto& t : tables)
        n += t.read;
    return n;
}

std::vector<std::string> ConversionReport::warnings() const {
    std::vector<std::string> lines;
    for (const auto& t : tables) {
        if (t.extra() > 0) {
            lines.push_back(t.table + ": " + std::to_string(t.read) +
                            " rows read where the table declares " + std::to_string(t.declared) +
                            "; every row read was converted");
        }
    }
    return lines;
}

Outcome checkDestination(const std::string& source_path, const std::string& dest_path,
                         const std::string& template_dir) {
    if (dest_path.empty())
        return fail(Problem::kSaveFailed, "no destination path given");
    // Through a symbolic link, the file it names is what a save replaces or makes.
    auto resolved = resolveDestination(dest_path);
    if (!resolved)
        return fail(Problem::kSaveFailed, resolved.status().message());
    const std::string& target = *resolved;
    const std::string leads = target == dest_path ? "" : " (a link to " + target + ")";
    auto info = fileInfo(target);
    if (!info)
        return fail(Problem::kSaveFailed, info.status().message());
    if (info->kind == FileKind::kFolder) {
        return fail(Problem::kSaveFailed, dest_path + ": is a folder");
    }
    if (info->kind == FileKind::kOther) {
        return fail(Problem::kSaveFailed, dest_path + ": is " + info->what +
                                              ", not a regular file; it is never replaced");
    }
    // Found now, not after the whole conversion.
    if (auto folder = fileInfo(folderOf(target)); !folder || folder->kind != FileKind::kFolder) {
        return fail(Problem::kSaveFailed,
                    dest_path + leads + ": its folder " + folderOf(target) + " does not exist");
    }
    if (!source_path.empty() && sameFile(source_path, target)) {
        return fail(Problem::kSaveFailed,
                    dest_path + ": this is the source database; choose another file");
    }
    std::vector<std::string> folders = dataFolders();
    folders.insert(folders.begin(), template_dir);
    for (const std::string& folder : folders) {
        for (PairId id : {PairId::k10to20, PairId::k20to30}) {
            const std::string& name = versionPair(id).template_file;
            if (sameFile(target, folder + "/" + name) || isEntryOf(target, folder, name) ||
                isEntryOf(dest_path, folder, name)) {
                return fail(Problem::kSaveFailed,
                            dest_path + ": this is the installed template " + name +
                                "; every later conversion would start from it. Choose another "
                                "file");
            }
        }
    }
    if (const std::string ldb = heldLockOf(dest_path); !ldb.empty()) {
        return fail(Problem::kDestinationInUse,
                    dest_path + " is in use (another program holds " + ldb +
                        "): close the program that has it open, or choose another file");
    }
    return {};
}

Conversion::Conversion(const VersionPair& pair, std::string template_dir, std::string work_dir)
    : Conversion(pair, std::vector<std::string>{std::move(template_dir)}, std::move(work_dir)) {}

Conversion::Conversion(const VersionPair& pair, std::vector<std::string> template_dirs,
                       std::string work_dir)
    : pair_(pair), template_dirs_(std::move(template_dirs)), work_dir_(std::move(work_dir)) {
    if (work_dir_.empty())
        work_dir_ = tempDirectory();
    if (!template_dirs_.empty())
        template_dir_ = template_dirs_.front();
}

Conversion::Conversion(const VersionPair& first, const VersionPair& then,
                       std::vector<std::string> template_dirs, std::string work_dir)
    : Conversion(first, std::move(template_dirs), std::move(work_dir)) {
    then_ = &then;
}

Conversion::Conversion(const VersionPair& first, const VersionPair& then, std::string template_dir,
                       std::string work_dir)
    : Conversion(first, then, std::vector<std::string>{std::move(template_dir)},
                 std::move(work_dir)) {}

std::string Conversion::label() const {
    return pair_.source_version + "-" + target().target_version;
}

Conversion::~Conversion() {
    disconnect();
}

void Conversion::disconnect() {
    fields_.clear();
    controls_.clear();
    registry_.reset();
    working_.reset();  // the working copy goes with its last handle
    middle_.reset();
    analysed_ = false;
    converted_ = false;
    too_large_ = false;
    unwritable_ = false;
    source_damage_.clear();
}

const std::string& Conversion::workingPath() const {
    static const std::string kNone;
    return working_ ? working_->path() : kNone;
}

DataControl* Conversion::control(const std::string& name) {
    for (auto& c : controls_)
        if (c->name() == name)
            return c.get();
    return nullptr;
}

BoundField* Conversion::field(const std::string& name) {
    for (auto& f : fields_)
        if (f->name() == name)
            return f.get();
    return nullptr;
}

Outcome Conversion::analyse(const std::string& source_path) {
    disconnect();
    if (source_path.empty())
        return fail(Problem::kEmptyPath, "no source file given");
    if (blanksOnly(source_path)) {
        return fail(Problem::kSourceMissing, "\"" + source_path + "\": no such file");
    }
    if (Outcome o = checkSourceFile(source_path); !o.ok())
        return o;

    // The result's template, and in one pass pair_'s too.
    for (const VersionPair* p : {&target(), then_ ? &pair_ : nullptr}) {
        if (!p)
            continue;
        const std::string* found = nullptr;
        std::vector<std::string> looked;
        for (const std::string& dir : template_dirs_) {
            looked.push_back(dir + "/" + p->template_file);
            if (auto tpl = fileInfo(looked.back()); tpl && tpl->kind == FileKind::kRegular) {
                found = &dir;
                break;
            }
        }
        if (!found) {
            return fail(Problem::kTemplateMissing,
                        p->template_file + " is in none of the places looked: " + joined(looked));
        }
        (p == &target() ? template_dir_ : middle_dir_) = *found;
    }
    removeStaleFolders(work_dir_, kWorkFolderPrefix);
    Outcome o = connect(source_path);
    if (o.ok()) {
        SourceDamage damage = checkSourceIntegrity(pair_, source_path);
        o = damage.outcome;
        source_damage_ = std::move(damage.tables);
    }
    if (!o.ok())
        disconnect();
    return o;
}

Outcome Conversion::connect(const std::string& source_path) {
    // Fresh private copies under the templates' own names, so the installed files are never
    // written and no earlier conversion's rows are carried.
    registry_ = std::make_unique<DatabaseRegistry>();
    auto copyOf = [&](const VersionPair& p, const std::string& dir,
                      std::unique_ptr<WorkingCopy>& into) {
        const std::string installed = dir + "/" + p.template_file;
        auto copy = WorkingCopy::create(installed, work_dir_, p.template_file);
        if (!copy) {
            // A template that reads leaves the work folder to blame (a full temporary folder).
            const bool template_reads = jet::openFileReadOnly(installed).isOk();
            return fail(template_reads ? Problem::kSaveFailed : Problem::kTemplateInvalid,
                        copy.status().message());
        }
        into = std::move(copy).value();
        if (into->unnamed()) {
            WorkingCopy* working = into.get();
            registry_->provide(working->path(), [working] { return working->open(); });
        }
        return Outcome{};
    };
    if (Outcome o = copyOf(target(), template_dir_, working_); !o.ok())
        return o;
    if (then_) {
        if (Outcome o = copyOf(pair_, middle_dir_, middle_); !o.ok())
            return o;
    }
    source_path_ = source_path;
    if (auto info = fileInfo(source_path))
        source_permissions_ = info->permissions;
    // Per table: the source, the copy of pair_'s template rows are checked against in one
    // pass, and the copy the rows go to.
    auto connectTemplate = [&](const std::string& name, const VersionPair& p,
                               const WorkingCopy& copy, const TablePair& t) {
        auto c = std::make_unique<DataControl>(name, *registry_, true);
        c->setConnectionString(templateConnectionString(p, copy.folder()));
        c->setRecordSource(t.recordSource());
        jet::Status s = c->Refresh();
        controls_.push_back(std::move(c));
        if (s.isOk())
            return Outcome{};
        const std::string& dir = &p == &target() ? template_dir_ : middle_dir_;
        return fail(Problem::kTemplateInvalid,
                    dir + "/" + p.template_file + ": " + t.table + ": " + s.message());
    };
    for (size_t k = 0; k < pair_.tables.size(); ++k) {
        const TablePair& t = pair_.tables[k];
        auto c = std::make_unique<DataControl>(t.old_control, *registry_, false);
        c->setConnectionString(sourceConnectionString(pair_, source_path));
        c->setRecordSource(t.recordSource());
        if (jet::Status s = c->Refresh(); !s.isOk()) {
            const Problem problem = sourceProblemOf(s);
            if (problem == Problem::kSourceWrongVersion) {
                // Versions 2.0 and 3.0 share a password, so name what the file is.
                const std::string found = detectVersion(source_path).version;
                if (!found.empty()) {
                    return fail(problem, source_path + " is a version " + found +
                                             " database, not " + pair_.source_version);
                }
            }
            return fail(problem, about(source_path, s.message()));
        }
        controls_.push_back(std::move(c));
        if (then_) {
            if (Outcome o = connectTemplate(t.new_control, pair_, *middle_, t); !o.ok())
                return o;
        }
        const TablePair& out = target().tables[k];
        if (Outcome o = connectTemplate(out.new_control, target(), *working_, out); !o.ok())
            return o;
    }
    if (Outcome o = checkTables(source_path); !o.ok())
        return o;

    const std::string installed = template_dir_ + "/" + target().template_file;
    for (size_t k = 0; k < pair_.tables.size(); ++k) {
        const TablePair& out = target().tables[k];
        DataControl* new_c = control(out.new_control);
        for (const FieldPair& f : out.fields) {
            fields_.push_back(std::make_unique<BoundField>(f.new_box, *new_c, f.target_column));
            // A column missing on either side would fail every row; say so now instead.
            if (auto type = fields_.back()->type(); !type) {
                return fail(Problem::kTemplateInvalid, installed + ": " + type.status().message());
            }
        }
        const TablePair& t = pair_.tables[k];
        DataControl* old_c = control(t.old_control);
        for (const FieldPair& f : t.fields) {
            if (f.isBlank())
                continue;
            fields_.push_back(std::make_unique<BoundField>(*f.old_box, *old_c, *f.source_column));
            if (auto type = fields_.back()->type(); !type) {
                return fail(Problem::kSourceInvalid, source_path + ": " + type.status().message() +
                                                         "; it is not a " + pair_.source_version +
                                                         " database");
            }
        }
    }
    analysed_ = true;
    return {};
}

// Versions 2.0 and 3.0 share a password, so only the tables tell them apart: the source must
// have every column of its version and none that only the next version has; the template every
// column of its version, and no rows.
Outcome Conversion::checkTables(const std::string& source_path) {
    std::vector<std::string> missing, foreign;
    for (const TablePair& t : pair_.tables) {
        const jet::TableDef& src = control(t.old_control)->Recordset()->def();
        const auto own = columnsOf(pair_.source_version, t.table);
        for (const std::string& c : own) {
            if (!hasColumn(src, c))
                missing.push_back(t.table + "." + c);
        }
        for (const std::string& c : columnsOf(pair_.target_version, t.table)) {
            const bool newer = std::none_of(own.begin(), own.end(),
                                            [&](const std::string& o) { return sameName(o, c); });
            if (newer && hasColumn(src, c))
                foreign.push_back(t.table + "." + c);
        }
    }
    if (!foreign.empty()) {
        return fail(Problem::kSourceWrongVersion,
                    source_path + " is a version " + pair_.target_version + " database, not " +
                        pair_.source_version + " (it has " + joined(foreign) + ")");
    }
    if (!missing.empty()) {
        return fail(Problem::kSourceInvalid, source_path + ": lacks " + joined(missing) +
                                                 "; it is not a version " + pair_.source_version +
                                                 " database");
    }
    // The templates: the target's, and in one pass pair_'s too.
    for (const VersionPair* p : {&target(), then_ ? &pair_ : nullptr}) {
        if (!p)
            continue;
        std::vector<std::string> template_missing, template_rows;
        for (const TablePair& t : p->tables) {
            Recordset* tpl = control(t.new_control)->Recordset();
            for (const std::string& c : columnsOf(p->target_version, t.table)) {
                if (!hasColumn(tpl->def(), c))
                    template_missing.push_back(t.table + "." + c);
            }
            if (tpl->RecordCount() != 0) {
                template_rows.push_back(t.table + " holds " + std::to_string(tpl->RecordCount()) +
                                        " rows");
            }
        }
        const std::string installed =
            (p == &target() ? template_dir_ : middle_dir_) + "/" + p->template_file;
        if (!template_missing.empty()) {
            return fail(Problem::kTemplateInvalid,
                        installed + ": lacks " + joined(template_missing) +
                            "; it is not a version " + p->target_version + " template");
        }
        if (!template_rows.empty()) {
            return fail(Problem::kTemplateInvalid,
                        installed + ": " + joined(template_rows) + "; a template must be empty");
        }
    }
    return {};
}

Outcome Conversion::convert(ConversionReport& report, const ProgressFn& progress) {
    report = ConversionReport{};
    if (!analysed_)
        return fail(Problem::kNotAnalysed, "no source has been analysed");
    if (converted_)
        return fail(Problem::kNotAnalysed, "this source has already been converted");
    converted_ = true;
    uint64_t total = 0;
    for (const TablePair& t : pair_.tables) {
        total +=
            static_cast<uint64_t>(std::max(0, control(t.old_control)->Recordset()->RecordCount()));
    }
    uint64_t done = 0;
    for (const TablePair& t : pair_.tables) {
        TableReport tr;
        tr.table = t.table;
        if (auto it = source_damage_.find(t.table); it != source_damage_.end())
            tr.damage = it->second;
        Outcome o = convertTable(t, tr, done, total, progress);
        report.tables.push_back(std::move(tr));
        if (!o.ok())
            return o;
    }
    std::string detail;
    if (const uint64_t lost = report.totalLost(); lost > 0) {
        uint64_t declared = 0;
        for (const auto& t : report.tables)
            declared += std::max(t.declared, t.read);
        detail =
            std::to_string(lost) + " of " + std::to_string(declared) + " rows were not converted";
    }
    for (const auto& t : report.tables) {
        if (!t.damage.empty()) {
            detail += (detail.empty() ? "" : "; ") + source_path_ + " is damaged (" +
                      t.damage.front() + "): converted rows may be wrong or missing";
            break;
        }
    }
    if (!detail.empty())
        return fail(Problem::kRowsLost, detail);
    return {};
}

namespace {

// One field pair of a table, resolved to record sets and column indexes before the rows.
struct Binding {
    jet::Status unusable;  // why the pair cannot be carried (a box or column not found)
    Recordset* to = nullptr;
    size_t to_column = 0;
    const jet::ColumnDef* to_def = nullptr;
    bool blank = false;
    Recordset* from = nullptr;
    size_t from_column = 0;
    jet::ColumnType from_type{};
    bool last_read = true;  // no later pair reads this source column: its value is moved
    bool as_is = false;     // every value is carried unchanged (carriesAsIs)
    bool stored = false;    // text into a column of its type: carried as the source stores it
};

// Resolves `pairs` from `from` to `to`, once for all the rows.
std::vector<Binding> bind(const std::vector<FieldPair>& pairs, Recordset* from, Recordset* to) {
    std::vector<Binding> bindings(pairs.size());
    for (size_t k = 0; k < pairs.size(); ++k) {
        const FieldPair& f = pairs[k];
        Binding& b = bindings[k];
        b.blank = f.isBlank();
        b.to = to;
        auto to_column = to->columnIndex(f.target_column);
        b.unusable = to_column.status();
        if (to_column) {
            b.to_column = *to_column;
            b.to_def = &to->def().columns[b.to_column];
        }
        if (b.unusable.isOk() && !b.blank) {
            b.from = from;
            auto from_column = from->columnIndex(*f.source_column);
            b.unusable = from_column.status();
            if (from_column) {
                b.from_column = *from_column;
                b.from_type = from->def().columns[b.from_column].type;
                b.as_is = carriesAsIs(b.from_type, *b.to_def);
            }
        }
        for (size_t e = 0; e < k; ++e) {
            if (!b.blank && bindings[e].from == b.from && bindings[e].from_column == b.from_column)
                bindings[e].last_read = false;
        }
    }
    return bindings;
}

// Text going unchanged into a column of its own type need not be decoded and encoded again:
// such pairs carry the text as the source stores it (where the writer would store the same
// bytes; Recordset::setStoredText). A column is given as stored only when every pair that
// reads it carries it so; in one pass, the second stage reads what the first writes.
void carryStoredText(const std::vector<std::vector<Binding>*>& stages) {
    using Column = std::pair<Recordset*, size_t>;
    std::vector<Binding*> all;
    for (std::vector<Binding>* stage : stages) {
        for (Binding& b : *stage) {
            b.stored = !b.blank && b.unusable.isOk() && b.from_type == b.to_def->type &&
                       b.to_def->isText();
            if (!b.blank && b.unusable.isOk())
                all.push_back(&b);
        }
    }
    for (bool changed = true; changed;) {
        changed = false;
        std::map<Column, bool> read_as_stored;  // by every pair that reads the column
        for (const Binding* b : all) {
            auto [it, fresh] = read_as_stored.emplace(Column{b->from, b->from_column}, b->stored);
            if (!fresh)
                it->second = it->second && b->stored;
        }
        for (Binding* b : all) {
            const auto written = read_as_stored.find({b->to, b->to_column});
            if (b->stored && (!read_as_stored[{b->from, b->from_column}] ||
                              (written != read_as_stored.end() && !written->second))) {
                b->stored = false;
                changed = true;
            }
        }
    }
    std::map<Recordset*, std::vector<bool>> masks;
    for (const Binding* b : all) {
        if (!b->stored)
            continue;
        for (auto [rs, column] : {Column{b->from, b->from_column}, Column{b->to, b->to_column}}) {
            std::vector<bool>& mask = masks[rs];
            mask.resize(rs->def().columns.size());
            mask[column] = true;
        }
    }
    for (auto& [rs, mask] : masks)
        rs->setStoredText(std::move(mask));
}

// Puts the current values of every pair's source into the pending row of its target.
jet::Status carryRow(std::vector<Binding>& bindings) {
    for (Binding& b : bindings) {
        if (!b.unusable.isOk())
            return b.unusable;
        jet::Status st;
        if (b.blank) {
            st = b.to->setValue(b.to_column, jet::Value(jet::Null{}));
        } else if (b.as_is && b.last_read) {
            // Text carried as stored is a value of its column too.
            st = b.to->moveValue(b.to_column, *b.from, b.from_column);
        } else {
            auto value = b.last_read ? b.from->take(b.from_column) : b.from->value(b.from_column);
            const bool as_stored = b.stored && value && std::holds_alternative<jet::Bytes>(*value);
            auto converted = !value      ? jet::Result<jet::Value>(value.status())
                             : as_stored ? std::move(value)
                                         : convertValue(b.from_type, std::move(*value), *b.to_def);
            st =
                converted ? b.to->setValue(b.to_column, std::move(*converted)) : converted.status();
        }
        if (!st.isOk())
            return st;
    }
    return jet::Status::ok();
}

}  // namespace

Outcome Conversion::convertTable(const TablePair& t, TableReport& tr, uint64_t& done,
                                 uint64_t total, const ProgressFn& progress) {
    const TablePair& out = *std::find_if(target().tables.begin(), target().tables.end(),
                                         [&](const TablePair& o) { return o.table == t.table; });
    Recordset* old_rs = control(t.old_control)->Recordset();
    Recordset* new_rs = control(out.new_control)->Recordset();
    // One pass: each row goes through pair_'s template first, checked and read back.
    Recordset* mid_rs = then_ ? control(t.new_control)->Recordset() : nullptr;
    auto note = [&](uint64_t row, const std::string& why) {
        if (tr.reasons.size() < kMaxReasons) {
            tr.reasons.push_back("row " + std::to_string(row) + ": " + why);
        }
    };
    // The columns are looked up once, not for every row.
    std::vector<Binding> first = bind(t.fields, old_rs, mid_rs ? mid_rs : new_rs);
    std::vector<Binding> second;
    if (mid_rs)
        second = bind(out.fields, mid_rs, new_rs);
    carryStoredText({&first, &second});
    const int32_t n = old_rs->RecordCount();  // read once, as the row loop requires
    tr.declared = old_rs->def().num_rows;     // known even when the loop stops early
    for (int32_t i = 1; i <= n; ++i) {
        if (stop_.load(std::memory_order_relaxed)) {
            cancelled_ = true;
            return fail(Problem::kCancelled, t.table + " row " + std::to_string(i) + " of " +
                                                 std::to_string(n) +
                                                 ": stopped; nothing was saved");
        }
        ++tr.read;
        jet::Status st = jet::Status::ok();
        if (mid_rs) {
            st = mid_rs->AddNew();
            if (st.isOk())
                st = carryRow(first);
            if (st.isOk())
                st = mid_rs->Check();
        }
        if (st.isOk())
            st = new_rs->AddNew();
        if (st.isOk())
            st = carryRow(mid_rs ? second : first);
        if (st.isOk())
            st = new_rs->Update();
        if (st.isOk()) {
            ++tr.written;
        } else {
            ++tr.failed;
            note(static_cast<uint64_t>(i), st.message());
            if (st.code() == jet::Status::Code::kIoError) {
                // Only the new side does I/O here: the working copy cannot be written (a full
                // temporary folder). No later row could be stored, nor anything saved.
                unwritable_ = true;
                return fail(Problem::kSaveFailed,
                            "the working copy cannot be written: " + st.message());
            }
            if (st.code() == jet::Status::Code::kTooLarge) {
                // Every later row would meet the same limit; the result cannot be kept.
                too_large_ = true;
                return fail(Problem::kTooLarge, t.table + " row " + std::to_string(i) + " of " +
                                                    std::to_string(n) + ": nothing was saved");
            }
        }
        if (progress)
            progress(++done, total);
        if (i < n) {
            if (jet::Status mv = old_rs->MoveNext(); !mv.isOk() || old_rs->atEnd()) {
                // The rest of the table cannot be read: every remaining row is lost.
                const uint64_t rest = static_cast<uint64_t>(n - i);
                tr.read += rest;
                tr.failed += rest;
                note(static_cast<uint64_t>(i + 1),
                     mv.isOk() ? "the table ended early" : mv.message());
                done += rest;
                if (progress)
                    progress(done, total);
                break;
            }
        }
    }
    // A damaged data page can hide rows from the reader altogether; the table definition
    // still counts them.
    if (tr.read < tr.declared) {
        tr.unread = tr.declared - tr.read;
        tr.reasons.insert(tr.reasons.begin(), "the table declares " + std::to_string(tr.declared) +
                                                  " rows but only " + std::to_string(tr.read) +
                                                  " could be read; the file is damaged");
        if (tr.reasons.size() > kMaxReasons)
            tr.reasons.pop_back();
    }
    return {};
}

Outcome Conversion::save(const std::string& dest_path, const SaveOptions& options) {
    if (!converted_)
        return fail(Problem::kNotAnalysed, "nothing has been converted yet");
    if (too_large_)
        return fail(Problem::kTooLarge, "the conversion stopped; nothing was saved");
    if (cancelled_)
        return fail(Problem::kCancelled, "the conversion was stopped");
    if (unwritable_) {
        return fail(Problem::kSaveFailed,
                    "the working copy could not be written; the conversion stopped");
    }
    if (Outcome o = checkDestination(source_path_, dest_path, template_dir_); !o.ok())
        return o;
    if (jet::Status st = registry_->writeOutAll(); !st.isOk()) {
        return fail(Problem::kSaveFailed, st.message());
    }
    ReplaceOptions replace;
    replace.new_file_permissions = options.permissions.value_or(source_permissions_);
    replace.env = options.env;

    Outcome checked;
    if (options.check) {
        replace.check = [&](const std::string& complete) {
            checked = options.check(complete);
            return checked.ok() ? jet::Status::ok() : jet::Status::invalidArgument(checked.detail);
        };
    }
    if (jet::Status st = working_->saveAs(dest_path, replace); !st.isOk()) {
        return checked.ok() ? fail(Problem::kSaveFailed, st.message()) : checked;
    }
    return {};
}

}  // namespace vkdc
