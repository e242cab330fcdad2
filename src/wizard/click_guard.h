// Keeps a click that began in one window out of a window shown in the meantime.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace vkdc::ui {

// Installed on the application. A double click on a launcher button opens the converter
// window with the first click; the window appears under the pointer, and the second click
// would land on whatever button lies there. Likewise a double click on ConvertDB would close
// the message that the first click brought up before it could be read.
//
// So a window shown after a mouse button was released does not take a press that follows
// that release within the double-click interval (by the events' own timestamps): the press,
// the double click Qt makes of it, its drags and its release are dropped. The first press
// past the interval, or in another window, ends the guard. Keys are never affected.
class ClickGuard : public QObject {
    Q_OBJECT
  public:
    explicit ClickGuard(QObject* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> guarded_;  // the window shown since the last release
    quint64 released_at_ = 0;    // timestamp of the last release taken
    bool released_ = false;
    bool dropping_ = false;  // inside a gesture being dropped
};

}  // namespace vkdc::ui
