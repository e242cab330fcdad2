// The program's widget style: Fusion, the same on every desktop, with the few changes the
// designs need wherever the platform's theme would differ.
#pragma once

#include <QProxyStyle>

namespace vkdc::ui {

// Fusion with these changes:
// - dialog buttons never carry icons (X11 themes put an "apply" icon on OK; the designs'
//   buttons are plain text);
// - a progress bar's text is drawn in the text colour over the empty part of the bar and in
//   the highlighted-text colour over the filled part, whichever end the bar fills from (Fusion
//   swaps the two in right-to-left bars, which leaves white text on the empty part).
class ProgramStyle : public QProxyStyle {
    Q_OBJECT
  public:
    ProgramStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returned = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

}  // namespace vkdc::ui
