// The conversion's progress bar: the system's bar with its percentage written in the middle,
// in the text colour over the empty part and the highlight's text colour over the filled part,
// so it reads at every position.
#pragma once

#include <windows.h>

#include <string>

namespace vkdc::win32 {

// Makes the progress bar `bar` (PROGRESS_CLASSW, any direction) show its percentage. It takes
// the font given by WM_SETFONT.
void showPercentage(HWND bar);

// The text shown for `position` between `low` and `high`: "42%"; "" for an empty range.
std::wstring percentageText(int position, int low, int high);

}  // namespace vkdc::win32
