// Enter on a focused button presses it, as Windows users expect.
#pragma once

#include <QObject>

namespace vkdc::ui {

// Installed on the application. Enter or the keypad's Enter on a focused push button clicks
// it. No button becomes a default button for this, so Enter in a text box still reaches no
// button. Buttons that Qt already answers Enter on (a default or auto-default button, as in
// message boxes and file dialogs) are left to Qt; a held key's repeats click nothing.
class EnterKey : public QObject {
    Q_OBJECT
  public:
    explicit EnterKey(QObject* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace vkdc::ui
