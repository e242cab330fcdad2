// Window titles as X11 shows them.
#pragma once

class QWidget;

namespace vkdc::ui {

// On X11, Qt puts the application name in the title bar of a window whose title is empty. For
// such a window (the message boxes, whose design title is empty) this empties the window's
// WM_NAME and _NET_WM_NAME again, so the title bar shows nothing. Call it once the native
// window exists and before it is mapped (from showEvent). Does nothing on other platforms or
// when the window has a title.
void keepTitleEmptyOnX11(QWidget* window);

}  // namespace vkdc::ui
