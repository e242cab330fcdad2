#include "convert/converter_presenter.h"

#include <algorithm>
#include <filesystem>

#include "store/data_control.h"
#include "store/data_folder.h"

namespace vkdc {
namespace {

using Clock = std::chrono::steady_clock;

// A path that names one place whatever the working folder is. Blanks, a relative name or
// anything the platform cannot parse are not.
bool isAbsolutePath(const std::string& utf8) {
    try {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).is_absolute();
    } catch (const std::exception&) {
        return false;
    }
}

MessageId sourceProblemMessage(Problem problem) {
    switch (problem) {
        case Problem::kEmptyPath:  // blanks only: no file has such a name
        case Problem::kSourceMissing:
            return MessageId::kSourceMissing;
        case Problem::kSourceUnreadable:
            return MessageId::kSourceUnreadable;
        case Problem::kSourceInvalid:
            return MessageId::kSourceInvalid;
        case Problem::kSourceUnsupported:
            return MessageId::kSourceUnsupported;
        case Problem::kSourceInUse:
            return MessageId::kSourceInUse;
        case Problem::kSourceWrongVersion:
            return MessageId::kWrongVersion;
        case Problem::kTemplateMissing:
        case Problem::kTemplateInvalid:
            return MessageId::kTemplateMissing;
        case Problem::kSaveFailed:  // the working copy cannot be made (a full temporary folder)
            return MessageId::kSaveFailed;
        default:
            break;
    }
    return MessageId::kSourceInvalid;
}

}  // namespace

ConverterPresenter::ConverterPresenter(PairId pair, ConverterView& view)
    : pair_(versionPair(pair)), texts_(converterTexts(pair)), view_(view) {}

ConverterPresenter::~ConverterPresenter() = default;

std::string ConverterPresenter::templateDir() const {
    if (!template_dir_.empty())
        return template_dir_;
    return dataFolderOf(pair_.template_file);
}

void ConverterPresenter::load() {
    conversion_.reset();
    report_ = {};
    busy_ = false;
    close_requested_ = false;
    progress_visible_ = false;
    progress_shown_ = 0;
    open_file_name_ = texts_.openFileName;
    save_file_name_ = texts::kSaveFileName;

    view_.setControlText(Control::kText1, "");
    view_.setControlEnabled(Control::kText1, true);
    view_.setControlEnabled(Control::kBrowseOpen, true);
    view_.setControlEnabled(Control::kConvertDB, true);
    view_.setControlVisible(Control::kConvertDB, true);
    view_.setControlEnabled(Control::kAnalysisDB, true);
    view_.setControlText(Control::kLabel3, texts::kNotYet);
    view_.setControlText(Control::kText2, "");
    view_.setControlEnabled(Control::kText2, false);
    view_.setControlEnabled(Control::kBrowseSave, false);
    view_.setControlEnabled(Control::kSaveDB, false);
    view_.setControlText(Control::kLabel1, texts::kNotYet);
    view_.setControlVisible(Control::kProgress, false);
    view_.showProgress(0, 0);
    for (const std::string& control : pair_.controlsInOrder())
        view_.showConnection(control, {}, {});
    view_.focusControl(Control::kBrowseOpen);
}

void ConverterPresenter::shown() {
    view_.focusControl(Control::kBrowseOpen);
}

void ConverterPresenter::message(MessageId id, MessageIcon icon, std::string detail) {
    view_.showMessage({id, icon, messageText(pair_.id, id), std::move(detail)});
}

void ConverterPresenter::browseOpen() {
    view_.setControlText(Control::kText1, "");
    PathRequest request;
    request.objectName = texts::kOpenDialog;
    request.title = texts_.openTitle;
    request.initialPath = open_file_name_;
    request.folder = texts::kDesignFolder;
    request.filterName = texts::kOpenFilterName;
    request.patterns = {"*.mdb", "*.dbb"};
    const std::string chosen = view_.askPath(request);
    // A cancel keeps what the dialog held before: the preset name or the last choice.
    if (!chosen.empty())
        open_file_name_ = chosen;
    // The bare preset name never stays in the path box.
    if (open_file_name_ == texts_.openFileName)
        return;
    view_.setControlText(Control::kText1, open_file_name_);
    view_.setControlEnabled(Control::kAnalysisDB, true);
}

bool ConverterPresenter::analyse() {
    const std::string source = view_.controlText(Control::kText1);
    if (source.empty()) {
        message(MessageId::kNoSourcePath, MessageIcon::kWarning);
        view_.focusControl(Control::kText1);
        return false;
    }
    if (!conversion_)
        conversion_ = std::make_unique<Conversion>(
            pair_, template_dir_.empty() ? dataFolders() : std::vector{template_dir_}, work_dir_);
    const Outcome outcome = conversion_->analyse(source);
    if (!outcome.ok()) {
        // Step 1 stays open, so another source can be chosen.
        message(sourceProblemMessage(outcome.problem), MessageIcon::kWarning, outcome.detail);
        view_.focusControl(Control::kText1);
        return false;
    }
    for (const std::string& name : pair_.controlsInOrder()) {
        if (const DataControl* control = conversion_->control(name)) {
            view_.showConnection(name, control->ConnectionString(), control->RecordSource());
        }
    }
    view_.setControlText(Control::kLabel3, texts::kAnalysed);
    view_.setControlEnabled(Control::kText1, false);
    view_.setControlEnabled(Control::kBrowseOpen, false);
    return true;
}

void ConverterPresenter::convert() {
    // Only the analysis just run counts: an earlier one may have been of a file since gone.
    if (!analyse())
        return;

    busy_ = true;
    close_requested_ = false;
    work_started_ = Clock::now();
    painted_once_ = false;
    report_ = {};
    const Outcome outcome = conversion_->convert(
        report_, [this](uint64_t done, uint64_t total) { onProgress(done, total); });
    if (progress_visible_) {
        view_.setControlVisible(Control::kProgress, false);
        view_.setControlVisible(Control::kConvertDB, true);
        progress_visible_ = false;
    }
    busy_ = false;

    if (close_requested_) {
        // Esc or the close button while it ran: the work stopped at the next row; nothing is
        // kept or said, and the window closes now.
        close_requested_ = false;
        view_.unload();
        return;
    }
    if (outcome.problem == Problem::kTooLarge || outcome.problem == Problem::kSaveFailed) {
        // Nothing can be kept: no completion message, and step 2 stays closed. A working copy
        // that cannot be written says why in the details.
        const bool too_large = outcome.problem == Problem::kTooLarge;
        message(too_large ? MessageId::kTooLarge : MessageId::kSaveFailed, MessageIcon::kWarning,
                too_large ? std::string() : outcome.detail);
        view_.setControlEnabled(Control::kConvertDB, false);
        return;
    }
    message(MessageId::kConverted, MessageIcon::kInformation);
    if (!outcome.ok() || report_.totalLost() > 0)
        message(MessageId::kRowsLost, MessageIcon::kWarning, rowsLostDetail(outcome));
    view_.setControlEnabled(Control::kConvertDB, false);
    view_.setControlEnabled(Control::kText2, true);
    view_.setControlEnabled(Control::kBrowseSave, true);
}

// Shows the bar once the work has run past the delay, and lets the screen catch up now and
// then (every 40 ms and at the end): painting costs more than a row.
void ConverterPresenter::onProgress(uint64_t done, uint64_t total) {
    const Clock::time_point now = Clock::now();
    if (!progress_visible_) {
        if (now - work_started_ < progress_delay_ || total == 0)
            return;
        view_.setControlVisible(Control::kConvertDB, false);
        view_.setControlVisible(Control::kProgress, true);
        progress_visible_ = true;
        ++progress_shown_;
    }
    // At most a million steps: what every toolkit's bar holds.
    const uint64_t scale = std::max<uint64_t>(1, total / 1000000 + 1);
    view_.showProgress(static_cast<int>(std::min(done, total) / scale),
                       static_cast<int>(total / scale));
    if (done < total && painted_once_ && now - painted_ < std::chrono::milliseconds(40))
        return;
    painted_ = now;
    painted_once_ = true;
    view_.paintNow();
}

void ConverterPresenter::browseSave() {
    view_.setControlText(Control::kText2, "");
    PathRequest request;
    request.save = true;
    request.objectName = texts::kSaveDialog;
    request.title = texts_.saveTitle;
    request.initialPath = save_file_name_;
    request.folder = texts::kDesignFolder;
    request.filterName = texts_.saveFilterName;
    request.patterns = {"*.dbb"};
    const std::string chosen = view_.askPath(request);
    if (!chosen.empty())
        save_file_name_ = chosen;
    if (save_file_name_ == texts::kSaveFileName)
        return;
    view_.setControlText(Control::kText2, save_file_name_);
    view_.setControlEnabled(Control::kSaveDB, true);
}

void ConverterPresenter::save() {
    // Blanks or a relative path name no place the user chose: they would land in whatever the
    // working folder happens to be.
    const std::string dest = view_.controlText(Control::kText2);
    if (!isAbsolutePath(dest)) {
        message(MessageId::kNoDestination, MessageIcon::kWarning);
        return;
    }
    Outcome outcome;
    if (conversion_) {
        outcome = conversion_->save(dest);
    } else {
        outcome.problem = Problem::kNotAnalysed;
        outcome.detail = problemName(Problem::kNotAnalysed);
    }
    if (!outcome.ok()) {
        // Nothing was replaced; the window stays so that another path can be tried.
        const bool in_use = outcome.problem == Problem::kDestinationInUse;
        message(in_use ? MessageId::kDestinationInUse : MessageId::kSaveFailed,
                MessageIcon::kWarning, outcome.detail);
        return;
    }

    view_.setControlText(Control::kLabel1, texts::kSaved);
    message(MessageId::kSaved, MessageIcon::kInformation);
    view_.unload();
    view_.endProgram();
}

void ConverterPresenter::help() {
    if (!busy_)
        view_.openGuide();
}

bool ConverterPresenter::close() {
    if (busy_) {
        close_requested_ = true;
        conversion_->requestStop();
        return false;
    }
    conversion_.reset();
    return true;
}

// The details of the lost-rows warning: one line per table with the number of rows that did
// not reach the new database, whether they failed to store or could not be read from a
// damaged source, each followed by the first reasons and the damage found in the table.
std::string ConverterPresenter::rowsLostDetail(const Outcome& outcome) const {
    std::string lines;
    const auto add = [&lines](const std::string& line) {
        if (!lines.empty())
            lines += '\n';
        lines += line;
    };
    for (const TableReport& table : report_.tables) {
        add(table.table + ": " + std::to_string(table.lost()));
        for (const std::string& reason : table.reasons)
            add("  " + reason);
        for (const std::string& damage : table.damage)
            add("  " + damage);
    }
    if (outcome.problem != Problem::kNone && outcome.problem != Problem::kRowsLost &&
        !outcome.detail.empty())
        add(outcome.detail);
    return lines;
}

}  // namespace vkdc
