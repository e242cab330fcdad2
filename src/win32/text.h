// Text helpers of the Win32 face.
#pragma once

#include <string>

namespace vkdc::win32 {

// True when the first letter of `text` (blanks, digits and punctuation skipped) is of a
// right-to-left script: Persian captions and messages read right to left.
bool readsRightToLeft(const std::wstring& text);

}  // namespace vkdc::win32
