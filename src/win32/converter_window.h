// The converter window as a native Win32 window: the Win32 face of the two-step wizard, for
// VKDC12 (1.0 to 2.0) and VKDC23 (2.0 to 3.0) alike. It is a view of ConverterPresenter, which
// decides every state and message: the window is made from its design, passes clicks and keys
// on, and shows what it is told. Message boxes and file dialogs go through Dialogs.
#pragma once

#include <windows.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "convert/converter_presenter.h"
#include "convert/converter_view.h"
#include "win32/design_window.h"
#include "win32/dialogs.h"

namespace vkdc::win32 {

class GuideWindow;

class ConverterWindow : public DesignWindow, private ConverterView {
  public:
    // The window of `pair`, made hidden and owned by `owner`. `dialogs` must outlive it.
    ConverterWindow(PairId pair, Dialogs& dialogs, HWND owner);
    ~ConverterWindow() override;

    PairId pairId() const { return presenter_.pair().id; }

    // Shows the window modally over its owner, loaded afresh from its design, and returns
    // once it has closed: true when it closed after a save (the program is to end).
    bool run();

    // Folder of the installed template; by default the first install folder that holds it.
    void setTemplateDir(const std::string& dir) { presenter_.setTemplateDir(dir); }
    // Folder for the private working copy of the template (the system temp folder if empty).
    void setWorkDir(const std::string& dir) { presenter_.setWorkDir(dir); }
    // How long a conversion runs before its progress bar appears.
    void setProgressDelay(std::chrono::milliseconds delay) { presenter_.setProgressDelay(delay); }

    const ConversionReport& report() const { return presenter_.report(); }
    int progressShown() const { return presenter_.progressShown(); }
    // What the core set on the data control `name` ("User_Old", "Adodc3"): its connection
    // string and record source, both empty while it holds no connection.
    std::pair<std::string, std::string> dataControl(const std::string& name) const;
    // The guide F1 showed, or nullptr before the first.
    GuideWindow* guide() const { return guide_.get(); }

    // Esc closes the window and F1 shows the guide, whichever control has the focus.
    bool previewKey(const MSG& msg) override;

  private:
    void onClick(const std::string& name) override;
    void onCloseRequest() override;
    void onShown() override;
    HWND handle(Control control) const { return DesignWindow::control(controlName(control)); }
    // Keeps the keyboard working when the focused control is disabled or hidden: the focus
    // goes to the window, from where Tab finds the next control.
    void keepFocus(HWND losing);
    void applyProgress();

    // ConverterView
    void setControlEnabled(Control control, bool enabled) override;
    void setControlVisible(Control control, bool visible) override;
    void setControlText(Control control, const std::string& text) override;
    std::string controlText(Control control) const override;
    void focusControl(Control control) override;
    void showMessage(const Message& message) override;
    std::string askPath(const PathRequest& request) override;
    void showProgress(int value, int maximum) override;
    void paintNow() override;
    void showConnection(const std::string& control, const std::string& connection,
                        const std::string& record_source) override;
    void openGuide() override;
    void unload() override;
    void endProgram() override;

    Dialogs& dialogs_;
    std::map<std::string, std::pair<std::string, std::string>> connections_;
    std::unique_ptr<GuideWindow> guide_;
    std::pair<int, int> progress_{0, 0};          // value and maximum, as reported
    std::pair<int, int> shown_progress_{-1, -1};  // ... and as the bar has them
    bool ended_ = false;
    ConverterPresenter presenter_;
};

}  // namespace vkdc::win32
