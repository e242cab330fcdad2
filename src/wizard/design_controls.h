// Controls of the designs that draw a little differently from their Qt counterparts.
#pragma once

#include <QGroupBox>
#include <QLabel>

namespace vkdc::ui {

// A frame (group box) drawn the classic way: an etched border around the whole frame, with
// the caption on the top line, in its caption colour, near the leading edge (the right one in
// a right-to-left frame). The blanks at the ends of a caption keep the line
// clear of its letters. Fusion instead draws the caption above a border that starts below
// it, which makes a frame look a caption's height shorter than designed.
class FrameBox : public QGroupBox {
    Q_OBJECT
  public:
    FrameBox(const QString& name, const QString& caption, QWidget* parent);

    // The colour of the caption alone (the frame's children keep theirs); the text colour of
    // the palette when invalid, as by default.
    void setCaptionColour(const QColor& colour) { caption_colour_ = colour; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // Height of the top border line, from the frame's top edge: the middle of the caption.
    int borderTop() const;

    QColor caption_colour_;
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
