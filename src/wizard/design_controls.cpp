#include "wizard/design_controls.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace vkdc::ui {

FrameBox::FrameBox(const QString& name, const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {
    setObjectName(name);
}

int FrameBox::borderTop() const {
    return QFontMetrics(font()).height() / 2;
}

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int top = borderTop();
    const QRect border(0, top, width() - 1, height() - top - 1);
    // Etched: a shadow line with a light line one pixel inside it and to the lower right.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(border.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.adjusted(1, 1, 0, 0));

    const QString caption = title();
    if (caption.isEmpty())
        return;
    const QFontMetrics metrics(font());
    const int inset = 8;
    const int text_width = std::min(metrics.horizontalAdvance(caption), width() - 2 * inset);
    QRect text(inset, 0, text_width, metrics.height());
    if (layoutDirection() == Qt::RightToLeft)
        text.moveRight(width() - 1 - inset);
    // The caption interrupts the line: clear it behind the text, then write on it.
    painter.fillRect(text, palette().color(backgroundRole()));
    painter.setPen(caption_colour_.isValid() ? caption_colour_
                                             : palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

CaptionLabel::CaptionLabel(const QString& name, const QString& caption, QWidget* parent)
    : QLabel(caption, parent) {
    setObjectName(name);
}

void CaptionLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextForceLeftToRight,
                          palette(), isEnabled(), text(), foregroundRole());
}

}  // namespace vkdc::ui
