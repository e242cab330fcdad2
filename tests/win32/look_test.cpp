// The Win32 face's fonts and texts: the designs' points at the screen's DPI, the reading
// direction of captions, the progress bar's text and the file dialogs' settings.
#include <gtest/gtest.h>

#include <iterator>

#include "convert/dialog_start.h"
#include "jet/win32.h"
#include "support/files.h"
#include "win32/dialogs.h"
#include "win32/fonts.h"
#include "win32/progress_bar.h"
#include "win32/text.h"

namespace vkdc::win32 {
namespace {

TEST(Win32Look, FontsAreTahomaArabicAtTheDesignsPoints) {
    const struct {
        FontSpec spec;
        unsigned dpi;
        int height;
    } cases[] = {
        {{825}, 96, -11},  {{900}, 96, -12},  {{975}, 96, -13},
        {{825}, 144, -17}, {{975}, 192, -26}, {{825, true, true}, 96, -11},
    };
    for (const auto& c : cases) {
        const LOGFONTW font = designLogFont(c.spec, c.dpi);
        EXPECT_EQ(font.lfHeight, c.height) << c.spec.centipoints << " at " << c.dpi;
        EXPECT_EQ(font.lfCharSet, 178);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
        EXPECT_EQ(font.lfWeight, c.spec.bold ? FW_BOLD : FW_NORMAL);
        EXPECT_EQ(font.lfUnderline != 0, c.spec.underline);
    }
    Fonts fonts;
    HFONT a = fonts.get({900}, 96);
    EXPECT_EQ(fonts.get({900}, 96), a) << "made once per window";
    EXPECT_NE(fonts.get({900}, 144), a);
}

TEST(Win32Look, PersianReadsRightToLeftWhateverComesFirst) {
    EXPECT_TRUE(readsRightToLeft(L" \u0645\u0631\u062D\u0644\u0647 1"));
    EXPECT_TRUE(readsRightToLeft(L":\u0641\u0627\u064A\u0644"));
    EXPECT_FALSE(readsRightToLeft(L"Velkor Database Convert"));
    EXPECT_FALSE(readsRightToLeft(L"2.0 Velkor \u0648\u0644\u06A9\u0648\u0631"));
    EXPECT_FALSE(readsRightToLeft(L""));
}

TEST(Win32Look, TheProgressBarShowsWholePercents) {
    EXPECT_EQ(percentageText(0, 0, 200), L"0%");
    EXPECT_EQ(percentageText(57, 0, 200), L"28%");
    EXPECT_EQ(percentageText(200, 0, 200), L"100%");
    EXPECT_EQ(percentageText(1000000, 0, 1000000), L"100%");
    EXPECT_EQ(percentageText(0, 0, 0), L"") << "an empty bar shows nothing";
}

TEST(Win32Look, FileDialogsTakeTheFilterAndTheSharedStartRule) {
    testing_support::TempDir dir;
    PathRequest request;
    request.filterName = "Velkor Backup(*.mdb,*.dbb)";
    request.patterns = {"*.mdb", "*.dbb"};
    request.initialPath = dir.path() + "\\\u067E\u0634\u062A\u06CC\u0628\u0627\u0646.dbb";
    request.folder = "D:\\";
    const FileDialogSetup setup = fileDialogSetup(request);
    const wchar_t filter[] = L"Velkor Backup(*.mdb,*.dbb)\0*.mdb;*.dbb\0";  // and c_str()'s
    EXPECT_EQ(setup.filter, std::wstring(filter, std::size(filter) - 1));
    const DialogStart start = dialogStart(request.initialPath, request.folder, homeFolder());
    EXPECT_EQ(setup.folder, jet::win::widen(start.folder));
    EXPECT_EQ(setup.name, jet::win::widen(start.fileName));
}

}  // namespace
}  // namespace vkdc::win32
