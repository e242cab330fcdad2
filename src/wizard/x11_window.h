// What X11 and its window manager are told about the program's windows, where Qt does not
// tell it as the designs need.
#pragma once

class QWidget;

namespace vkdc::ui {

// On X11, Qt puts the application name in the title bar of a window whose title is empty. For
// such a window (the message boxes, whose design title is empty) this empties the window's
// WM_NAME and _NET_WM_NAME again, so the title bar shows nothing. Call it once the native
// window exists and before it is mapped (from showEvent). Does nothing on other platforms or
// when the window has a title.
void keepTitleEmptyOnX11(QWidget* window);

// Marks `window`, a modal window of the program (a converter window, the guide, a message
// box), as a dialog for the window manager: _NET_WM_WINDOW_TYPE_DIALOG (Qt makes the guide, a
// tool window, a "utility"), transient for its owner (Qt sets WM_TRANSIENT_FOR when it maps a
// dialog), and with `skip_task_bar` left out of task bars. A window manager then treats it as
// part of its owner: it is not minimized on its own (openbox, which offers every dialog a
// minimize button, minimizes the owner with it, and restoring the owner brings both back).
// Call it from showEvent, before the window is mapped. Does nothing on other platforms.
void markAsDialogOnX11(QWidget* window, bool skip_task_bar = false);

}  // namespace vkdc::ui
