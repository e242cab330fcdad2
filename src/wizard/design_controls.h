// Controls of the designs that draw a little differently from their Qt counterparts.
#pragma once

#include <QGroupBox>
#include <QLabel>

namespace vkdc::ui {

// A frame (group box) whose caption is drawn in the system Highlight colour.
class FrameBox : public QGroupBox {
    Q_OBJECT
  public:
    FrameBox(const QString& name, const QString& caption, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A label whose text is laid out as a left-to-right paragraph whatever script it starts with.
// The designs' field captions were written for such a layout: in ":فايل" the colon comes
// first so that it shows at the left, beside the path box.
class CaptionLabel : public QLabel {
    Q_OBJECT
  public:
    CaptionLabel(const QString& name, const QString& caption, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vkdc::ui
