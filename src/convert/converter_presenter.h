// The two-step wizard of a converter window, without a window toolkit. One presenter serves
// both VKDC12 (1.0 to 2.0) and VKDC23 (2.0 to 3.0); the pair decides the texts and the fixed
// values. It owns the flow: which control is enabled, visible or focused after each browse,
// analysis, conversion, save and close, which message reports each outcome, and what the file
// dialogs are asked. The work itself is Conversion's, the same core `vkdc-cli convert` runs.
//
// The view calls the event methods below when the user acts (a click, Esc, F1, the window
// shown); the presenter answers through ConverterView. Everything runs synchronously on the
// caller's thread: a conversion reports progress through the view while it runs and takes no
// other input until it ends, but for a request to close the window, which stops it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "convert/conversion.h"
#include "convert/converter_texts.h"
#include "convert/converter_view.h"
#include "store/version_pair.h"

namespace vkdc {

class ConverterPresenter {
  public:
    // `view` must outlive the presenter. Nothing is shown until load().
    ConverterPresenter(PairId pair, ConverterView& view);
    ~ConverterPresenter();

    ConverterPresenter(const ConverterPresenter&) = delete;
    ConverterPresenter& operator=(const ConverterPresenter&) = delete;

    const VersionPair& pair() const { return pair_; }
    const ConverterTexts& texts() const { return texts_; }

    // Folder of the installed template; by default the first install folder that holds it.
    void setTemplateDir(std::string dir) { template_dir_ = std::move(dir); }
    std::string templateDir() const;
    // Folder for the private working copy of the template (the system temp folder if empty).
    void setWorkDir(std::string dir) { work_dir_ = std::move(dir); }
    // How long a conversion runs before its progress bar appears.
    void setProgressDelay(std::chrono::milliseconds delay) { progress_delay_ = delay; }

    // ---- Events from the view ----
    // The window is about to show: every control to its design state; each showing starts
    // afresh, without the conversion of an earlier one.
    void load();
    // The window is on screen: the focus to its first control.
    void shown();
    void browseOpen();  // BrowseOpen
    // AnalysisDB, and the first step of ConvertDB. True when the source is analysed.
    bool analyse();
    void convert();     // ConvertDB
    void browseSave();  // BrowseSave
    void save();        // SaveDB
    void help();        // F1
    // The window is asked to close (Esc, its close button, or the unload after a save): true,
    // and the conversion goes, and with it its working copy of the template. While a
    // conversion runs the answer is false, but the conversion stops before its next row, and
    // convert() then unloads the window without a message; nothing is written anywhere.
    bool close();

    // A conversion is running: the window takes no input but painting and a request to close.
    bool busy() const { return busy_; }
    // The conversion of this showing (nullptr before the first analysis and after closing),
    // and the result of its last conversion.
    const Conversion* conversion() const { return conversion_.get(); }
    const ConversionReport& report() const { return report_; }
    // How many times the progress bar was shown during this showing's conversion.
    int progressShown() const { return progress_shown_; }

  private:
    void message(MessageId id, MessageIcon icon, std::string detail = {});
    void onProgress(uint64_t done, uint64_t total);
    std::string rowsLostDetail(const Outcome& outcome) const;

    const VersionPair& pair_;
    const ConverterTexts& texts_;
    ConverterView& view_;
    std::string template_dir_;
    std::string work_dir_;
    std::chrono::milliseconds progress_delay_{500};

    // What each file dialog returned last; its preset name until a file is chosen.
    std::string open_file_name_;
    std::string save_file_name_;

    std::unique_ptr<Conversion> conversion_;
    ConversionReport report_;
    bool busy_ = false;
    bool close_requested_ = false;  // while busy: stop, then unload
    bool progress_visible_ = false;
    int progress_shown_ = 0;
    std::chrono::steady_clock::time_point work_started_;
    std::chrono::steady_clock::time_point painted_;
    bool painted_once_ = false;
};

}  // namespace vkdc
