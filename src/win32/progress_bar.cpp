#include "win32/progress_bar.h"

#include <commctrl.h>

#include <string>

namespace vkdc::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 0x766b6463;  // "vkdc"

struct BarState {
    HFONT font = nullptr;
};

// Paints the bar as the system does, then the text over it, off screen and in screen
// coordinates (the layout of a right-to-left bar is applied to its own drawing only), so the
// text is never mirrored and nothing flickers.
void paint(HWND bar, HDC dc, const BarState& state) {
    RECT client{};
    GetClientRect(bar, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    const bool rtl = (GetWindowLongPtrW(bar, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;

    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
    SetLayout(memory, rtl ? LAYOUT_RTL : 0);
    DefSubclassProc(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                    PRF_CLIENT | PRF_ERASEBKGND);
    SetLayout(memory, 0);

    PBRANGE range{};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const std::wstring text = percentageText(position, range.iLow, range.iHigh);
    if (!text.empty()) {
        const int span = range.iHigh - range.iLow;
        const int filled = MulDiv(width, position - range.iLow, span);
        RECT done = client;
        RECT rest = client;
        if (rtl) {
            done.left = width - filled;
            rest.right = done.left;
        } else {
            done.right = filled;
            rest.left = filled;
        }
        HGDIOBJ old_font =
            SelectObject(memory, state.font ? state.font : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(memory, TRANSPARENT);
        const struct {
            RECT clip;
            int colour;
        } parts[] = {{done, COLOR_HIGHLIGHTTEXT}, {rest, COLOR_WINDOWTEXT}};
        for (const auto& part : parts) {
            if (part.clip.right <= part.clip.left)
                continue;
            SaveDC(memory);
            IntersectClipRect(memory, part.clip.left, part.clip.top, part.clip.right,
                              part.clip.bottom);
            SetTextColor(memory, GetSysColor(part.colour));
            RECT box = client;
            DrawTextW(memory, text.c_str(), static_cast<int>(text.size()), &box,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            RestoreDC(memory, -1);
        }
        SelectObject(memory, old_font);
    }

    const DWORD layout = GetLayout(dc);
    SetLayout(dc, 0);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SetLayout(dc, layout);
    SelectObject(memory, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

LRESULT CALLBACK barProc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                         DWORD_PTR data) {
    auto* state = reinterpret_cast<BarState*>(data);
    switch (message) {
        case WM_SETFONT:
            state->font = reinterpret_cast<HFONT>(wparam);
            if (LOWORD(lparam))
                InvalidateRect(bar, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(state->font);
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(bar, &ps);
            paint(bar, dc, *state);
            EndPaint(bar, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(bar, reinterpret_cast<HDC>(wparam), *state);
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(bar, &barProc, kSubclassId);
            delete state;
            break;
        default:
            break;
    }
    return DefSubclassProc(bar, message, wparam, lparam);
}

}  // namespace

std::wstring percentageText(int position, int low, int high) {
    if (high <= low)
        return {};
    const long long done = static_cast<long long>(position - low) * 100 / (high - low);
    return std::to_wstring(done) + L"%";
}

void showPercentage(HWND bar) {
    auto* state = new BarState;
    if (!SetWindowSubclass(bar, &barProc, kSubclassId, reinterpret_cast<DWORD_PTR>(state)))
        delete state;
}

}  // namespace vkdc::win32
