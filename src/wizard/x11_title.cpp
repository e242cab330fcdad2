#include "wizard/x11_title.h"

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

}  // namespace

void keepTitleEmptyOnX11(QWidget* window) {
    if (!window || !window->windowTitle().isEmpty())
        return;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
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
