#include "win32/dialogs.h"

#include <cderr.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "convert/converter_texts.h"
#include "convert/dialog_start.h"
#include "jet/win32.h"
#include "win32/text.h"

namespace vkdc::win32 {
namespace {

using jet::win::narrow;
using jet::win::widen;

using TaskDialogFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Task dialogs come with common controls 6 (the manifest asks for them); looked up, so that
// without them a message still shows, with its details below the text.
TaskDialogFn taskDialog() {
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    return comctl ? reinterpret_cast<TaskDialogFn>(
                        reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")))
                  : nullptr;
}

std::string runFileDialog(HWND owner, const PathRequest& request, bool save) {
    const FileDialogSetup setup = fileDialogSetup(request);
    const std::wstring title = widen(request.title);
    // Room for a long path: the program is long-path aware.
    std::vector<wchar_t> file(32768, L'\0');
    const auto attempt = [&](bool with_name) {
        std::fill(file.begin(), file.end(), L'\0');
        if (with_name)
            setup.name.copy(file.data(), std::min(setup.name.size(), file.size() - 1));
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = setup.filter.c_str();
        dialog.nFilterIndex = 1;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = static_cast<DWORD>(file.size());
        dialog.lpstrInitialDir = setup.folder.empty() ? nullptr : setup.folder.c_str();
        dialog.lpstrTitle = title.c_str();
        // No default extension and no question over an existing file: the name is taken as
        // given. The working folder stays where it was.
        dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                       (save ? 0 : OFN_FILEMUSTEXIST);
        return save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    };
    if (attempt(true))
        return narrow(file.data());
    // A preset name the system will not take (a former choice since gone bad) must not keep
    // the dialog from opening.
    if (CommDlgExtendedError() == FNERR_INVALIDFILENAME && attempt(false))
        return narrow(file.data());
    return {};
}

}  // namespace

FileDialogSetup fileDialogSetup(const PathRequest& request) {
    FileDialogSetup setup;
    setup.filter = widen(request.filterName);
    setup.filter.push_back(L'\0');
    for (size_t i = 0; i < request.patterns.size(); ++i) {
        if (i > 0)
            setup.filter.push_back(L';');
        setup.filter += widen(request.patterns[i]);
    }
    setup.filter.push_back(L'\0');
    const DialogStart start = dialogStart(request.initialPath, request.folder, homeFolder());
    setup.folder = widen(start.folder);
    setup.name = widen(start.fileName);
    return setup;
}

void SystemDialogs::message(HWND owner, MessageIcon icon, const std::string& text,
                            const std::string& detail) {
    const std::wstring wide_text = widen(text);
    const bool rtl = readsRightToLeft(wide_text);
    const TaskDialogFn task_dialog = detail.empty() ? nullptr : taskDialog();
    if (task_dialog) {
        const std::wstring wide_detail = widen(detail);
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW |
                         (rtl ? TDF_RTL_LAYOUT : 0);
        config.dwCommonButtons = TDCBF_OK_BUTTON;
        config.pszWindowTitle = L"";
        config.pszMainIcon =
            icon == MessageIcon::kInformation ? TD_INFORMATION_ICON : TD_WARNING_ICON;
        config.pszContent = wide_text.c_str();
        config.pszExpandedInformation = wide_detail.c_str();
        const std::wstring show = widen(texts::kShowDetails);
        const std::wstring hide = widen(texts::kHideDetails);
        config.pszCollapsedControlText = show.c_str();
        config.pszExpandedControlText = hide.c_str();
        // Enter always closes the box: once the details are toggled, the focus goes back to
        // OK, where a click on the toggle had taken it.
        config.pfCallback = [](HWND box, UINT notification, WPARAM, LPARAM, LONG_PTR) -> HRESULT {
            if (notification == TDN_EXPANDO_BUTTON_CLICKED)
                PostMessageW(box, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(box, IDOK)),
                             TRUE);
            return S_OK;
        };
        if (SUCCEEDED(task_dialog(&config, nullptr, nullptr, nullptr)))
            return;
    }
    std::wstring shown = wide_text;
    if (!detail.empty())
        shown += L"\r\n\r\n" + widen(detail);
    UINT type = MB_OK | (icon == MessageIcon::kInformation ? MB_ICONINFORMATION : MB_ICONWARNING);
    if (rtl)
        type |= MB_RTLREADING | MB_RIGHT;
    MessageBoxW(owner, shown.c_str(), L"", type);
}

std::string SystemDialogs::openFile(HWND owner, const PathRequest& request) {
    return runFileDialog(owner, request, false);
}

std::string SystemDialogs::saveFile(HWND owner, const PathRequest& request) {
    return runFileDialog(owner, request, true);
}

void SystemDialogs::openUrl(const std::string& url) {
    // No owner, as the design asks; the result proves nothing (a browser may still fail).
    ShellExecuteW(nullptr, L"open", widen(url).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

}  // namespace vkdc::win32
