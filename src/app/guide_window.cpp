#include "app/guide_window.h"

#include <QLabel>

#include "wizard/line_widget.h"
#include "wizard/ui_look.h"

namespace vkdc {
namespace {

using ui::twipsRect;

// The guide is all English. Latin letters fall through the Persian face to DejaVu Sans,
// which is much wider than Tahoma; its condensed cut keeps the design boxes unclipped.
QFont guideFont(bool heading) {
    QFont font = ui::designFont(ui::kWindowPoints, heading);
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setUnderline(heading);
    return font;
}

void addLabel(QWidget* parent, const char* name, QRect geometry, const QString& caption,
              bool heading) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(guideFont(heading));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop | Qt::AlignAbsolute);
    if (heading) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, ui::fromBgr(0x008000));
        label->setPalette(palette);
    }
    ui::widenToText(label, parent->width());
}

}  // namespace

GuideWindow::GuideWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Guide"));
    setWindowTitle(QStringLiteral("Guide"));
    // A tool window: small title bar with a close button only, not in the task bar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(guideFont(false));
    setWindowIcon(ui::programIcon({189, 48, 32, 24, 16}));
    setFixedSize(ui::px(4935), ui::px(3855));

    addLabel(this, "Label1", twipsRect(240, 240, 2055, 255),
             QStringLiteral("Step 1  (Open Backup)"), true);
    addLabel(this, "Label6", twipsRect(240, 1560, 2535, 255),
             QStringLiteral("Step 2  (Convert Database)"), true);
    addLabel(this, "Label8", twipsRect(240, 2520, 2055, 255),
             QStringLiteral("Step 3  (Save Backup)"), true);
    addLabel(this, "Label2", twipsRect(960, 720, 3855, 255),
             QStringLiteral("Click \"Browse...\" and insert address of backup file"), false);
    addLabel(this, "Label3", twipsRect(960, 1080, 2055, 255),
             QStringLiteral("Click \"Analysis Database\""), false);
    addLabel(this, "Label5", twipsRect(960, 2040, 2415, 255),
             QStringLiteral("Click \"Start Convert Database\""), false);
    addLabel(this, "Label7", twipsRect(960, 3000, 3855, 255),
             QStringLiteral("Click \"Browse...\" and insert address for backup file"), false);
    addLabel(this, "Label4", twipsRect(960, 3360, 2055, 255),
             QStringLiteral("Click \"Save Database\""), false);

    // The connectors, three pixels wide (the thicker of the design's two line settings).
    struct Connector {
        const char* name;
        QPoint from;
        QPoint to;
    };
    const Connector connectors[] = {
        {"Line1", {480, 480}, {480, 1200}},  {"Line3", {480, 840}, {960, 840}},
        {"Line2", {480, 1200}, {960, 1200}}, {"Line6", {480, 1800}, {480, 2160}},
        {"Line4", {480, 2160}, {960, 2160}}, {"Line8", {480, 2760}, {480, 3480}},
        {"Line5", {480, 3120}, {960, 3120}}, {"Line7", {480, 3480}, {960, 3480}},
    };
    for (const Connector& line : connectors) {
        new ui::LineWidget(QLatin1String(line.name), line.from, line.to, 3, Qt::black, this);
    }
}

void showGuide(QWidget* owner) {
    auto* guide =
        owner ? owner->findChild<GuideWindow*>(QStringLiteral("Guide"), Qt::FindDirectChildrenOnly)
              : nullptr;
    if (!guide)
        guide = new GuideWindow(owner);
    ui::centreOnScreen(guide);
    guide->exec();
}

}  // namespace vkdc
