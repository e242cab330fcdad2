#include "win32/dpi.h"

namespace vkdc::win32 {
namespace {

// The per-monitor functions exist from Windows 10 1607 on; looked up once, so the program
// still starts on older systems, where it runs at the system DPI.
struct DpiApi {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    BOOL(WINAPI* adjustForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    int(WINAPI* metricForDpi)(int, UINT) = nullptr;

    DpiApi() {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (!user32)
            return;
        dpiForWindow = reinterpret_cast<decltype(dpiForWindow)>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
        adjustForDpi = reinterpret_cast<decltype(adjustForDpi)>(
            reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
        metricForDpi = reinterpret_cast<decltype(metricForDpi)>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetSystemMetricsForDpi")));
    }
};

const DpiApi& api() {
    static const DpiApi instance;
    return instance;
}

unsigned systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<unsigned>(dpi) : kBaseDpi;
}

}  // namespace

RECT twipsRect(int left, int top, int width, int height, unsigned dpi) {
    const int d = static_cast<int>(dpi);
    const int x = twipsToPixels(left, d);
    const int y = twipsToPixels(top, d);
    return {x, y, x + twipsToPixels(width, d), y + twipsToPixels(height, d)};
}

unsigned windowDpi(HWND window) {
    if (window && api().dpiForWindow) {
        if (const UINT dpi = api().dpiForWindow(window))
            return dpi;
    }
    return systemDpi();
}

SIZE windowSizeForClient(SIZE client, DWORD style, DWORD ex_style, bool menu, unsigned dpi) {
    RECT rect{0, 0, client.cx, client.cy};
    if (api().adjustForDpi)
        api().adjustForDpi(&rect, style, menu, ex_style, dpi);
    else
        AdjustWindowRectEx(&rect, style, menu, ex_style);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

int systemMetric(int index, unsigned dpi) {
    if (api().metricForDpi)
        return api().metricForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

}  // namespace vkdc::win32
