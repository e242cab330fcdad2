// A straight horizontal or vertical line of the design, drawn by a small widget of its own so
// that it can be found by name and sits where the design puts it.
#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>

namespace vkdc::ui {

class LineWidget : public QWidget {
    Q_OBJECT
  public:
    // `from` and `to` are in twips, relative to `parent`; the line is `width` pixels thick,
    // centred on the design line.
    LineWidget(const QString& name, QPoint from, QPoint to, int width, const QColor& colour,
               QWidget* parent);

    QPoint from() const { return from_; }  // pixels
    QPoint to() const { return to_; }
    int lineWidth() const { return width_; }
    QColor colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPoint from_;
    QPoint to_;
    int width_;
    QColor colour_;
};

}  // namespace vkdc::ui
