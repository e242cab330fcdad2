#include "wizard/x11_window.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace vkdc::ui {
namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t found = reply->atom;
    std::free(reply);
    return found;
}

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

}  // namespace

void markAsDialogOnX11(QWidget* window, bool skip_task_bar) {
    xcb_connection_t* connection = window ? x11Connection() : nullptr;
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    // Normal stays as the fallback for window managers that know no dialogs, as Qt has it.
    const xcb_atom_t types[] = {atom(connection, "_NET_WM_WINDOW_TYPE_DIALOG"),
                                atom(connection, "_NET_WM_WINDOW_TYPE_NORMAL")};
    const xcb_atom_t type = atom(connection, "_NET_WM_WINDOW_TYPE");
    if (type != XCB_ATOM_NONE && types[0] != XCB_ATOM_NONE && types[1] != XCB_ATOM_NONE) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, type, XCB_ATOM_ATOM, 32, 2,
                            types);
    }
    // An unmapped window has no state of the window manager's; Qt adds its own (modal) to ours
    // when it maps the window.
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (skip_task_bar && state != XCB_ATOM_NONE && skip != XCB_ATOM_NONE) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, 1,
                            &skip);
    }
    xcb_flush(connection);
}

void keepTitleEmptyOnX11(QWidget* window) {
    if (!window || !window->windowTitle().isEmpty())
        return;
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    const xcb_atom_t net_wm_name = atom(connection, "_NET_WM_NAME");
    if (utf8 == XCB_ATOM_NONE || net_wm_name == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        0, nullptr);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, net_wm_name, utf8, 8, 0, nullptr);
    xcb_flush(connection);
}

}  // namespace vkdc::ui
