// What the Win32 window tests share: scripted dialogs, a user's clicks and keys on the real
// windows, and steps run from a timer inside whatever modal loop runs at the time.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win32/dialogs.h"

namespace win32_test {

// Answers every dialog from a script and records what was asked. An empty answer, or none
// left, is a cancel.
class ScriptedDialogs : public vkdc::win32::Dialogs {
  public:
    struct Shown {
        HWND owner;
        vkdc::MessageIcon icon;
        std::string text;
        std::string detail;
    };
    struct Asked {
        HWND owner;
        bool save;
        vkdc::PathRequest request;
    };

    std::deque<std::string> answers;
    std::vector<Shown> messages;
    std::vector<Asked> asks;
    std::vector<std::string> urls;
    std::vector<std::string> calls;  // "message", "openFile", "saveFile", "openUrl" in order
    // Runs while a message is "on screen": its owner is still waiting for it.
    std::function<void(const Shown&)> whileShown;

    void message(HWND owner, vkdc::MessageIcon icon, const std::string& text,
                 const std::string& detail) override;
    std::string openFile(HWND owner, const vkdc::PathRequest& request) override;
    std::string saveFile(HWND owner, const vkdc::PathRequest& request) override;
    void openUrl(const std::string& url) override;

    std::vector<std::string> texts() const;
};

// Clicks `control` as a user can: only an enabled, visible control of an enabled window
// (Wine's BM_CLICK clicks a disabled button too). False, and nothing sent, otherwise.
bool click(HWND control);

// A key pressed and released in `target` (the focused control, as a user's key goes), through
// the message queue and the running loop's key preview.
void pressKey(HWND target, UINT key);

// The window text (a caption, a box's contents) as UTF-8.
std::string text(HWND window);

// `control`'s rectangle in its parent's client area.
RECT rectInParent(HWND control);

// Steps run one at a time from a thread timer, so they run inside whatever message loop turns
// at the time: a modal window's, a message box's, a file dialog's. A step that returns false
// is tried again at the next tick (waiting for a window to appear). Should steps remain at the
// deadline, the test fails and every window and box still open is closed, so a missing or
// stuck window fails the test instead of hanging it.
class Script {
  public:
    using Step = std::function<bool()>;
    explicit Script(int deadline_ms = 10000);
    ~Script();

    Script& then(std::function<void()> step);
    Script& waitFor(Step step);
    bool done() const { return steps_.empty(); }
    bool forced() const { return forced_; }

  private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD);
    void run();

    std::deque<Step> steps_;
    UINT_PTR timer_ = 0;
    DWORD deadline_;
    bool forced_ = false;
};

// The visible message box or dialog (class #32770) of this thread, the newest first; null when
// none is open.
HWND openDialog();

}  // namespace win32_test
