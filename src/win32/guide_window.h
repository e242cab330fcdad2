// The guide as a native Win32 window: an English help page of three steps with green, bold,
// underlined headings and connector lines, made from its design. It is a tool window, shown
// modally over the window that opens it; Esc or its close button closes it.
#pragma once

#include <windows.h>

#include "win32/design_window.h"

namespace vkdc::win32 {

class GuideWindow : public DesignWindow {
  public:
    // Made hidden, owned by `owner`.
    explicit GuideWindow(HWND owner);

    // Shows the guide over its owner, centred, until it is closed.
    void run();

    bool previewKey(const MSG& msg) override;
};

}  // namespace vkdc::win32
