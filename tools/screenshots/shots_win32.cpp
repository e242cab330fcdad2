// vkdc-shots.exe: pictures every window and message of the Win32 face for a person to look at,
// as tools/screenshots.sh --windows runs it under Wine on an X display:
//   vkdc-shots READY_DIR WORK_DIR SAMPLE_10 SAMPLE_20 BIG_SAMPLE_20
// It runs the real windows with the real message boxes and file dialogs through a conversion of
// each pair and each fault a window reports. For each picture it prints
//   shot NAME LEFT TOP WIDTH HEIGHT
// (the window's frame on the screen) and keeps its windows painted until the script has taken
// the picture and made the file READY_DIR/NAME. The samples are sources made by `vkdc-cli
// make-sample`, the big one with enough rows to picture the progress bar.
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "jet/win32.h"
#include "jet/writer.h"
#include "narrow_template.h"
#include "store/version_pair.h"
#include "win32/converter_window.h"
#include "win32/design_window.h"
#include "win32/dialogs.h"
#include "win32/guide_window.h"
#include "win32/launcher_window.h"
#include "win32/message_loop.h"

namespace {

using jet::win::narrow;
using jet::win::widen;
using vkdc::PairId;
using vkdc::win32::ConverterWindow;

std::wstring g_ready;
int g_failures = 0;
int g_hold = 0;  // while a picture is taken or a step runs, the next step waits

void pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            vkdc::win32::dispatchMessage(msg);
        Sleep(10);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

// Has the script picture `window` as it is on the screen now.
void picture(HWND window, const std::string& name) {
    ++g_hold;
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump(300);
    RECT frame{};
    GetWindowRect(window, &frame);
    std::printf("shot %s %ld %ld %ld %ld\n", name.c_str(), frame.left, frame.top,
                frame.right - frame.left, frame.bottom - frame.top);
    std::fflush(stdout);
    const std::wstring ready = g_ready + L"\\" + widen(name);
    for (int i = 0; i < 500 && GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        pump(20);
    if (GetFileAttributesW(ready.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "vkdc-shots: %s was not taken\n", name.c_str());
        ++g_failures;
    }
    --g_hold;
}

// The visible dialog box owned by `owner`, or null.
HWND ownedBox(HWND owner) {
    for (HWND box = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box;
         box = FindWindowExW(nullptr, box, L"#32770", nullptr)) {
        if (GetWindow(box, GW_OWNER) == owner && IsWindowVisible(box))
            return box;
    }
    return nullptr;
}

// Runs `inside` on the next box to come up over `owner`, from a timer of the box's own loop.
std::map<UINT_PTR, std::pair<HWND, std::function<void(HWND)>>> g_watches;
void watchForBox(HWND owner, std::function<void(HWND)> inside) {
    const UINT_PTR id = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR timer, DWORD) {
        const auto it = g_watches.find(timer);
        if (it == g_watches.end())
            return;
        HWND box = ownedBox(it->second.first);
        if (!box)
            return;
        KillTimer(nullptr, timer);
        const auto inside = std::move(it->second.second);
        g_watches.erase(it);
        inside(box);
    });
    g_watches[id] = {owner, std::move(inside)};
}

// The real boxes and dialogs, each pictured under the name queued for it ("" for none); file
// dialogs are answered with `nextFile` (empty: cancel).
class PicturingDialogs : public vkdc::win32::SystemDialogs {
  public:
    std::deque<std::string> shots;
    std::string nextFile;

    void message(HWND owner, vkdc::MessageIcon icon, const std::string& text,
                 const std::string& detail) override {
        const std::string name = take();
        const bool details = !detail.empty();
        watchForBox(owner, [name, details](HWND box) {
            if (!name.empty()) {
                picture(box, name);
                // A box with details is pictured once more with them open.
                for (HWND b = FindWindowExW(box, nullptr, L"Button", nullptr); details && b;
                     b = FindWindowExW(box, b, L"Button", nullptr)) {
                    if (GetDlgCtrlID(b) != IDOK && IsWindowVisible(b)) {
                        SendMessageW(b, BM_CLICK, 0, 0);
                        picture(box, name + "-details");
                        break;
                    }
                }
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        SystemDialogs::message(owner, icon, text, detail);
    }
    std::string openFile(HWND owner, const vkdc::PathRequest& request) override {
        answer(owner);
        return SystemDialogs::openFile(owner, request);
    }
    std::string saveFile(HWND owner, const vkdc::PathRequest& request) override {
        answer(owner);
        return SystemDialogs::saveFile(owner, request);
    }
    void openUrl(const std::string& url) override {
        std::printf("(would open %s in the browser)\n", url.c_str());
    }

  private:
    std::string take() {
        if (shots.empty())
            return {};
        std::string name = shots.front();
        shots.pop_front();
        return name;
    }
    void answer(HWND owner) {
        const std::string name = take();
        const std::string file = nextFile;
        nextFile.clear();
        watchForBox(owner, [name, file](HWND dialog) {
            if (!name.empty())
                picture(dialog, name);
            if (file.empty()) {
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            HWND combo = FindWindowExW(GetDlgItem(dialog, cmb13), nullptr, L"ComboBox", nullptr);
            HWND box = FindWindowExW(combo, nullptr, L"Edit", nullptr);
            SetWindowTextW(box, widen(file).c_str());
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
    }
};

// Steps run one at a time from a timer, so a step can wait in a window that an earlier one
// opened (a converter window's modal loop). A step that returns false runs again later.
std::deque<std::function<bool()>> g_steps;
void CALLBACK runStep(HWND, UINT, UINT_PTR, DWORD) {
    if (g_hold > 0 || g_steps.empty())
        return;
    auto step = std::move(g_steps.front());
    g_steps.pop_front();
    ++g_hold;
    const bool done = step();
    --g_hold;
    if (!done)
        g_steps.push_front(std::move(step));
}
void then(std::function<void()> step) {
    g_steps.push_back([step] {
        step();
        return true;
    });
}
void waitFor(std::function<bool()> step) {
    g_steps.push_back(std::move(step));
}

HWND item(const ConverterWindow& window, const char* name) {
    return window.control(name);
}
void click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}
void setText(HWND box, const std::string& text) {
    SetWindowTextW(box, widen(text).c_str());
}

// Shows `window` modally and lets the steps after this one run inside it.
void runWindow(ConverterWindow& window) {
    --g_hold;
    window.run();
    ++g_hold;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: vkdc-shots READY_DIR WORK_DIR SAMPLE_10 SAMPLE_20 BIG_SAMPLE_20\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    g_ready = argv[1];
    const std::string work = narrow(argv[2]);
    const std::string sample10 = narrow(argv[3]);
    const std::string sample20 = narrow(argv[4]);
    const std::string big20 = narrow(argv[5]);

    PicturingDialogs dialogs;
    vkdc::win32::LauncherWindow launcher(dialogs);
    launcher.setEndProgram([] {});  // a save ends only the converter window here
    launcher.show();
    SetTimer(nullptr, 0, 40, runStep);

    then([&] { picture(launcher.hwnd(), "launcher"); });
    then([&] {
        dialogs.shots.push_back("message-about");
        SendMessageW(launcher.hwnd(), WM_COMMAND, GetMenuItemID(GetMenu(launcher.hwnd()), 0), 0);
    });
    std::unique_ptr<ConverterWindow> bare, lossy, busy;
    for (PairId id : {PairId::k10to20, PairId::k20to30}) {
        const bool v12 = id == PairId::k10to20;
        const std::string tag = v12 ? "vkdc12" : "vkdc23";
        const std::string sample = v12 ? sample10 : sample20;
        const std::string other = v12 ? sample20 : sample10;
        const auto window = [&launcher, id]() -> ConverterWindow& {
            return *launcher.converter(id);
        };
        launcher.setConverterSetup([&work](ConverterWindow& w) { w.setWorkDir(work); });
        then([&launcher, v12] {
            PostMessageW(launcher.control(v12 ? "Command1" : "Command2"), BM_CLICK, 0, 0);
        });
        waitFor([&launcher, id] {
            return launcher.converter(id) && IsWindowVisible(launcher.converter(id)->hwnd());
        });
        then([=] { picture(window().hwnd(), tag + "-before"); });
        then([=, &dialogs] {
            dialogs.shots.push_back("message-no-source-path");
            click(item(window(), "ConvertDB"));
            dialogs.shots.push_back(tag + "-message-wrong-version");
            setText(item(window(), "Text1"), other);
            click(item(window(), "ConvertDB"));
        });
        if (!v12) {
            then([=, &dialogs] {
                const std::string junk = work + "\\junk.dbb";
                std::ofstream(std::filesystem::path(widen(junk)), std::ios::binary)
                    << std::string(8192, 'x');
                // A database of a later Access format (the version byte of an .accdb file).
                const std::string later = work + "\\later.accdb";
                CopyFileW(widen(sample).c_str(), widen(later).c_str(), FALSE);
                std::fstream file(std::filesystem::path(widen(later)),
                                  std::ios::in | std::ios::out | std::ios::binary);
                file.seekp(0x14);
                file.put('\x02');
                file.close();
                const std::pair<std::string, const char*> faults[] = {
                    {work + "\\missing.dbb", "message-source-missing"},
                    {work, "message-source-unreadable"},
                    {junk, "message-source-invalid"},
                    {later, "message-source-unsupported"},
                };
                for (const auto& [path, shot] : faults) {
                    dialogs.shots.push_back(shot);
                    setText(item(window(), "Text1"), path);
                    click(item(window(), "ConvertDB"));
                }
                setText(item(window(), "Text1"), "");
            });
            // An installation without its template.
            then([=, &dialogs, &bare] {
                bare = std::make_unique<ConverterWindow>(id, dialogs, window().hwnd());
                bare->setWorkDir(work);
                bare->setTemplateDir(work + "\\no-templates");
                runWindow(*bare);
            });
            waitFor([&bare] { return bare && IsWindowVisible(bare->hwnd()); });
            then([=, &dialogs, &bare] {
                setText(bare->control("Text1"), sample);
                dialogs.shots.push_back("message-template-missing");
                click(bare->control("ConvertDB"));
                PostMessageW(bare->hwnd(), WM_CLOSE, 0, 0);
            });
        }
        // The conversion.
        then([=, &dialogs] {
            dialogs.shots.push_back(tag + "-dialog-open");
            dialogs.nextFile = sample;
            click(item(window(), "BrowseOpen"));
            picture(window().hwnd(), tag + "-source-chosen");
            dialogs.shots.push_back("message-converted");
            click(item(window(), "ConvertDB"));
            picture(window().hwnd(), tag + "-after");
        });
        if (!v12) {
            then([=] { PostMessageW(item(window(), "Text2"), WM_KEYDOWN, VK_F1, 0); });
            waitFor([=] { return window().guide() && IsWindowVisible(window().guide()->hwnd()); });
            then([=] {
                picture(window().guide()->hwnd(), "guide");
                PostMessageW(window().guide()->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            });
        }
        then([=, &dialogs] {
            dialogs.shots.push_back(tag + "-dialog-save");
            dialogs.nextFile = work + "\\" + tag + "-converted.dbb";
            click(item(window(), "BrowseSave"));
            picture(window().hwnd(), tag + "-destination-chosen");
            // Typed over the chosen path: a folder that does not exist (the dialog would not
            // take it), then nothing.
            setText(item(window(), "Text2"), work + "\\no-such-folder\\" + tag + ".dbb");
            dialogs.shots.push_back("message-save-failed");
            click(item(window(), "SaveDB"));
            setText(item(window(), "Text2"), "");
            dialogs.shots.push_back("message-no-destination");
            click(item(window(), "SaveDB"));
            setText(item(window(), "Text2"), work + "\\" + tag + "-converted.dbb");
            dialogs.shots.push_back("message-saved");
            click(item(window(), "SaveDB"));
        });
        if (!v12) {
            // Rows that a template cannot hold.
            then([=, &dialogs, &lossy, &launcher] {
                const vkdc::VersionPair& pair = vkdc::versionPair(id);
                const std::string narrow_dir = work + "\\narrow";
                CreateDirectoryW(widen(narrow_dir).c_str(), nullptr);
                if (!shots::writeNarrowTemplate(narrow_dir + "\\" + pair.template_file,
                                                pair.target_version)) {
                    std::fprintf(stderr, "vkdc-shots: cannot write the narrow template\n");
                    ++g_failures;
                }
                lossy = std::make_unique<ConverterWindow>(id, dialogs, launcher.hwnd());
                lossy->setWorkDir(work);
                lossy->setTemplateDir(narrow_dir);
                runWindow(*lossy);
            });
            waitFor([&lossy] { return lossy && IsWindowVisible(lossy->hwnd()); });
            then([=, &dialogs, &lossy, &launcher] {
                setText(lossy->control("Text1"), sample);
                dialogs.shots.push_back("");
                dialogs.shots.push_back("message-rows-lost");
                click(lossy->control("ConvertDB"));
                PostMessageW(lossy->hwnd(), WM_CLOSE, 0, 0);
            });
            // The progress bar, about a third and about three quarters full.
            then([=, &dialogs, &busy, &launcher] {
                busy = std::make_unique<ConverterWindow>(id, dialogs, launcher.hwnd());
                busy->setWorkDir(work);
                busy->setProgressDelay(std::chrono::milliseconds(0));
                runWindow(*busy);
            });
            waitFor([&busy] { return busy && IsWindowVisible(busy->hwnd()); });
            then([=, &dialogs, &busy] {
                setText(busy->control("Text1"), big20);
                dialogs.shots.push_back("");
                static int taken = 0;
                static ConverterWindow* shown = nullptr;
                shown = busy.get();
                // From the timers the conversion lets through.
                const UINT_PTR timer = SetTimer(nullptr, 0, 5, [](HWND, UINT, UINT_PTR, DWORD) {
                    HWND bar = shown->control("Progress");
                    PBRANGE range{};
                    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
                    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
                    if (!IsWindowVisible(bar) || range.iHigh <= 0 || g_hold > 1)
                        return;
                    const double part = double(position) / range.iHigh;
                    if ((taken == 0 && part >= 0.25 && part < 0.5) || (taken == 1 && part >= 0.7)) {
                        ++taken;
                        picture(shown->hwnd(), taken == 1 ? "vkdc23-progress-third"
                                                          : "vkdc23-progress-three-quarters");
                    }
                });
                click(busy->control("ConvertDB"));
                KillTimer(nullptr, timer);
                if (taken < 2) {
                    std::fprintf(stderr,
                                 "vkdc-shots: the conversion ended before the progress "
                                 "pictures\n");
                    ++g_failures;
                }
                PostMessageW(busy->hwnd(), WM_CLOSE, 0, 0);
            });
        }
    }
    then([] { PostQuitMessage(0); });
    vkdc::win32::runMessageLoop();
    std::printf("done %d\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
