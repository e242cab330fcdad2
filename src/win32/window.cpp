#include "win32/window.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "win32/dpi.h"
#include "win32/message_loop.h"
#include "win32/resource_ids.h"
#include "win32/shaped_text.h"

namespace vkdc::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VkdcWindow";

ATOM windowClass(WNDPROC proc) {
    static const ATOM atom = [proc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

}  // namespace

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (const Picture& picture : pictures_)
        DeleteObject(picture.bitmap);
    for (HICON icon : icons_) {
        if (icon)
            DestroyIcon(icon);
    }
    if (background_)
        DeleteObject(background_);
}

Window* Window::fromHandle(HWND hwnd) {
    if (!hwnd || GetClassLongPtrW(hwnd, GCW_ATOM) != windowClass(&Window::windowProc))
        return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool Window::create(const WindowLook& look, HWND owner, HMENU menu) {
    look_ = look;
    background_ = CreateSolidBrush(look.background);
    if (!windowClass(&Window::windowProc))
        return false;
    // Sized once the DPI of the place it appears is known.
    CreateWindowExW(look.ex_style, kClassName, look.caption.c_str(), look.style, CW_USEDEFAULT,
                    CW_USEDEFAULT, 100, 100, owner, menu, GetModuleHandleW(nullptr), this);
    if (!hwnd_)
        return false;
    dpi_ = windowDpi(hwnd_);
    layout();
    return true;
}

HWND Window::addControl(const wchar_t* window_class, const std::wstring& text, DWORD style,
                        DWORD ex_style, const Placement& placement, int id, void (*prepare)(HWND)) {
    HWND hwnd = CreateWindowExW(ex_style, window_class, text.c_str(), WS_CHILD | style, 0, 0, 0, 0,
                                hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return nullptr;
    if (prepare)
        prepare(hwnd);
    children_.push_back({hwnd, placement});
    placeChild(children_.back());
    return hwnd;
}

void Window::addPicture(std::string name, int resource_id, POINT at) {
    // A missing picture leaves its place empty, as a missing file does in the Qt face.
    if (HBITMAP bitmap = loadBitmap(resource_id))
        pictures_.push_back({std::move(name), bitmap, at});
}

void Window::addLine(std::string name, POINT from, POINT to, int pixels, COLORREF colour) {
    lines_.push_back({std::move(name), from, to, pixels, colour});
}

HWND Window::control(std::string_view name) const {
    for (const Child& child : children_) {
        if (child.placement.name == name)
            return child.hwnd;
    }
    return nullptr;
}

const Placement* Window::placement(HWND control) const {
    for (const Child& child : children_) {
        if (child.hwnd == control)
            return &child.placement;
    }
    return nullptr;
}

void Window::placeChild(const Child& child) {
    const Twips& r = child.placement.rect;
    const RECT px = twipsRect(r.left, r.top, r.width, r.height, dpi_);
    SetWindowPos(child.hwnd, nullptr, px.left, px.top, px.right - px.left, px.bottom - px.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = fonts_.get(child.placement.font, dpi_);
    SendMessageW(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (!child.placement.fit_text)
        return;
    const int length = GetWindowTextLengthW(child.hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(child.hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    HDC dc = GetDC(child.hwnd);
    HGDIOBJ old = SelectObject(dc, font);
    const int needed = shapedWidth(dc, text);
    SelectObject(dc, old);
    ReleaseDC(child.hwnd, dc);
    const int room = twipsToPixels(look_.client_width, dpi_) - px.left;
    const int width = std::min(needed, room);
    if (width > px.right - px.left) {
        SetWindowPos(child.hwnd, nullptr, 0, 0, width, px.bottom - px.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The window's size for its client area at dpi_, every control's place and font, the icons.
void Window::layout() {
    const SIZE client{twipsToPixels(look_.client_width, dpi_),
                      twipsToPixels(look_.client_height, dpi_)};
    const SIZE outer =
        windowSizeForClient(client, look_.style, look_.ex_style, GetMenu(hwnd_) != nullptr, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar may take another height than the system's estimate: correct by the difference.
    RECT got{};
    GetClientRect(hwnd_, &got);
    if (got.bottom != client.cy || got.right != client.cx) {
        SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx + client.cx - got.right,
                     outer.cy + client.cy - got.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (const Child& child : children_)
        placeChild(child);
    fonts_.keepOnly(dpi_);
    setIcons();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Window::setIcons() {
    const int sizes[2] = {systemMetric(SM_CXSMICON, dpi_), systemMetric(SM_CXICON, dpi_)};
    for (int i = 0; i < 2; ++i) {
        HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(VKDC_IDI_PROGRAM), IMAGE_ICON,
                                                   sizes[i], sizes[i], LR_DEFAULTCOLOR));
        if (!icon)
            continue;
        SendMessageW(hwnd_, WM_SETICON, i == 0 ? ICON_SMALL : ICON_BIG,
                     reinterpret_cast<LPARAM>(icon));
        if (icons_[i])
            DestroyIcon(icons_[i]);
        icons_[i] = icon;
    }
}

void Window::centre() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY),
                         &monitor))
        return;
    RECT frame{};
    GetWindowRect(hwnd_, &frame);
    const RECT& area = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::focus(HWND control) {
    last_focus_ = control;
    SetFocus(control);
}

void Window::runModal() {
    if (modal_ || !hwnd_)
        return;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    owner_disabled_ = owner && IsWindowEnabled(owner);
    if (owner_disabled_)
        EnableWindow(owner, FALSE);
    modal_ = true;
    guardClicks(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    onShown();
    runMessageLoopUntil([this] { return !modal_ || !IsWindow(hwnd_); });
    endModal();
}

void Window::endModal() {
    if (!modal_)
        return;
    modal_ = false;
    // The owner first: enabled before this window hides, it is the one activated next.
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner_disabled_ && owner)
        EnableWindow(owner, TRUE);
    owner_disabled_ = false;
    ShowWindow(hwnd_, SW_HIDE);
}

bool Window::previewKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN)
        return false;
    // A held key repeats its WM_KEYDOWN; only the first press clicks.
    if (msg.lParam & (1 << 30))
        return true;
    HWND focus = GetFocus();
    wchar_t name[16] = {};
    if (focus && GetParent(focus) == hwnd_ && GetClassNameW(focus, name, 16) &&
        _wcsicmp(name, WC_BUTTONW) == 0 && IsWindowEnabled(focus) && IsWindowVisible(focus)) {
        const LONG_PTR kind = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
        if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON)
            SendMessageW(focus, BM_CLICK, 0, 0);
    }
    return true;
}

void Window::onCommand(int, int, HWND) {}

void Window::onCloseRequest() {
    endModal();
}

void Window::paintClient(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, background_);
    for (const Picture& picture : pictures_) {
        drawBitmap(dc, picture.bitmap,
                   {twipsToPixels(picture.at.x, dpi_), twipsToPixels(picture.at.y, dpi_)}, dpi_,
                   client);
    }
    for (const Line& line : lines_) {
        const int width = std::max(1, MulDiv(line.pixels, static_cast<int>(dpi_), kBaseDpi));
        LOGBRUSH brush{BS_SOLID, line.colour, 0};
        HPEN pen =
            ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT, width, &brush, 0, nullptr);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, twipsToPixels(line.from.x, dpi_), twipsToPixels(line.from.y, dpi_), nullptr);
        LineTo(dc, twipsToPixels(line.to.x, dpi_), twipsToPixels(line.to.y, dpi_));
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

LRESULT Window::handleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_CLOSE:
            onCloseRequest();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills the whole client area
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            paintClient(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paintClient(reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wparam);
            const auto* suggested = reinterpret_cast<const RECT*>(lparam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            layout();
            return 0;
        }
        case WM_ACTIVATE: {
            // As a dialog does: the focus leaves with the window and comes back with it. The
            // activation may arrive after the window set its focus: that focus stays.
            HWND focused = GetFocus();
            const bool within = focused && IsChild(hwnd_, focused);
            if (LOWORD(wparam) == WA_INACTIVE) {
                if (within)
                    last_focus_ = focused;
                break;
            }
            if (within)
                return 0;
            if (last_focus_ && IsWindow(last_focus_) && IsWindowVisible(last_focus_) &&
                IsWindowEnabled(last_focus_)) {
                SetFocus(last_focus_);
                return 0;
            }
            break;
        }
        case DM_GETDEFID:
            return 0;  // no default button
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK Window::windowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wparam, lparam);
    const LRESULT result = self->handleMessage(message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->modal_ = false;
    }
    return result;
}

HBITMAP loadBitmap(int resource_id) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource_id),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void drawBitmap(HDC dc, HBITMAP bitmap, POINT at, unsigned dpi, const RECT& clip) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info))
        return;
    const int width = MulDiv(info.bmWidth, static_cast<int>(dpi), kBaseDpi);
    const int height = MulDiv(info.bmHeight, static_cast<int>(dpi), kBaseDpi);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    if (dpi == kBaseDpi) {
        BitBlt(dc, at.x, at.y, width, height, source, 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, at.x, at.y, width, height, source, 0, 0, info.bmWidth, info.bmHeight,
                   SRCCOPY);
    }
    RestoreDC(dc, -1);
    SelectObject(source, old);
    DeleteDC(source);
}

}  // namespace vkdc::win32
