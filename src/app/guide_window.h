// The guide `Guide`: a static English help page that shows the three steps of a conversion
// as a small tree. It has no input of its own and is shown modally over its owner.
#pragma once

#include <QDialog>

namespace vkdc {

class GuideWindow : public QDialog {
    Q_OBJECT
  public:
    explicit GuideWindow(QWidget* owner);

  protected:
    void showEvent(QShowEvent* event) override;
};

// Shows the guide modally, owned by `owner`; the window object is created on first use and
// kept as a child of its owner.
void showGuide(QWidget* owner);

}  // namespace vkdc
