// Screen scaling for the Win32 windows. The designs are in twips (1440 to the inch, 15 to a
// pixel at 96 dpi, vkdc::twipsToPixels); the program is aware of each monitor's DPI (its
// manifest), so every window converts its design at the DPI it is shown at, and again when it
// moves to a monitor of another DPI (WM_DPICHANGED).
#pragma once

#include <windows.h>

#include "convert/window_design.h"

namespace vkdc::win32 {

inline constexpr unsigned kBaseDpi = 96;

// A design rectangle (left, top, width, height in twips) in pixels at `dpi`.
RECT twipsRect(int left, int top, int width, int height, unsigned dpi);

// The DPI `window` is shown at: its monitor's where the system scales per monitor (Windows 10
// 1607 and later), else the system's.
unsigned windowDpi(HWND window);

// The window size, border and title bar (and menu bar, with `menu`) included, that gives a
// client area of `client` pixels at `dpi`.
SIZE windowSizeForClient(SIZE client, DWORD style, DWORD ex_style, bool menu, unsigned dpi);

// A system metric (SM_CXSMICON and the like) at `dpi`.
int systemMetric(int index, unsigned dpi);

}  // namespace vkdc::win32
