// The system's own boxes behind the Dialogs seam, closed from a timer as a user would: the
// message box, the task dialog that holds a message's details, and the file dialog with the
// settings it is given.
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "convert/converter_texts.h"
#include "convert/dialog_start.h"
#include "jet/win32.h"
#include "support/files.h"
#include "win32_test_support.h"

namespace vkdc::win32 {
namespace {

using win32_test::openDialog;
using win32_test::Script;
using win32_test::text;

const char kPersian[] =
    " \u062A\u0628\u062F\u064A\u0644 \u0627\u0637\u0644\u0627\u0639\u0627\u062A ";

std::vector<HWND> children(HWND parent, const wchar_t* window_class) {
    std::vector<HWND> found;
    for (HWND child = FindWindowExW(parent, nullptr, window_class, nullptr); child;
         child = FindWindowExW(parent, child, window_class, nullptr))
        found.push_back(child);
    return found;
}

TEST(Win32Dialogs, AMessageIsItsTextAloneWithAnEmptyTitleAndOneOk) {
    HWND box = nullptr;
    Script script;
    script.waitFor([&] { return (box = openDialog()) != nullptr; }).then([&] {
        EXPECT_EQ(text(box), "");
        EXPECT_EQ(text(GetDlgItem(box, 0xFFFF)), kPersian);
        const std::vector<HWND> buttons = children(box, L"Button");
        ASSERT_EQ(buttons.size(), 1u);
        EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
        EXPECT_EQ(SendDlgItemMessageW(box, 0x440, STM_GETICON, 0, 0),
                  reinterpret_cast<LRESULT>(LoadIconW(nullptr, IDI_WARNING)));
        win32_test::pressKey(GetFocus(), VK_RETURN);
    });
    SystemDialogs().message(nullptr, MessageIcon::kWarning, kPersian, "");
    EXPECT_TRUE(script.done());
    EXPECT_FALSE(openDialog());
}

TEST(Win32Dialogs, DetailsWaitBehindTheirButtonAndEnterStillCloses) {
    HWND box = nullptr;
    HWND detail = nullptr;
    HWND toggle = nullptr;
    Script script;
    script.waitFor([&] { return (box = openDialog()) != nullptr; })
        .then([&] {
            EXPECT_EQ(text(box), "");
            EXPECT_TRUE(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
            for (HWND child : children(box, L"Static")) {
                if (text(child) == "Table_User: 2\n  row 1")
                    detail = child;
            }
            ASSERT_TRUE(detail);
            EXPECT_FALSE(IsWindowVisible(detail)) << "details show on demand";
            for (HWND button : children(box, L"Button")) {
                if (GetDlgCtrlID(button) != IDOK)
                    toggle = button;
            }
            EXPECT_EQ(text(toggle), texts::kShowDetails);
            ASSERT_TRUE(win32_test::click(toggle));
            EXPECT_TRUE(IsWindowVisible(detail));
        })
        .then([&] {
            EXPECT_EQ(GetFocus(), GetDlgItem(box, IDOK)) << "Enter closes, not folds";
            win32_test::pressKey(GetFocus(), VK_RETURN);
        });
    SystemDialogs().message(nullptr, MessageIcon::kWarning, kPersian, "Table_User: 2\n  row 1");
    EXPECT_TRUE(script.done());
    EXPECT_FALSE(openDialog());
}

TEST(Win32Dialogs, FileDialogsTakeTheFilterAndTheSharedStartRule) {
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

TEST(Win32Dialogs, TheFileDialogOpensAsAskedAndGivesTheChosenPath) {
    testing_support::TempDir dir;
    // As a user types it: backslashes, a Persian name with a blank and ';'.
    const std::string folder = jet::win::narrow(
        std::filesystem::path(jet::win::widen(dir.path())).make_preferred().wstring());
    const std::string chosen = folder + "\\\u062F\u0641\u062A\u0631; 1.dbb";
    std::ofstream(std::filesystem::path(jet::win::widen(chosen))) << "x";
    PathRequest request;
    request.title = "Import";
    request.initialPath = "VKDB.dbb";
    request.folder = dir.path();
    request.filterName = "Velkor Backup(*.mdb,*.dbb)";
    request.patterns = {"*.mdb", "*.dbb"};

    HWND dialog = nullptr;
    Script script;
    script.waitFor([&] { return (dialog = openDialog()) != nullptr; }).then([&] {
        EXPECT_EQ(text(dialog), "Import");
        EXPECT_EQ(text(GetDlgItem(dialog, cmb13)), "VKDB.dbb");
        EXPECT_EQ(text(GetDlgItem(dialog, cmb1)), "Velkor Backup(*.mdb,*.dbb)");
        // The name box is an edit inside the combo boxes of cmb13.
        HWND combo = FindWindowExW(GetDlgItem(dialog, cmb13), nullptr, L"ComboBox", nullptr);
        HWND name = FindWindowExW(combo, nullptr, L"Edit", nullptr);
        ASSERT_TRUE(name);
        SetWindowTextW(name, jet::win::widen(chosen).c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(SystemDialogs().openFile(nullptr, request), chosen);
    EXPECT_TRUE(script.done());
}

}  // namespace
}  // namespace vkdc::win32
