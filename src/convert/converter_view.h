// What a converter window must be able to do for ConverterPresenter, in no toolkit's terms.
// The presenter decides every state and message; a view only shows what it is told and
// reports clicks (by calling the presenter) and what its path boxes hold. The Qt window is one
// such view; tests use a scripted one. All texts are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "convert/converter_texts.h"

namespace vkdc {

// The controls whose state the presenter sets, by their names in the design.
enum class Control {
    kText1,  // path box of the source
    kBrowseOpen,
    kConvertDB,
    kAnalysisDB,  // hidden; its click is the analysis
    kLabel3,      // hidden; its caption is the analysis flag
    kText2,       // path box of the destination
    kBrowseSave,
    kSaveDB,
    kLabel1,    // hidden; status of step 2
    kProgress,  // the progress bar, shown over ConvertDB while a long conversion runs
};

// The name of `control` in the window's design (converterDesign()).
constexpr const char* controlName(Control control) {
    switch (control) {
        case Control::kText1:
            return "Text1";
        case Control::kBrowseOpen:
            return "BrowseOpen";
        case Control::kConvertDB:
            return "ConvertDB";
        case Control::kAnalysisDB:
            return "AnalysisDB";
        case Control::kLabel3:
            return "Label3";
        case Control::kText2:
            return "Text2";
        case Control::kBrowseSave:
            return "BrowseSave";
        case Control::kSaveDB:
            return "SaveDB";
        case Control::kLabel1:
            return "Label1";
        case Control::kProgress:
            break;
    }
    return "Progress";
}

enum class MessageIcon { kInformation, kWarning };

struct Message {
    MessageId id;
    MessageIcon icon;
    std::string text;    // the designed text, shown alone in the box
    std::string detail;  // technical lines (a path, the system's reason, counts), shown on
                         // demand; empty for none
};

// A file dialog: `Opens` picks an existing source, `Saves` a destination (an existing file
// is taken without a question).
struct PathRequest {
    bool save = false;
    std::string objectName;   // "Opens" or "Saves"
    std::string title;        // the window title
    std::string initialPath;  // a bare name (opens in `folder`) or a full path (beside it)
    std::string folder;       // initial folder for a bare name
    std::string filterName;   // "Velkor Backup(*.mdb,*.dbb)": what the filter list shows
    std::vector<std::string> patterns;  // {"*.mdb", "*.dbb"}
};

class ConverterView {
  public:
    virtual ~ConverterView() = default;

    virtual void setControlEnabled(Control control, bool enabled) = 0;
    virtual void setControlVisible(Control control, bool visible) = 0;
    // The text of a path box or the caption of a label; "" empties it.
    virtual void setControlText(Control control, const std::string& text) = 0;
    // What a path box holds now, typed or set.
    virtual std::string controlText(Control control) const = 0;
    virtual void focusControl(Control control) = 0;

    // A modal box with one OK button and an empty title; returns when it is closed.
    virtual void showMessage(const Message& message) = 0;
    // A modal file dialog; the full path chosen, or "" when the user cancelled.
    virtual std::string askPath(const PathRequest& request) = 0;

    // The progress bar's position; a maximum of 0 empties the bar.
    virtual void showProgress(int value, int maximum) = 0;
    // Lets the screen catch up during a long conversion: painting and timers. Of the user's
    // input only Esc and the close button get through, as ConverterPresenter::close(), which
    // stops the work; all other input to the program is dropped, never kept for later.
    virtual void paintNow() = 0;

    // Mirrors what the core set on a data control ("User_Old", "Adodc3", ...), so the view can
    // show it by name; both empty when the control holds no connection.
    virtual void showConnection(const std::string& control, const std::string& connection,
                                const std::string& record_source) = 0;

    // Shows the guide, owned by this window.
    virtual void openGuide() = 0;
    // Closes the window; it asks ConverterPresenter::close() as for any other close.
    virtual void unload() = 0;
    // A save succeeded: the program is to end now.
    virtual void endProgram() = 0;
};

}  // namespace vkdc
