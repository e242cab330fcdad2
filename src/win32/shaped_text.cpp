#include "win32/shaped_text.h"

#include <usp10.h>

namespace vkdc::win32 {
namespace {

// An analysis of `text` for `dc`, freed with the object; null when Uniscribe refuses.
class Analysis {
  public:
    Analysis(HDC dc, const std::wstring& text, bool right_to_left) {
        if (text.empty())
            return;
        SCRIPT_STATE state{};
        state.uBidiLevel = right_to_left ? 1 : 0;
        SCRIPT_CONTROL control{};
        const DWORD flags = SSA_GLYPHS | SSA_FALLBACK | (right_to_left ? SSA_RTL : 0);
        const int length = static_cast<int>(text.size());
        if (FAILED(ScriptStringAnalyse(dc, text.c_str(), length, 2 * length + 16, -1, flags, 0,
                                       &control, &state, nullptr, nullptr, nullptr, &analysis_)))
            analysis_ = nullptr;
    }
    ~Analysis() {
        if (analysis_)
            ScriptStringFree(&analysis_);
    }
    Analysis(const Analysis&) = delete;
    Analysis& operator=(const Analysis&) = delete;

    SCRIPT_STRING_ANALYSIS get() const { return analysis_; }

  private:
    SCRIPT_STRING_ANALYSIS analysis_ = nullptr;
};

}  // namespace

int shapedWidth(HDC dc, const std::wstring& text, bool right_to_left) {
    Analysis analysis(dc, text, right_to_left);
    if (analysis.get()) {
        if (const SIZE* size = ScriptString_pSize(analysis.get()))
            return size->cx;
    }
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void drawShapedText(HDC dc, int x, int y, const std::wstring& text, bool right_to_left) {
    Analysis analysis(dc, text, right_to_left);
    if (analysis.get()) {
        ScriptStringOut(analysis.get(), x, y, 0, nullptr, 0, 0, FALSE);
        return;
    }
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace vkdc::win32
