// vkdc.exe: the Windows program. Starts in the launcher; closing it, or a save in a converter
// window, ends the program.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "jet/win32.h"
#include "win32/dialogs.h"
#include "win32/launcher_window.h"
#include "win32/message_loop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The common controls first, as the design starts; its result is not examined.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // The file dialogs and the browser launch use the shell, which wants COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    vkdc::win32::SystemDialogs dialogs;
    int status = 1;
    {
        vkdc::win32::LauncherWindow launcher(dialogs);
        if (launcher.hwnd()) {
            launcher.show();
            status = vkdc::win32::runMessageLoop();
        } else {
            // Nothing else can tell the user; the system's own words say why.
            const std::wstring why =
                jet::win::widen(jet::win::errorText(static_cast<uint32_t>(GetLastError())));
            MessageBoxW(nullptr, why.c_str(), L"", MB_OK | MB_ICONERROR);
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return status;
}
