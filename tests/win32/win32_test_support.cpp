#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <map>

#include "jet/win32.h"
#include "win32/window.h"

namespace win32_test {
namespace {

std::map<UINT_PTR, Script*>& scripts() {
    static std::map<UINT_PTR, Script*> all;
    return all;
}

BOOL CALLBACK collectWindow(HWND hwnd, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> threadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool isDialogBox(HWND hwnd) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    return wcscmp(name, L"#32770") == 0;
}

}  // namespace

void ScriptedDialogs::message(HWND owner, vkdc::MessageIcon icon, const std::string& text,
                              const std::string& detail) {
    calls.push_back("message");
    messages.push_back({owner, icon, text, detail});
    if (whileShown)
        whileShown(messages.back());
}

std::string ScriptedDialogs::openFile(HWND owner, const vkdc::PathRequest& request) {
    calls.push_back("openFile");
    asks.push_back({owner, false, request});
    if (answers.empty())
        return {};
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string ScriptedDialogs::saveFile(HWND owner, const vkdc::PathRequest& request) {
    calls.push_back("saveFile");
    asks.push_back({owner, true, request});
    if (answers.empty())
        return {};
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedDialogs::openUrl(const std::string& url) {
    calls.push_back("openUrl");
    urls.push_back(url);
}

std::vector<std::string> ScriptedDialogs::texts() const {
    std::vector<std::string> all;
    for (const Shown& shown : messages)
        all.push_back(shown.text);
    return all;
}

bool click(HWND control) {
    if (!control || !IsWindowVisible(control) || !IsWindowEnabled(control))
        return false;
    if (!IsWindowEnabled(GetAncestor(control, GA_ROOT)))
        return false;
    SendMessageW(control, BM_CLICK, 0, 0);
    return true;
}

void pressKey(HWND target, UINT key) {
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    // Taken by the loop that runs now; a step of a Script returns to that loop by itself.
}

std::string text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, wide.data(), length + 1);
    wide.resize(static_cast<size_t>(length));
    return jet::win::narrow(wide);
}

RECT rectInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

Script::Script(int deadline_ms) : deadline_(GetTickCount() + static_cast<DWORD>(deadline_ms)) {
    timer_ = SetTimer(nullptr, 0, 25, &Script::tick);
    scripts()[timer_] = this;
}

Script::~Script() {
    KillTimer(nullptr, timer_);
    scripts().erase(timer_);
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps of the script never ran";
}

Script& Script::then(std::function<void()> step) {
    steps_.push_back([step] {
        step();
        return true;
    });
    return *this;
}

Script& Script::waitFor(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

void CALLBACK Script::tick(HWND, UINT, UINT_PTR id, DWORD) {
    const auto it = scripts().find(id);
    if (it != scripts().end())
        it->second->run();
}

void Script::run() {
    if (static_cast<LONG>(GetTickCount() - deadline_) >= 0) {
        if (!forced_) {
            ADD_FAILURE() << (steps_.empty()
                                  ? "a window was still open at the script's deadline"
                                  : "a step of the script was still waiting at its deadline");
        }
        forced_ = true;
        steps_.clear();
        for (HWND hwnd : threadWindows()) {
            if (!IsWindowVisible(hwnd))
                continue;
            if (vkdc::win32::Window* window = vkdc::win32::Window::fromHandle(hwnd))
                window->endModal();
            else if (isDialogBox(hwnd))
                PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
    if (steps_.empty())
        return;
    Step step = std::move(steps_.front());
    steps_.pop_front();
    if (!step())
        steps_.push_front(std::move(step));
}

HWND openDialog() {
    for (HWND hwnd : threadWindows()) {
        if (IsWindowVisible(hwnd) && isDialogBox(hwnd))
            return hwnd;
    }
    return nullptr;
}

}  // namespace win32_test
