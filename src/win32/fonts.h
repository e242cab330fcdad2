// The designs' fonts as GDI fonts: the designs' face and character set (Tahoma, Arabic), at
// the points a control's design asks for, scaled to the window's DPI.
#pragma once

#include <windows.h>

#include <vector>

namespace vkdc::win32 {

struct FontSpec {
    int centipoints;  // 825 for 8.25 pt
    bool bold = false;
    bool underline = false;

    bool operator==(const FontSpec&) const = default;
};

// The LOGFONTW of `style` at `dpi`: its height is the negative pixel size of the em, as the
// designs' point sizes mean (8.25 pt is 11 pixels at 96 dpi).
LOGFONTW designLogFont(const FontSpec& style, unsigned dpi);

// The fonts one window uses, made on first use and deleted with the cache (or by clear(),
// once no control holds them any more).
class Fonts {
  public:
    Fonts() = default;
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    // Never null: a font the system cannot make falls back to the default GUI font.
    HFONT get(const FontSpec& style, unsigned dpi);
    void clear();
    // Deletes the fonts made for another DPI (no control may hold them any more).
    void keepOnly(unsigned dpi);

  private:
    struct Entry {
        FontSpec style;
        unsigned dpi;
        HFONT font;
    };
    std::vector<Entry> entries_;
};

}  // namespace vkdc::win32
