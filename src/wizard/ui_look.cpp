#include "wizard/ui_look.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <algorithm>

#include "wizard/click_guard.h"
#include "wizard/enter_key.h"
#include "wizard/install_paths.h"
#include "wizard/program_style.h"
#include "wizard/qt_texts.h"

namespace vkdc::ui {

QFont designFont(FontRole role) {
    const FontDesign design = fontOf(role);
    QFont font;
    font.setFamilies({QString::fromLatin1(kFontFace), QStringLiteral("Noto Sans Arabic UI"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(design.points);
    font.setBold(design.bold);
    if (design.underline)
        font.setUnderline(true);
    return font;
}

QColor designColour(Colour colour, const QPalette& palette) {
    if (colour == kSystemHighlight)
        return palette.color(QPalette::Highlight);
    if (colour == kSystemWindow)
        return palette.color(QPalette::Base);
    if (colour == kDefaultColour || isSystemColour(colour))
        return QColor();
    return QColor::fromRgb(red(colour), green(colour), blue(colour));
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = nullptr;
    if (QWidget* owner = window->parentWidget())
        screen = owner->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void widenToText(QLabel* label, int limit) {
    const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text()) + 2;
    if (needed <= label->width())
        return;
    if (limit <= 0 && label->parentWidget())
        limit = label->parentWidget()->width();
    int width = needed;
    if (limit > 0)
        width = std::min(width, limit - label->x());
    label->resize(std::max(width, label->width()), label->height());
}

QPixmap installedPicture(const QString& file_name) {
    return QPixmap(dataFile(file_name));
}

QIcon programIcon(const QList<int>& sizes) {
    QIcon icon;
    for (int size : sizes) {
        const QPixmap picture = installedPicture(QStringLiteral("vkdc-%1.png").arg(size));
        if (!picture.isNull())
            icon.addPixmap(picture);
    }
    return icon;
}

void applyProgramLook(QApplication& app) {
    app.setStyle(new ProgramStyle);
    app.setFont(designFont());
    app.setLayoutDirection(Qt::LeftToRight);
    app.installEventFilter(new ClickGuard(&app));
    app.installEventFilter(new EnterKey(&app));
    app.installTranslator(new QtTexts(&app));
}

}  // namespace vkdc::ui
