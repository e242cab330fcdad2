// Every message box, file dialog and browser launch of the Win32 windows goes through Dialogs,
// so the windows never call a modal system box directly and tests can script the answers.
// Texts and paths are UTF-8.
#pragma once

#include <windows.h>

#include <string>

#include "convert/converter_view.h"

namespace vkdc::win32 {

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A modal box over `owner` with `text` alone, an empty title, one OK button and `icon`;
    // returns when it is closed (OK, Esc or its close button). A non-empty `detail` (technical
    // lines: a path, the system's reason, counts) is shown on demand, so `text` stays alone.
    virtual void message(HWND owner, MessageIcon icon, const std::string& text,
                         const std::string& detail) = 0;
    // Full path of the file chosen, or "" when the user cancelled.
    virtual std::string openFile(HWND owner, const PathRequest& request) = 0;
    // As openFile, for a destination; an existing file is taken without a question.
    virtual std::string saveFile(HWND owner, const PathRequest& request) = 0;
    // Opens `url` in the default browser, maximized; does not wait for it.
    virtual void openUrl(const std::string& url) = 0;
};

// The system's own: MessageBoxW, a task dialog for a message with details, the common file
// dialogs and ShellExecuteW.
class SystemDialogs : public Dialogs {
  public:
    void message(HWND owner, MessageIcon icon, const std::string& text,
                 const std::string& detail) override;
    std::string openFile(HWND owner, const PathRequest& request) override;
    std::string saveFile(HWND owner, const PathRequest& request) override;
    void openUrl(const std::string& url) override;
};

// What a file dialog is opened with, as OPENFILENAMEW wants it: the filter ("name\0patterns\0"
// pairs, "*.mdb;*.dbb"), and the folder it starts in and the name in its file box, by the rule
// every face follows (dialogStart).
struct FileDialogSetup {
    std::wstring filter;
    std::wstring folder;
    std::wstring name;
};
FileDialogSetup fileDialogSetup(const PathRequest& request);

}  // namespace vkdc::win32
