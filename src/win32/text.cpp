#include "win32/text.h"

#include <cwctype>

namespace vkdc::win32 {

bool readsRightToLeft(const std::wstring& text) {
    for (const wchar_t c : text) {
        // Hebrew, Arabic, Syriac, Thaana and their presentation forms.
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
            (c >= 0xFE70 && c <= 0xFEFF))
            return true;
        if (std::iswalpha(c))
            return false;
    }
    return false;
}

}  // namespace vkdc::win32
