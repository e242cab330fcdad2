#include "wizard/click_guard.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QWidget>

namespace vkdc::ui {
namespace {

bool isShownWindow(QObject* watched) {
    if (!watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow())
        return false;
    // Menus and tool tips come and go under the pointer by design.
    const Qt::WindowType type = widget->windowType();
    return type != Qt::Popup && type != Qt::ToolTip;
}

}  // namespace

ClickGuard::ClickGuard(QObject* parent) : QObject(parent) {}

bool ClickGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
            if (released_ && isShownWindow(watched))
                guarded_ = static_cast<QWidget*>(watched);
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            break;
        default:
            return false;
    }
    if (!watched->isWidgetType())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QWidget* window = static_cast<QWidget*>(watched)->window();
    const bool in_guarded = guarded_ && window == guarded_;

    if (dropping_) {
        if (event->type() == QEvent::MouseButtonRelease && mouse->buttons() == Qt::NoButton)
            dropping_ = false;
        if (in_guarded)
            return true;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const quint64 at = mouse->timestamp();
            const auto interval =
                static_cast<quint64>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
            if (in_guarded && at >= released_at_ && at - released_at_ < interval) {
                dropping_ = true;
                return true;
            }
            guarded_ = nullptr;
            return false;
        }
        case QEvent::MouseButtonRelease:
            released_ = true;
            released_at_ = mouse->timestamp();
            return false;
        default:
            return false;
    }
}

}  // namespace vkdc::ui
