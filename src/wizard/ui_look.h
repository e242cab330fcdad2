// The look shared by every window: design units, fonts, colours and installed pictures.
//
// The windows are laid out in twips (convert/window_design.h), 15 to a pixel at 96 dpi. Qt
// widget geometry is in device-independent pixels, so the design numbers convert once here at
// 96 dpi and Qt scales them on high-DPI screens together with the fonts.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QRect>

#include "convert/window_design.h"

class QApplication;
class QLabel;
class QWidget;

namespace vkdc::ui {

// Twips to device-independent pixels, rounded to the nearest pixel.
constexpr int px(int twips) {
    return twipsToPixels(twips);
}

inline QRect twipsRect(const Rect& rect) {
    return QRect(px(rect.left), px(rect.top), px(rect.width), px(rect.height));
}

// The program's typeface at a design font role: Tahoma where it exists, otherwise the Noto UI
// face for the Persian texts, with DejaVu Sans (always present on Debian) for whatever the
// others lack.
QFont designFont(FontRole role = FontRole::kWindow);

// A colour of the design: a designed &H00BBGGRR& value, or a system colour as the palette has
// it (Highlight; Window, which is Qt's Base). An invalid colour for kDefaultColour and for
// system colours the designs do not use.
QColor designColour(Colour colour, const QPalette& palette);

// Centres a top-level window on its owner's screen (the primary screen without an owner).
void centreOnScreen(QWidget* window);

// Widens `label` to the width its text needs when our fonts (wider than Tahoma) would clip
// it; the design position, height and any larger design width are kept. `limit` is the
// right edge the label must not pass (its parent's width when 0).
void widenToText(QLabel* label, int limit = 0);

// A picture installed with the program; a null pixmap when it is missing.
QPixmap installedPicture(const QString& file_name);

// The program icon in the given pixel sizes, from the installed "vkdc-16.png" and the like;
// sizes that are not found are left out.
QIcon programIcon(const QList<int>& sizes);

// The application-wide settings every window relies on: the program's style (Fusion, the same
// on every desktop, see ProgramStyle), the program font, left-to-right layout, the input
// rules of ClickGuard and EnterKey, and Qt's own texts in the program's language (QtTexts). The
// designs place their controls at fixed positions laid out left to right. Persian text still reads
// right to left: labels take each text's direction from its first letter, and the frames and the
// Persian message boxes switch to right-to-left themselves. Call it once, before the first window
// is made.
void applyProgramLook(QApplication& app);

}  // namespace vkdc::ui
