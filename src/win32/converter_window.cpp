#include "win32/converter_window.h"

#include <commctrl.h>

#include "jet/win32.h"
#include "win32/guide_window.h"
#include "win32/message_loop.h"

namespace vkdc::win32 {

using jet::win::narrow;
using jet::win::widen;

ConverterWindow::ConverterWindow(PairId pair, Dialogs& dialogs, HWND owner)
    : dialogs_(dialogs), presenter_(pair, *this) {
    build(converterDesign(pair), owner);
}

ConverterWindow::~ConverterWindow() = default;

bool ConverterWindow::run() {
    ended_ = false;
    presenter_.load();
    centre();
    runModal();
    return ended_;
}

void ConverterWindow::onShown() {
    presenter_.shown();
}

void ConverterWindow::onClick(const std::string& name) {
    if (name == controlName(Control::kBrowseOpen))
        presenter_.browseOpen();
    else if (name == controlName(Control::kAnalysisDB))
        presenter_.analyse();
    else if (name == controlName(Control::kConvertDB))
        presenter_.convert();
    else if (name == controlName(Control::kBrowseSave))
        presenter_.browseSave();
    else if (name == controlName(Control::kSaveDB))
        presenter_.save();
}

bool ConverterWindow::previewKey(const MSG& msg) {
    // Without a focused control the system sends keys as WM_SYSKEYDOWN; Esc counts there too.
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        if (msg.wParam == VK_ESCAPE) {
            onCloseRequest();
            return true;
        }
        if (msg.wParam == VK_F1) {
            presenter_.help();
            return true;
        }
    }
    return DesignWindow::previewKey(msg);
}

// Every way the window closes (Esc, the close button, the unload after a save) comes here; the
// presenter keeps it open while a conversion runs.
void ConverterWindow::onCloseRequest() {
    if (presenter_.close())
        endModal();
}

std::pair<std::string, std::string> ConverterWindow::dataControl(const std::string& name) const {
    const auto it = connections_.find(name);
    return it == connections_.end() ? std::pair<std::string, std::string>() : it->second;
}

void ConverterWindow::keepFocus(HWND losing) {
    if (losing && GetFocus() == losing)
        focus(hwnd());
}

// ---- The view ----------------------------------------------------------------------------

void ConverterWindow::setControlEnabled(Control control, bool enabled) {
    HWND h = handle(control);
    if (!enabled)
        keepFocus(h);
    EnableWindow(h, enabled);
}

void ConverterWindow::setControlVisible(Control control, bool visible) {
    HWND h = handle(control);
    if (!visible)
        keepFocus(h);
    ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
}

void ConverterWindow::setControlText(Control control, const std::string& text) {
    SetWindowTextW(handle(control), widen(text).c_str());
}

std::string ConverterWindow::controlText(Control control) const {
    HWND h = handle(control);
    const int length = GetWindowTextLengthW(h);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(h, text.data(), length + 1);
    text.resize(static_cast<size_t>(got));
    return narrow(text);
}

void ConverterWindow::focusControl(Control control) {
    focus(handle(control));
}

void ConverterWindow::showMessage(const Message& message) {
    dialogs_.message(hwnd(), message.icon, message.text, message.detail);
}

std::string ConverterWindow::askPath(const PathRequest& request) {
    return request.save ? dialogs_.saveFile(hwnd(), request) : dialogs_.openFile(hwnd(), request);
}

// Reported for every row, the position reaches the bar when the window paints (paintNow): a
// bar may repaint at once on each change, and painting costs far more than a row.
void ConverterWindow::showProgress(int value, int maximum) {
    progress_ = {value, maximum};
    if (maximum == 0)
        applyProgress();
}

void ConverterWindow::applyProgress() {
    if (progress_ == shown_progress_)
        return;
    HWND bar = handle(Control::kProgress);
    // An emptied bar: nothing filled, no percentage (an empty range shows none).
    if (progress_.second != shown_progress_.second)
        SendMessageW(bar, PBM_SETRANGE32, 0, progress_.second);
    SendMessageW(bar, PBM_SETPOS, progress_.second > 0 ? progress_.first : 0, 0);
    shown_progress_ = progress_;
}

// Paint and timers go on; of the input, only a request to close reaches the presenter (Esc,
// the title bar's close button, Alt+F4), and the rest is dropped.
void ConverterWindow::paintNow() {
    applyProgress();
    pumpPaintAndTimers([this](const MSG& msg) {
        const bool escape =
            (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE;
        const bool close_button = msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE;
        const bool alt_f4 = msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4;
        if ((escape || close_button || alt_f4) && GetAncestor(msg.hwnd, GA_ROOT) == hwnd())
            onCloseRequest();
    });
}

void ConverterWindow::showConnection(const std::string& control, const std::string& connection,
                                     const std::string& record_source) {
    connections_[control] = {connection, record_source};
}

void ConverterWindow::openGuide() {
    if (!guide_)
        guide_ = std::make_unique<GuideWindow>(hwnd());
    guide_->run();
}

void ConverterWindow::unload() {
    onCloseRequest();
}

void ConverterWindow::endProgram() {
    ended_ = true;
}

}  // namespace vkdc::win32
