#include "win32/guide_window.h"

namespace vkdc::win32 {

GuideWindow::GuideWindow(HWND owner) {
    build(guideDesign(), owner);
}

void GuideWindow::run() {
    centre();
    runModal();
}

bool GuideWindow::previewKey(const MSG& msg) {
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE) {
        endModal();
        return true;
    }
    return DesignWindow::previewKey(msg);
}

}  // namespace vkdc::win32
