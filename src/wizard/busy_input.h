// What input a window takes while its work runs inside one of its own handlers.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace vkdc::ui {

// Installed on the application for the life of `window`. While `busy()` holds, the events the
// work lets through (ConverterView::paintNow) carry no input to any window of the program but
// two: Esc pressed in `window` and a request to close `window` (its close button) go on to it.
// Every other key, click, wheel turn or shortcut is dropped, not kept for later: a click on a
// button while a conversion runs must not start a second one inside the first, nor run after
// it ends.
class BusyInput : public QObject {
    Q_OBJECT
  public:
    BusyInput(QWidget* window, std::function<bool()> busy);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    std::function<bool()> busy_;
};

}  // namespace vkdc::ui
