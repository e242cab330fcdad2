#include "wizard/key_preview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace vkdc {

KeyPreview::KeyPreview(QWidget* window) : QObject(window), window_(window) {
    qApp->installEventFilter(this);
}

void KeyPreview::onKey(int key, std::function<void()> handler) {
    handlers_.emplace_back(key, std::move(handler));
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget*>(watched)->window() != window_ || !window_->isVisible())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    for (const auto& [code, handler] : handlers_) {
        if (key->key() == code) {
            handler();
            return true;
        }
    }
    return false;
}

}  // namespace vkdc
