#include "win32/fonts.h"

#include <string>

#include "convert/window_design.h"
#include "jet/win32.h"

namespace vkdc::win32 {

LOGFONTW designLogFont(const FontSpec& style, unsigned dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(style.centipoints, static_cast<int>(dpi), 7200);
    font.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = style.underline ? TRUE : FALSE;
    font.lfCharSet = static_cast<BYTE>(kFontCharset);
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    const std::wstring face = jet::win::widen(kFontFace);
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return font;
}

Fonts::~Fonts() {
    clear();
}

HFONT Fonts::get(const FontSpec& style, unsigned dpi) {
    for (const Entry& entry : entries_) {
        if (entry.style == style && entry.dpi == dpi)
            return entry.font;
    }
    const LOGFONTW logfont = designLogFont(style, dpi);
    HFONT font = CreateFontIndirectW(&logfont);
    if (!font)
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    entries_.push_back({style, dpi, font});
    return font;
}

void Fonts::keepOnly(unsigned dpi) {
    std::erase_if(entries_, [dpi](const Entry& entry) {
        if (entry.dpi == dpi)
            return false;
        DeleteObject(entry.font);
        return true;
    });
}

void Fonts::clear() {
    for (const Entry& entry : entries_)
        DeleteObject(entry.font);
    entries_.clear();
}

}  // namespace vkdc::win32
