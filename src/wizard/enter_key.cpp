#include "wizard/enter_key.h"

#include <QKeyEvent>
#include <QPushButton>

namespace vkdc::ui {

EnterKey::EnterKey(QObject* parent) : QObject(parent) {}

bool EnterKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* button = qobject_cast<QPushButton*>(watched);
    if (!button || button->autoDefault() || button->isDefault())
        return false;
    if (!key->isAutoRepeat() && button->isEnabled() && button->isVisible())
        button->click();
    return true;
}

}  // namespace vkdc::ui
