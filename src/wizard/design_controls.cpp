#include "wizard/design_controls.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QStylePainter>

namespace vkdc::ui {

FrameBox::FrameBox(const QString& name, const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {
    setObjectName(name);
}

void FrameBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    // Styles differ in where they take the title colour from: give it to both.
    const QColor highlight = palette().color(QPalette::Highlight);
    option.textColor = highlight;
    option.palette.setColor(QPalette::WindowText, highlight);
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
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
