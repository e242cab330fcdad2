// The Win32 windows on their own terms: each is its design (places, fonts, direction, captions,
// Tab order), keys, modal ownership, DPI, painting; and the shared walk to a save through the
// launcher, whose result must be vkdc-cli's. The flow itself is the presenters' tests' part.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include "cli/cli_run.h"
#include "convert/converter_texts.h"
#include "convert/program_texts.h"
#include "jet/win32.h"
#include "store/templates.h"
#include "support/converter_walk.h"
#include "support/files.h"
#include "win32/converter_window.h"
#include "win32/guide_window.h"
#include "win32/launcher_window.h"
#include "win32/message_loop.h"
#include "win32_test_support.h"

namespace vkdc::win32 {
namespace {

using win32_test::click;
using win32_test::pressKey;
using win32_test::Script;
using win32_test::ScriptedDialogs;
using win32_test::text;

// The walk's view of a Win32 converter window.
class Win32Face : public converter_walk::Face {
  public:
    Win32Face(ConverterWindow& window, ScriptedDialogs& dialogs)
        : window_(window), dialogs_(dialogs) {}

    bool click(Control c) override { return win32_test::click(handle(c)); }
    bool enabled(Control c) const override { return IsWindowEnabled(handle(c)); }
    bool hasFocus(Control c) const override { return GetFocus() == handle(c); }
    std::string text(Control c) const override { return win32_test::text(handle(c)); }
    void answerNextDialog(const std::string& path) override { dialogs_.answers.push_back(path); }
    std::vector<std::string> messages() const override { return dialogs_.texts(); }
    bool shown() const override { return IsWindowVisible(window_.hwnd()); }

  private:
    HWND handle(Control c) const { return window_.control(controlName(c)); }

    ConverterWindow& window_;
    ScriptedDialogs& dialogs_;
};

SIZE clientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

// The control's place in the client area, as designed: its own, moved by its frames.
RECT designedPlace(const WindowDesign& design, const ControlDesign& control) {
    Rect r = control.rect;
    for (const ControlDesign* c = &control; !c->container.empty();) {
        c = findControl(design, c->container);
        r.left += c->rect.left;
        r.top += c->rect.top;
    }
    const int x = twipsToPixels(r.left);
    const int y = twipsToPixels(r.top);
    return {x, y, x + twipsToPixels(r.width), y + twipsToPixels(r.height)};
}

void expectDesign(const Window& window, const WindowDesign& design) {
    SCOPED_TRACE(design.name);
    EXPECT_EQ(text(window.hwnd()), design.caption);
    const SIZE client = clientSize(window.hwnd());
    EXPECT_EQ(client.cx, twipsToPixels(design.clientWidth));
    EXPECT_EQ(client.cy, twipsToPixels(design.clientHeight));
    const LONG_PTR style = GetWindowLongPtrW(window.hwnd(), GWL_STYLE);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) << "fixed size";
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, design.kind == WindowKind::kMain);
    EXPECT_EQ((GetWindowLongPtrW(window.hwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0,
              design.kind == WindowKind::kToolDialog);
    HMENU menu = GetMenu(window.hwnd());
    ASSERT_EQ(menu ? GetMenuItemCount(menu) : 0, static_cast<int>(design.menu.size()));
    for (size_t i = 0; i < design.menu.size(); ++i) {
        wchar_t caption[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
        EXPECT_EQ(jet::win::narrow(caption), design.menu[i].caption);
    }

    for (const ControlDesign& c : design.controls) {
        SCOPED_TRACE(c.name);
        HWND h = window.control(c.name);
        if (c.kind == ControlKind::kDataControl) {
            EXPECT_FALSE(h) << "a data control has no window";
            continue;
        }
        ASSERT_TRUE(h);
        RECT want = designedPlace(design, c);
        const RECT got = win32_test::rectInParent(h);
        // A label of Latin text may be wider than designed, where the font needs it.
        if (c.kind == ControlKind::kLabel)
            want.right = std::max(want.right, got.right);
        EXPECT_TRUE(EqualRect(&want, &got)) << got.left << "," << got.top << " "
                                            << got.right - got.left << "x" << got.bottom - got.top;
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof font, &font);
        const FontDesign designed = fontOf(c.font);
        EXPECT_EQ(std::wstring(font.lfFaceName), jet::win::widen(kFontFace));
        EXPECT_EQ(font.lfCharSet, kFontCharset);
        EXPECT_EQ(font.lfHeight, -MulDiv(static_cast<int>(designed.points * 100), 96, 7200));
        EXPECT_EQ(font.lfWeight >= FW_BOLD, designed.bold);
        EXPECT_EQ(font.lfUnderline != 0, designed.underline);
        const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
        EXPECT_EQ((ex & WS_EX_LAYOUTRTL) != 0, c.rightToLeft && c.kind != ControlKind::kTextBox);
        if (c.kind != ControlKind::kTextBox && c.kind != ControlKind::kProgressBar) {
            EXPECT_EQ(text(h), c.caption);
        }
        EXPECT_EQ(IsWindowEnabled(h) != 0, c.enabled);
    }
}

// The controls Tab reaches, from the first, until it comes round again.
std::vector<std::string> tabCycle(const Window& window) {
    std::vector<std::string> names;
    HWND first = GetNextDlgTabItem(window.hwnd(), nullptr, FALSE);
    for (HWND h = first; h;) {
        names.push_back(window.placement(h)->name);
        h = GetNextDlgTabItem(window.hwnd(), h, FALSE);
        if (h == first || names.size() > 20)
            break;
    }
    return names;
}

class Win32Windows : public ::testing::Test {
  protected:
    testing_support::TempDir dir_;
    ScriptedDialogs dialogs_;
};

TEST_F(Win32Windows, EachWindowIsItsDesign) {
    LauncherWindow launcher(dialogs_);
    expectDesign(launcher, launcherDesign());
    EXPECT_EQ(tabCycle(launcher), (std::vector<std::string>{"Command1", "Command2"}));
    for (PairId pair : {PairId::k10to20, PairId::k20to30}) {
        ConverterWindow converter(pair, dialogs_, nullptr);
        expectDesign(converter, converterDesign(pair));
        // Step 2 starts disabled, so Tab goes round step 1; hidden controls never take it.
        EXPECT_EQ(tabCycle(converter),
                  (std::vector<std::string>{"Text1", "BrowseOpen", "ConvertDB"}));
    }
    GuideWindow guide(nullptr);
    expectDesign(guide, guideDesign());
}

TEST_F(Win32Windows, KeysOfAConverterWindow) {
    ConverterWindow window(PairId::k20to30, dialogs_, nullptr);
    const auto focused = [&window] {
        const Placement* placed = window.placement(GetFocus());
        return placed ? placed->name : std::string();
    };
    HWND guide = nullptr;
    Script script;
    script
        .then([&] {
            EXPECT_EQ(focused(), "BrowseOpen");
            pressKey(GetFocus(), VK_TAB);
        })
        .then([&] {
            EXPECT_EQ(focused(), "ConvertDB");
            pressKey(GetFocus(), VK_TAB);
        })
        .then([&] {
            EXPECT_EQ(focused(), "Text1") << "round to the first: step 2 is disabled";
            pressKey(GetFocus(), VK_RETURN);  // Enter in a text box presses nothing
            pressKey(GetFocus(), VK_TAB);
        })
        .then([&] {
            EXPECT_TRUE(dialogs_.calls.empty());
            pressKey(GetFocus(), VK_RETURN);  // presses BrowseOpen: the scripted dialog cancels
        })
        .then([&] {
            EXPECT_EQ(dialogs_.calls, (std::vector<std::string>{"openFile"}));
            pressKey(GetFocus(), VK_F1);
        })
        .waitFor([&] {
            guide = window.guide() ? window.guide()->hwnd() : nullptr;
            return guide && IsWindowVisible(guide);
        })
        .then([&] {
            EXPECT_EQ(GetWindow(guide, GW_OWNER), window.hwnd());
            EXPECT_FALSE(IsWindowEnabled(window.hwnd())) << "the guide is modal";
            pressKey(guide, VK_ESCAPE);
        })
        .then([&] {
            EXPECT_FALSE(IsWindowVisible(guide));
            EXPECT_TRUE(IsWindowEnabled(window.hwnd()));
            SetFocus(window.control("Text1"));
            pressKey(GetFocus(), VK_ESCAPE);
        });
    EXPECT_FALSE(window.run()) << "Esc closes without a save";
    EXPECT_TRUE(script.done());
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
}

TEST_F(Win32Windows, TheLauncherOpensEachConverterModallyAndAboutThenTheSite) {
    LauncherWindow launcher(dialogs_);
    launcher.show();
    ConverterWindow* first = nullptr;
    Script script;
    script
        .waitFor([&] {
            first = launcher.converter(PairId::k20to30);
            return first && IsWindowVisible(first->hwnd());
        })
        .then([&] {
            EXPECT_EQ(text(first->hwnd()), "VKDC v2.0 to v3.0");
            EXPECT_EQ(GetWindow(first->hwnd(), GW_OWNER), launcher.hwnd());
            EXPECT_FALSE(IsWindowEnabled(launcher.hwnd()));
            SetWindowTextW(first->control("Text1"), L"C:\\old.dbb");
            pressKey(GetFocus(), VK_ESCAPE);
        })
        .waitFor([&] { return IsWindowVisible(first->hwnd()); })
        .then([&] {
            EXPECT_EQ(text(first->control("Text1")), "") << "each showing starts afresh";
            pressKey(GetFocus(), VK_ESCAPE);
        });
    ASSERT_TRUE(click(launcher.control("Command2")));
    EXPECT_TRUE(IsWindowEnabled(launcher.hwnd()));
    ASSERT_TRUE(click(launcher.control("Command2")));
    EXPECT_EQ(launcher.converter(PairId::k20to30), first) << "made once, kept";
    EXPECT_FALSE(launcher.converter(PairId::k10to20));
    EXPECT_TRUE(script.done());

    // About: the message, then the site, however the box was closed.
    SendMessageW(launcher.hwnd(), WM_COMMAND, GetMenuItemID(GetMenu(launcher.hwnd()), 0), 0);
    EXPECT_EQ(dialogs_.calls, (std::vector<std::string>{"message", "openUrl"}));
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, aboutText());
    EXPECT_EQ(dialogs_.messages[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(dialogs_.messages[0].owner, launcher.hwnd());
    EXPECT_EQ(dialogs_.urls, (std::vector<std::string>{texts::kMakerUrl}));
}

// The converter opens under the pointer; the second click of a double click on the launcher's
// button must not press what lies there.
TEST_F(Win32Windows, ADoubleClickOpensAConverterAndPressesNothingInIt) {
    LauncherWindow launcher(dialogs_);
    launcher.show();
    const auto mouseClick = [](HWND button) {
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    };
    ConverterWindow* window = nullptr;
    Script script;
    script.then([&] { mouseClick(launcher.control("Command1")); })
        .waitFor([&] {
            window = launcher.converter(PairId::k10to20);
            return window && IsWindowVisible(window->hwnd());
        })
        .then([&] { mouseClick(window->control("BrowseOpen")); })
        .then([&] {
            EXPECT_TRUE(dialogs_.asks.empty()) << "the double click's second press was dropped";
            Sleep(GetDoubleClickTime() + 50);
            mouseClick(window->control("BrowseOpen"));
        })
        .then([&] {
            EXPECT_EQ(dialogs_.asks.size(), 1u) << "a later click counts";
            pressKey(GetFocus(), VK_ESCAPE);
        });
    runMessageLoopUntil([&] { return script.done() && !IsWindowVisible(window->hwnd()); });
}

TEST_F(Win32Windows, AWindowFollowsItsMonitorsDpi) {
    ConverterWindow window(PairId::k10to20, dialogs_, nullptr);
    RECT suggested{0, 0, 10, 10};
    SendMessageW(window.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    const SIZE client = clientSize(window.hwnd());
    EXPECT_EQ(client.cx, twipsToPixels(5655, 144));
    EXPECT_EQ(client.cy, twipsToPixels(4815, 144));
    const RECT browse = win32_test::rectInParent(window.control("BrowseOpen"));
    EXPECT_EQ(browse.left, twipsToPixels(120 + 240, 144));
    EXPECT_EQ(browse.right - browse.left, twipsToPixels(975, 144));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window.control("Text1"), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -18) << "9 pt at 144 dpi";
}

// What `window` paints itself (WM_PRINTCLIENT), pixel by pixel.
class Painted {
  public:
    explicit Painted(HWND window) {
        RECT client{};
        GetClientRect(window, &client);
        size_ = {client.right, client.bottom};
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, size_.cx, size_.cy);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    }
    ~Painted() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    SIZE size() const { return size_; }
    // Pixels of `colour` in the rectangle [left, right) x [top, bottom).
    int count(COLORREF colour, int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x)
                n += at(x, y) == colour;
        }
        return n;
    }

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    SIZE size_;
};

TEST_F(Win32Windows, PicturesLinesAndFramesArePaintedAsDesigned) {
    const auto paint = [](Window& window, int x, int y) { return Painted(window.hwnd()).at(x, y); };
    GuideWindow guide(nullptr);
    const int stem = twipsToPixels(480);
    for (int x : {stem - 1, stem, stem + 1})
        EXPECT_EQ(paint(guide, x, twipsToPixels(700)), RGB(0, 0, 0)) << "Line1, 3 pixels wide";
    EXPECT_EQ(paint(guide, twipsToPixels(700), twipsToPixels(700)), GetSysColor(COLOR_BTNFACE));
    LauncherWindow launcher(dialogs_);
    EXPECT_EQ(paint(launcher, 10, twipsToPixels(1560)), RGB(0xE0, 0xE0, 0xE0)) << "Line1";
    EXPECT_NE(paint(launcher, 10, 10), GetSysColor(COLOR_WINDOW)) << "the banner";
    EXPECT_EQ(paint(launcher, 10, 300), GetSysColor(COLOR_WINDOW));

    // A step frame reads right to left: its caption, in the Highlight colour, at its right end.
    ConverterWindow converter(PairId::k20to30, dialogs_, nullptr);
    const Painted frame(converter.control("Vel_Frame1"));
    const int half = frame.size().cx / 2;
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(frame.count(highlight, half, 0, frame.size().cx, 16), 20);
    EXPECT_EQ(frame.count(highlight, 0, 0, half / 2, 16), 0);
}

TEST_F(Win32Windows, AConversionShowsItsBarAndDropsTheInputMeanwhile) {
    const std::string source = dir_.path() + "\\big.dbb";
    SampleOptions rows;
    rows.contacts = 1000;
    ASSERT_TRUE(makeSample("2.0", source, rows).ok());
    ConverterWindow window(PairId::k20to30, dialogs_, nullptr);
    window.setWorkDir(dir_.path());
    window.setProgressDelay(std::chrono::milliseconds(0));
    dialogs_.answers.push_back(source);
    HWND bar = window.control("Progress");
    Script script;
    script.then([&] { ASSERT_TRUE(click(window.control("BrowseOpen"))); })
        .then([&] {
            // Waiting in the queue when the work starts: the bar's first paint takes it.
            pressKey(window.hwnd(), VK_F1);
            ASSERT_TRUE(click(window.control("ConvertDB")));
        })
        .waitFor([&] { return IsWindowEnabled(window.control("BrowseSave")) != 0; })
        .then([&] {
            EXPECT_GE(window.progressShown(), 1);
            EXPECT_FALSE(IsWindowVisible(bar));
            EXPECT_TRUE(IsWindowVisible(window.control("ConvertDB")));
            EXPECT_FALSE(window.guide()) << "F1 pressed while busy acts neither then nor later";
            pressKey(GetFocus(), VK_ESCAPE);
        });
    window.run();
    EXPECT_TRUE(script.done());

    // The bar as it paints: filled from the right (it reads right to left), its percentage
    // written over it in a colour of neither part.
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar, PBM_SETPOS, 30, 0);
    const Painted painted(bar);
    const SIZE size = painted.size();
    const COLORREF filled = painted.at(size.cx - 5, size.cy / 2);
    const COLORREF empty = painted.at(5, size.cy / 2);
    EXPECT_NE(filled, empty);
    const int all = (size.cx / 3) * size.cy;
    EXPECT_LT(painted.count(filled, size.cx / 3, 0, size.cx * 2 / 3, size.cy) +
                  painted.count(empty, size.cx / 3, 0, size.cx * 2 / 3, size.cy),
              all)
        << "30% is written in the middle";
}

// Esc or the close button during a conversion stop it at the next row: the window closes
// without a message and nothing is written anywhere.
TEST_F(Win32Windows, EscOrTheCloseButtonStopARunningConversion) {
    const std::string source = dir_.path() + "\\big.dbb";
    SampleOptions rows;
    rows.contacts = 1000;
    ASSERT_TRUE(makeSample("2.0", source, rows).ok());
    const std::string work = dir_.path() + "\\work";
    std::filesystem::create_directory(std::filesystem::path(jet::win::widen(work)));
    const std::function<void(HWND)> requests[] = {
        [](HWND window) { pressKey(window, VK_ESCAPE); },
        [](HWND window) { PostMessageW(window, WM_NCLBUTTONDOWN, HTCLOSE, 0); },
    };
    for (const auto& request : requests) {
        ScriptedDialogs dialogs;
        ConverterWindow window(PairId::k20to30, dialogs, nullptr);
        window.setWorkDir(work);
        window.setProgressDelay(std::chrono::milliseconds(0));
        dialogs.answers.push_back(source);
        Script script;
        script.then([&] { ASSERT_TRUE(click(window.control("BrowseOpen"))); }).then([&] {
            // Waiting in the queue when the work starts: the bar's first paint takes it.
            request(window.hwnd());
            click(window.control("ConvertDB"));
        });
        EXPECT_FALSE(window.run());
        EXPECT_TRUE(script.done());
        EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text;
        EXPECT_FALSE(IsWindowVisible(window.hwnd()));
        EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(jet::win::widen(work))))
            << "the working copy went with the window";
    }
}

class Win32WalkTest : public ::testing::TestWithParam<PairId> {};

// Through the launcher to a save, for each pair: the button opens its converter modally, the
// shared walk converts and saves, the program ends, and the saved file is what vkdc-cli
// writes for the same source, byte for byte.
TEST_P(Win32WalkTest, ASaveThroughTheWindowsIsVkdcCliResult) {
    const PairId pair = GetParam();
    testing_support::TempDir dir;
    const std::string source = dir.path() + "\\\u062F\u0641\u062A\u0631 1.dbb";
    const std::string dest = dir.path() + "\\VKDB.mdb";
    const std::string by_cli = dir.path() + "\\cli.mdb";
    ASSERT_TRUE(makeSample(pair == PairId::k10to20 ? "1.0" : "2.0", source).ok());

    ScriptedDialogs dialogs;
    LauncherWindow launcher(dialogs);
    bool ended = false;
    launcher.setEndProgram([&ended] { ended = true; });
    launcher.show();
    Script script(60000);
    script.waitFor([&] {
        ConverterWindow* window = launcher.converter(pair);
        if (!window || !IsWindowVisible(window->hwnd()))
            return false;
        EXPECT_FALSE(IsWindowEnabled(launcher.hwnd()));
        Win32Face face(*window, dialogs);
        converter_walk::walkToSave(face, pair, source, dest);
        return true;
    });
    ASSERT_TRUE(click(launcher.control(pair == PairId::k10to20 ? "Command1" : "Command2")));
    EXPECT_TRUE(script.done());
    EXPECT_TRUE(ended) << "a save ends the program";

    const cli_test::CliRun run = cli_test::runCli({"convert", source, by_cli});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto saved = testing_support::readFile(dest);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved == testing_support::readFile(by_cli)) << "the same bytes as vkdc-cli's";
}

INSTANTIATE_TEST_SUITE_P(BothPairs, Win32WalkTest,
                         ::testing::Values(PairId::k10to20, PairId::k20to30), [](const auto& info) {
                             return info.param == PairId::k10to20 ? std::string("VKDC12")
                                                                  : std::string("VKDC23");
                         });

}  // namespace
}  // namespace vkdc::win32
