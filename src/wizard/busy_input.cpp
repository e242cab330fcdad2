#include "wizard/busy_input.h"

#include <QApplication>
#include <QInputEvent>
#include <QKeyEvent>
#include <QWidget>

namespace vkdc::ui {

BusyInput::BusyInput(QWidget* window, std::function<bool()> busy)
    : QObject(window), window_(window), busy_(std::move(busy)) {
    qApp->installEventFilter(this);
}

// Input reaches a window's QWindow first, which hands it on to the widget: it is judged there.
bool BusyInput::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || !busy_())
        return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::Close)
        return false;  // only a window's own close request; QDialog turns it into done()
    if (type == QEvent::KeyPress && static_cast<QWidget*>(watched)->window() == window_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier)
            return false;
    }
    return dynamic_cast<QInputEvent*>(event) != nullptr || type == QEvent::Shortcut ||
           type == QEvent::InputMethod;
}

}  // namespace vkdc::ui
