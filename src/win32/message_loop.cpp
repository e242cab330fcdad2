#include "win32/message_loop.h"

#include "win32/window.h"

namespace vkdc::win32 {
namespace {

bool isKey(UINT message) {
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

struct ClickGuard {
    DWORD released_at = 0;  // time of the last release of the left button
    bool released = false;
    HWND guarded = nullptr;   // the window shown since that release
    DWORD guarded_since = 0;  // ... and that release's time
    bool dropping = false;    // inside a gesture being dropped
};
ClickGuard g_guard;

// True when `msg` belongs to a click the guard drops.
bool dropGuardedClick(const MSG& msg) {
    const UINT m = msg.message;
    const bool press = m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK || m == WM_NCLBUTTONDOWN ||
                       m == WM_NCLBUTTONDBLCLK;
    const bool release = m == WM_LBUTTONUP || m == WM_NCLBUTTONUP;
    if (g_guard.dropping) {
        if (release)
            g_guard.dropping = false;
        return press || release || m == WM_MOUSEMOVE;
    }
    if (release) {
        g_guard.released_at = msg.time;
        g_guard.released = true;
        return false;
    }
    if (!press || !g_guard.guarded)
        return false;
    const bool soon = msg.time - g_guard.guarded_since < GetDoubleClickTime();
    if (soon && GetAncestor(msg.hwnd, GA_ROOT) == g_guard.guarded) {
        g_guard.dropping = true;
        return true;
    }
    g_guard.guarded = nullptr;
    return false;
}

}  // namespace

void guardClicks(HWND shown) {
    if (g_guard.released) {
        g_guard.guarded = shown;
        g_guard.guarded_since = g_guard.released_at;
    }
}

void dispatchMessage(MSG& msg) {
    if (dropGuardedClick(msg))
        return;
    if (msg.hwnd && isKey(msg.message)) {
        if (Window* window = Window::fromHandle(GetAncestor(msg.hwnd, GA_ROOT))) {
            if (window->previewKey(msg))
                return;
            if (IsDialogMessageW(window->hwnd(), &msg))
                return;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int runMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        dispatchMessage(msg);
    return static_cast<int>(msg.wParam);
}

bool runMessageLoopUntil(const std::function<bool()>& done) {
    MSG msg;
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (got < 0)
            return false;
        dispatchMessage(msg);
    }
    return true;
}

void pumpPaintAndTimers(const std::function<void(const MSG&)>& input) {
    MSG msg;
    // Input first, so that nothing typed or clicked now waits in the queue for the end of
    // the work.
    const UINT ranges[][2] = {{WM_KEYFIRST, WM_KEYLAST},
                              {WM_MOUSEFIRST, WM_MOUSELAST},
                              {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    for (const auto& range : ranges) {
        while (PeekMessageW(&msg, nullptr, range[0], range[1], PM_REMOVE)) {
            if (input && msg.hwnd && Window::fromHandle(GetAncestor(msg.hwnd, GA_ROOT)))
                input(msg);
        }
    }
    // A window that never validates would keep WM_PAINT coming; a bound keeps this finite.
    for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
    for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
}

}  // namespace vkdc::win32
