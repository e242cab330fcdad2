#include "app/guide_window.h"

#include "convert/window_design.h"
#include "wizard/design_build.h"
#include "wizard/ui_look.h"
#include "wizard/x11_window.h"

namespace vkdc {
namespace {

// The guide is all English. Latin letters fall through the Persian face to DejaVu Sans,
// which is much wider than Tahoma; its condensed cut keeps the design boxes unclipped.
QFont guideFont(FontRole role) {
    QFont font = ui::designFont(role);
    font.setFamilies({QString::fromLatin1(kFontFace), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    return font;
}

}  // namespace

GuideWindow::GuideWindow(QWidget* owner) : QDialog(owner) {
    const WindowDesign& design = guideDesign();
    ui::applyWindowDesign(this, design);
    setFont(guideFont(FontRole::kWindow));
    setFixedSize(ui::px(design.clientWidth), ui::px(design.clientHeight));
    ui::buildControls(design, this, &guideFont);
}

// A tool window, which X11 would make a "utility": a dialog of its owner instead, for the
// window manager not to minimize it on its own, and out of the task bar as designed.
void GuideWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui::markAsDialogOnX11(this, true);
}

void showGuide(QWidget* owner) {
    auto* guide =
        owner ? owner->findChild<GuideWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!guide)
        guide = new GuideWindow(owner);
    ui::centreOnScreen(guide);
    guide->exec();
}

}  // namespace vkdc
