#include "wizard/program_style.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionProgressBar>

#include <algorithm>

namespace vkdc::ui {
namespace {

// The part of a horizontal bar's groove that its value fills.
QRect filledPart(const QStyleOptionProgressBar& bar) {
    const QRect groove = bar.rect;
    const qint64 steps = std::max<qint64>(1, qint64(bar.maximum) - bar.minimum);
    const qint64 done = std::clamp<qint64>(qint64(bar.progress) - bar.minimum, 0, steps);
    const int width = static_cast<int>(groove.width() * done / steps);
    const bool from_right = (bar.direction == Qt::RightToLeft) != bar.invertedAppearance;
    QRect filled(groove.left(), groove.top(), width, groove.height());
    if (from_right)
        filled.moveRight(groove.right());
    return filled;
}

}  // namespace

ProgramStyle::ProgramStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int ProgramStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returned) const {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returned);
}

void ProgramStyle::drawControl(ControlElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionProgressBar*>(option);
    if (element != CE_ProgressBarLabel || !bar || !(bar->state & State_Horizontal) ||
        !bar->textVisible || bar->text.isEmpty()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QRect filled = filledPart(*bar);
    const QTextOption centred(Qt::AlignAbsolute | Qt::AlignHCenter | Qt::AlignVCenter);
    painter->save();
    painter->setClipRegion(QRegion(bar->rect).subtracted(filled));
    painter->setPen(bar->palette.color(QPalette::Text));
    painter->drawText(QRectF(bar->rect), bar->text, centred);
    if (!filled.isEmpty()) {
        painter->setClipRect(filled);
        painter->setPen(bar->palette.color(QPalette::HighlightedText));
        painter->drawText(QRectF(bar->rect), bar->text, centred);
    }
    painter->restore();
}

}  // namespace vkdc::ui
