// vkdc-drive: runs the shipped vkdc.exe and takes it through a 2.0 to 3.0 conversion from
// outside, as a user would, with the real file dialogs and message boxes:
//   vkdc-drive VKDC_EXE SOURCE DEST
// The launcher must be "Velkor Database Convert" with a client area of its design (425 x 357
// at 96 dpi); its second button must open "VKDC v2.0 to v3.0" (377 x 321) modally over it;
// SOURCE is chosen in the open dialog, converted, saved to DEST through the save dialog, and
// the program must then end by itself with status 0. Exits 0 when all of that held, 1 with
// the step that failed on stderr. tools/test-windows.sh runs it on the zip's vkdc.exe.
#include <windows.h>

#include <dlgs.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "convert/converter_texts.h"
#include "convert/program_texts.h"
#include "convert/window_design.h"
#include "jet/win32.h"
#include "win32/design_window.h"

namespace {

using jet::win::narrow;
using jet::win::widen;
using vkdc::PairId;

HANDLE g_vkdc = nullptr;  // the program driven, ended when a step fails

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "vkdc-drive: %s\n", what.c_str());
    if (g_vkdc)
        TerminateProcess(g_vkdc, 1);
    std::exit(1);
}

// Polls `found` every 50 ms for up to 20 s.
HWND waitFor(const std::string& what, const std::function<HWND()>& found) {
    for (int i = 0; i < 400; ++i) {
        if (HWND hwnd = found(); hwnd && IsWindowVisible(hwnd))
            return hwnd;
        Sleep(50);
    }
    fail("no " + what + " appeared");
}

std::string textOf(HWND hwnd) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
    return narrow(text);
}

SIZE clientOf(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return {client.right, client.bottom};
}

void expectClient(HWND hwnd, const vkdc::WindowDesign& design) {
    const SIZE size = clientOf(hwnd);
    if (size.cx != vkdc::twipsToPixels(design.clientWidth) ||
        size.cy != vkdc::twipsToPixels(design.clientHeight))
        fail(design.name + " has a client area of " + std::to_string(size.cx) + " x " +
             std::to_string(size.cy));
    std::printf("vkdc-drive: \"%s\": %ld x %ld\n", design.caption.c_str(), size.cx, size.cy);
}

// The visible dialog box (class #32770) owned by `owner`, titled `title` when given.
HWND ownedDialog(HWND owner, const std::wstring* title) {
    for (HWND hwnd = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); hwnd;
         hwnd = FindWindowExW(nullptr, hwnd, L"#32770", nullptr)) {
        if (GetWindow(hwnd, GW_OWNER) != owner || !IsWindowVisible(hwnd))
            continue;
        wchar_t text[256] = {};
        GetWindowTextW(hwnd, text, 256);
        if (!title || *title == text)
            return hwnd;
    }
    return nullptr;
}

// Clicks the button `name` once it can be clicked (a step's message may still be closing).
void click(HWND window, const vkdc::WindowDesign& design, const char* name) {
    HWND button = GetDlgItem(window, vkdc::win32::controlId(design, name));
    for (int i = 0; i < 400 && button && !IsWindowEnabled(button); ++i)
        Sleep(50);
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button))
        fail(std::string(name) + " cannot be clicked");
    PostMessageW(button, BM_CLICK, 0, 0);  // posted: the click runs a modal loop there
}

// Answers the file dialog titled `title` with `path`, as typed into its name box.
void answerFileDialog(HWND owner, const std::string& title, const std::string& path) {
    const std::wstring wide_title = widen(title);
    HWND dialog =
        waitFor("file dialog \"" + title + "\"", [&] { return ownedDialog(owner, &wide_title); });
    HWND combo = FindWindowExW(GetDlgItem(dialog, cmb13), nullptr, L"ComboBox", nullptr);
    HWND name = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (!name)
        fail("the file dialog has no name box");
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(widen(path).c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// Closes the message box over `owner` once it shows `text`.
void answerMessage(HWND owner, const std::string& text) {
    HWND box = waitFor("message box", [&] { return ownedDialog(owner, nullptr); });
    const std::string shown = textOf(GetDlgItem(box, 0xFFFF));
    if (shown != text)
        fail("the message box says \"" + shown + "\"");
    std::printf("vkdc-drive: message \"%s\"\n", shown.c_str());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

void waitForText(HWND box, const std::string& text) {
    for (int i = 0; i < 400 && textOf(box) != text; ++i)
        Sleep(50);
    if (textOf(box) != text)
        fail("the path box holds \"" + textOf(box) + "\"");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vkdc-drive VKDC_EXE SOURCE DEST\n");
        return 2;
    }
    const std::string source = narrow(argv[2]);
    const std::string dest = narrow(argv[3]);
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        fail("cannot start " + narrow(argv[1]));
    g_vkdc = process.hProcess;

    const vkdc::WindowDesign& main_design = vkdc::launcherDesign();
    const vkdc::WindowDesign& design = vkdc::converterDesign(PairId::k20to30);
    const std::wstring main_caption = widen(main_design.caption);
    const std::wstring caption = widen(design.caption);
    HWND launcher = waitFor("launcher", [&] { return FindWindowW(nullptr, main_caption.c_str()); });
    expectClient(launcher, main_design);

    click(launcher, main_design, "Command2");
    HWND window =
        waitFor("converter window", [&] { return FindWindowW(nullptr, caption.c_str()); });
    expectClient(window, design);
    if (GetWindow(window, GW_OWNER) != launcher || IsWindowEnabled(launcher))
        fail("the converter window is not modal over the launcher");
    std::printf("vkdc-drive: modal over the launcher\n");

    const vkdc::ConverterTexts& own = vkdc::converterTexts(PairId::k20to30);
    click(window, design, "BrowseOpen");
    answerFileDialog(window, own.openTitle, source);
    waitForText(GetDlgItem(window, vkdc::win32::controlId(design, "Text1")), source);
    click(window, design, "ConvertDB");
    answerMessage(window, vkdc::messageText(PairId::k20to30, vkdc::MessageId::kConverted));
    click(window, design, "BrowseSave");
    answerFileDialog(window, own.saveTitle, dest);
    waitForText(GetDlgItem(window, vkdc::win32::controlId(design, "Text2")), dest);
    click(window, design, "SaveDB");
    answerMessage(window, vkdc::messageText(PairId::k20to30, vkdc::MessageId::kSaved));

    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
        fail("vkdc.exe did not end after the save");
    g_vkdc = nullptr;
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    if (status != 0)
        fail("vkdc.exe ended with status " + std::to_string(status));
    std::printf("vkdc-drive: saved %s; vkdc.exe ended\n", dest.c_str());
    return 0;
}
