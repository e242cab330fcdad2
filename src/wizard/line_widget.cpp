#include "wizard/line_widget.h"

#include <QPainter>

#include <algorithm>

#include "wizard/ui_look.h"

namespace vkdc::ui {

LineWidget::LineWidget(const QString& name, QPoint from, QPoint to, int width, const QColor& colour,
                       QWidget* parent)
    : QWidget(parent),
      from_(px(from.x()), px(from.y())),
      to_(px(to.x()), px(to.y())),
      width_(std::max(width, 1)),
      colour_(colour) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    const int before = (width_ - 1) / 2;  // pixels of the thickness above/left of the line
    const QRect box = QRect(from_, to_).normalized();
    if (from_.y() == to_.y())
        setGeometry(box.left(), box.top() - before, box.width(), width_);
    else
        setGeometry(box.left() - before, box.top(), width_, box.height() + width_ - 1 - before);
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
}

}  // namespace vkdc::ui
