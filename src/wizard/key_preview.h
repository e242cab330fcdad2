// Window-level key handling that sees a key before the focused control does.
#pragma once

#include <QObject>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace vkdc {

// Installed on the application while `window` exists. A key press aimed at any widget of
// `window` whose key has a handler runs that handler and goes no further; every other key
// passes to the focused control unchanged. Keys aimed at another window (a message box or a
// file dialog opened from this one) are left alone, so Esc there closes only that box.
class KeyPreview : public QObject {
    Q_OBJECT
  public:
    explicit KeyPreview(QWidget* window);

    void onKey(int key, std::function<void()> handler);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    std::vector<std::pair<int, std::function<void()>>> handlers_;
};

}  // namespace vkdc
