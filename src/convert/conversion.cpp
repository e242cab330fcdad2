#include "convert/conversion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "store/connection_string.h"
#include "store/data_control.h"
#include "store/file_ops.h"
#include "store/open_database.h"

namespace vkdc {
namespace {

constexpr size_t kMaxReasons = 5;

Outcome fail(Problem p, std::string detail) { return Outcome{p, std::move(detail)}; }

bool blanksOnly(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}

// Checks that the source can be read at all, so a missing file and an unreadable one are told
// apart before the database layer sees them.
Outcome checkSourceFile(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) {
            return fail(Problem::kSourceMissing, path + ": no such file");
        }
        return fail(Problem::kSourceUnreadable, path + ": " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) return fail(Problem::kSourceUnreadable, path + ": is a folder");
    if (::access(path.c_str(), R_OK) != 0) {
        return fail(Problem::kSourceUnreadable, path + ": " + std::strerror(errno));
    }
    return {};
}

Problem sourceProblemOf(const jet::Status& st) {
    switch (st.code()) {
        case jet::Status::Code::kIoError: return Problem::kSourceUnreadable;
        case jet::Status::Code::kUnsupportedVersion: return Problem::kSourceUnsupported;
        case jet::Status::Code::kWrongPassword: return Problem::kSourceWrongVersion;
        default: return Problem::kSourceInvalid;
    }
}

std::string canonical(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

}  // namespace

const char* problemName(Problem p) {
    switch (p) {
        case Problem::kNone: return "ok";
        case Problem::kEmptyPath: return "no source file given";
        case Problem::kSourceMissing: return "source file not found";
        case Problem::kSourceUnreadable: return "source file cannot be read";
        case Problem::kSourceInvalid: return "source is not a valid database";
        case Problem::kSourceUnsupported: return "source database format is not supported";
        case Problem::kSourceWrongVersion: return "source database is not of the expected version";
        case Problem::kTemplateMissing: return "template database not found";
        case Problem::kTemplateInvalid: return "template database cannot be used";
        case Problem::kNotAnalysed: return "no source has been analysed";
        case Problem::kRowsLost: return "some rows were not converted";
        case Problem::kSaveFailed: return "the new database could not be saved";
        case Problem::kTooLarge: return kTooLargeText;
    }
    return "unknown problem";
}

uint64_t ConversionReport::totalFailed() const {
    uint64_t n = 0;
    for (const auto& t : tables) n += t.failed;
    return n;
}

uint64_t ConversionReport::totalRows() const {
    uint64_t n = 0;
    for (const auto& t : tables) n += t.read;
    return n;
}

Conversion::Conversion(const VersionPair& pair, std::string template_dir, std::string work_dir)
    : pair_(pair), template_dir_(std::move(template_dir)), work_dir_(std::move(work_dir)) {
    if (work_dir_.empty()) work_dir_ = tempDirectory();
}

Conversion::~Conversion() { disconnect(); }

void Conversion::disconnect() {
    fields_.clear();
    controls_.clear();
    registry_.reset();
    removeFileAndFolder(working_path_, working_folder_);
    working_path_.clear();
    working_folder_.clear();
    analysed_ = false;
    converted_ = false;
    too_large_ = false;
}

DataControl* Conversion::control(const std::string& name) {
    for (auto& c : controls_)
        if (c->name() == name) return c.get();
    return nullptr;
}

BoundField* Conversion::field(const std::string& name) {
    for (auto& f : fields_)
        if (f->name() == name) return f.get();
    return nullptr;
}

Outcome Conversion::analyse(const std::string& source_path) {
    disconnect();
    if (source_path.empty()) return fail(Problem::kEmptyPath, "no source file given");
    if (blanksOnly(source_path)) {
        return fail(Problem::kSourceMissing, "\"" + source_path + "\": no such file");
    }
    if (Outcome o = checkSourceFile(source_path); !o.ok()) return o;

    const std::string installed = template_dir_ + "/" + pair_.template_file;
    struct stat st;
    if (::stat(installed.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return fail(Problem::kTemplateMissing, installed + ": no such file");
    }
    Outcome o = connect(source_path);
    if (!o.ok()) disconnect();
    return o;
}

Outcome Conversion::connect(const std::string& source_path) {
    // A fresh private copy, under the template's own name, so the installed file is never
    // written and no earlier conversion's rows are carried.
    auto folder = makePrivateFolder(work_dir_, "vkdc-" + pair_.window + "-");
    if (!folder) return fail(Problem::kTemplateInvalid, folder.status().message());
    working_folder_ = *folder;
    working_path_ = working_folder_ + "/" + pair_.template_file;
    const std::string installed = template_dir_ + "/" + pair_.template_file;
    if (jet::Status s = copyFileExclusive(installed, working_path_); !s.isOk()) {
        working_path_.clear();
        return fail(Problem::kTemplateInvalid, s.message());
    }

    registry_ = std::make_unique<DatabaseRegistry>();
    source_path_ = source_path;
    for (const TablePair& t : pair_.tables) {
        for (const bool is_new : {false, true}) {
            auto c = std::make_unique<DataControl>(is_new ? t.new_control : t.old_control,
                                                   *registry_, is_new);
            c->setConnectionString(is_new ? templateConnectionString(pair_, working_folder_)
                                          : sourceConnectionString(pair_, source_path));
            c->setRecordSource(t.recordSource());
            jet::Status s = c->Refresh();
            if (!s.isOk()) {
                if (is_new) {
                    return fail(Problem::kTemplateInvalid,
                                installed + ": " + t.table + ": " + s.message());
                }
                return fail(sourceProblemOf(s), source_path + ": " + s.message());
            }
            controls_.push_back(std::move(c));
        }
        DataControl* old_c = controls_[controls_.size() - 2].get();
        DataControl* new_c = controls_.back().get();
        for (const FieldPair& f : t.fields) {
            fields_.push_back(std::make_unique<BoundField>(f.new_box, *new_c, f.target_column));
            // A column missing on either side would fail every row; say so now instead.
            if (auto type = fields_.back()->type(); !type) {
                return fail(Problem::kTemplateInvalid, installed + ": " + type.status().message());
            }
            if (!f.isBlank()) {
                fields_.push_back(
                    std::make_unique<BoundField>(*f.old_box, *old_c, *f.source_column));
                if (auto type = fields_.back()->type(); !type) {
                    return fail(Problem::kSourceInvalid,
                                source_path + ": " + type.status().message() + "; it is not a " +
                                    pair_.source_version + " database");
                }
            }
        }
    }
    analysed_ = true;
    return {};
}

Outcome Conversion::convert(ConversionReport& report, const ProgressFn& progress) {
    report = ConversionReport{};
    if (!analysed_) return fail(Problem::kNotAnalysed, "no source has been analysed");
    if (converted_) return fail(Problem::kNotAnalysed, "this source has already been converted");
    converted_ = true;
    uint64_t total = 0;
    for (const TablePair& t : pair_.tables) {
        total += static_cast<uint64_t>(std::max(0, control(t.old_control)->Recordset()->RecordCount()));
    }
    uint64_t done = 0;
    for (const TablePair& t : pair_.tables) {
        TableReport tr;
        tr.table = t.table;
        Outcome o = convertTable(t, tr, done, total, progress);
        report.tables.push_back(std::move(tr));
        if (!o.ok()) return o;
    }
    if (const uint64_t lost = report.totalFailed(); lost > 0) {
        return fail(Problem::kRowsLost,
                    std::to_string(lost) + " of " + std::to_string(total) + " rows were not converted");
    }
    return {};
}

Outcome Conversion::convertTable(const TablePair& t, TableReport& tr, uint64_t& done,
                                 uint64_t total, const ProgressFn& progress) {
    Recordset* old_rs = control(t.old_control)->Recordset();
    Recordset* new_rs = control(t.new_control)->Recordset();
    auto note = [&](uint64_t row, const std::string& why) {
        if (tr.reasons.size() < kMaxReasons) {
            tr.reasons.push_back("row " + std::to_string(row) + ": " + why);
        }
    };
    const int32_t n = old_rs->RecordCount();  // read once, as the row loop requires
    for (int32_t i = 1; i <= n; ++i) {
        ++tr.read;
        jet::Status st = new_rs->AddNew();
        for (const FieldPair& f : t.fields) {
            if (!st.isOk()) break;
            BoundField* target = field(f.new_box);
            if (f.isBlank()) {
                st = target->clear();
                continue;
            }
            BoundField* source = field(*f.old_box);
            auto type = source->type();
            auto value = source->value();
            if (!type) {
                st = type.status();
            } else if (!value) {
                st = value.status();
            } else {
                st = target->setValue(*type, *value);
            }
        }
        if (st.isOk()) st = new_rs->Update();
        if (st.isOk()) {
            ++tr.written;
        } else {
            ++tr.failed;
            note(static_cast<uint64_t>(i), st.message());
            if (st.code() == jet::Status::Code::kTooLarge) {
                // Every later row would meet the same limit; the result cannot be kept.
                too_large_ = true;
                return fail(Problem::kTooLarge, t.table + " row " + std::to_string(i) + " of " +
                                                    std::to_string(n) + ": nothing was saved");
            }
        }
        if (progress) progress(++done, total);
        if (i < n) {
            if (jet::Status mv = old_rs->MoveNext(); !mv.isOk() || old_rs->atEnd()) {
                // The rest of the table cannot be read: every remaining row is lost.
                const uint64_t rest = static_cast<uint64_t>(n - i);
                tr.read += rest;
                tr.failed += rest;
                note(static_cast<uint64_t>(i + 1),
                     mv.isOk() ? "the table ended early" : mv.message());
                done += rest;
                if (progress) progress(done, total);
                break;
            }
        }
    }
    return {};
}

Outcome Conversion::save(const std::string& dest_path) {
    if (!converted_) return fail(Problem::kNotAnalysed, "nothing has been converted yet");
    if (too_large_) return fail(Problem::kTooLarge, "the conversion stopped; nothing was saved");
    if (dest_path.empty()) return fail(Problem::kSaveFailed, "no destination path given");
    if (canonical(dest_path) == canonical(source_path_)) {
        return fail(Problem::kSaveFailed,
                    dest_path + ": this is the source database; choose another file");
    }
    if (jet::Status st = registry_->flushAll(); !st.isOk()) {
        return fail(Problem::kSaveFailed, st.message());
    }
    if (jet::Status st = copyFileAtomically(working_path_, dest_path); !st.isOk()) {
        return fail(Problem::kSaveFailed, st.message());
    }
    return {};
}

}  // namespace vkdc
