// Text measured and drawn as the reader sees it, Persian letters joined, through Uniscribe.
// GDI's own measure (GetTextExtentPoint32W) may count Persian letters unjoined, as Wine's does,
// which is wider than what is drawn: captions placed by it land off their place.
#pragma once

#include <windows.h>

#include <string>

namespace vkdc::win32 {

// The width in pixels of `text` in the font selected into `dc`, as drawTextShaped draws it.
int shapedWidth(HDC dc, const std::wstring& text, bool right_to_left = false);

// Draws `text` in the font and text colour of `dc`, its left end at `x` and its top at `y`.
// `right_to_left` sets the paragraph's direction: ":فايل" read left to right shows its colon
// at the left.
void drawShapedText(HDC dc, int x, int y, const std::wstring& text, bool right_to_left = false);

}  // namespace vkdc::win32
