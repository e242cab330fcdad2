#include "wizard/design_build.h"

#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "wizard/design_controls.h"
#include "wizard/line_widget.h"
#include "wizard/ui_look.h"

namespace vkdc::ui {
namespace {

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// Left and right are the design's, whatever the label's layout direction.
Qt::Alignment labelAlignment(const ControlDesign& design) {
    Qt::Alignment vertical = design.middle ? Qt::AlignVCenter : Qt::AlignTop;
    switch (design.align) {
        case Align::kLeft:
            break;
        case Align::kRight:
            return Qt::AlignRight | Qt::AlignAbsolute | vertical;
        case Align::kCentre:
            return Qt::AlignHCenter | vertical;
    }
    return Qt::AlignLeft | Qt::AlignAbsolute | vertical;
}

QWidget* makeWidget(const ControlDesign& design, QWidget* parent) {
    const QString caption = qs(design.caption);
    switch (design.kind) {
        case ControlKind::kButton: {
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);  // Enter has no window-wide meaning
            button->setDefault(false);
            return button;
        }
        case ControlKind::kTextBox: {
            auto* box = new QLineEdit(parent);
            if (!design.dataSource.empty()) {
                box->setProperty("DataSource", qs(design.dataSource));
                box->setProperty("DataField", qs(design.dataField));
            }
            return box;
        }
        case ControlKind::kLabel: {
            auto* label = new CaptionLabel(qs(design.name), caption, parent);
            label->setAlignment(labelAlignment(design));
            return label;
        }
        case ControlKind::kFrame: {
            auto* frame = new FrameBox(qs(design.name), caption, parent);
            if (design.colour != kDefaultColour)
                frame->setCaptionColour(designColour(design.colour, frame->palette()));
            return frame;
        }
        case ControlKind::kPicture: {
            auto* picture = new QLabel(parent);
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop | Qt::AlignAbsolute);
            picture->setPixmap(installedPicture(qs(design.picture)));
            return picture;
        }
        case ControlKind::kProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(true);
            return bar;
        }
        case ControlKind::kDataControl:
            break;
    }
    return nullptr;
}

}  // namespace

Qt::WindowFlags windowFlagsOf(WindowKind kind) {
    const Qt::WindowFlags fixed =
        Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    switch (kind) {
        case WindowKind::kMain:
            return Qt::Window | fixed | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint;
        case WindowKind::kDialog:
            break;
        case WindowKind::kToolDialog:
            // A small title bar, and no task-bar entry.
            return Qt::Tool | fixed;
    }
    return Qt::Dialog | fixed;
}

void applyWindowDesign(QWidget* window, const WindowDesign& design) {
    window->setObjectName(qs(design.name));
    window->setWindowTitle(qs(design.caption));
    window->setWindowFlags(windowFlagsOf(design.kind));
    if (design.kind != WindowKind::kMain)
        window->setWindowModality(Qt::ApplicationModal);
    window->setFont(designFont());
    window->setWindowIcon(
        programIcon(QList<int>(design.iconSizes.begin(), design.iconSizes.end())));
}

void buildControls(const WindowDesign& design, QWidget* client, const FontOf& fonts) {
    QMap<QString, QWidget*> made;
    for (const ControlDesign& c : design.controls) {
        QWidget* parent = c.container.empty() ? client : made.value(qs(c.container), client);
        QWidget* widget = makeWidget(c, parent);
        if (!widget)
            continue;
        made.insert(qs(c.name), widget);
        widget->setObjectName(qs(c.name));
        widget->setGeometry(twipsRect(c.rect));
        widget->setFont(fonts ? fonts(c.font) : designFont(c.font));
        widget->setLayoutDirection(c.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        if (c.kind == ControlKind::kLabel && c.colour != kDefaultColour) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::WindowText, designColour(c.colour, palette));
            widget->setPalette(palette);
        }
        if (c.kind == ControlKind::kLabel && c.align == Align::kLeft)
            widenToText(static_cast<QLabel*>(widget));
        if (c.tabIndex < 0)
            widget->setFocusPolicy(Qt::NoFocus);
        widget->setEnabled(c.enabled);
        if (!c.visible)
            widget->hide();
    }
    for (const LineDesign& line : design.lines) {
        new LineWidget(qs(line.name), QPoint(line.from.x, line.from.y),
                       QPoint(line.to.x, line.to.y), line.width,
                       designColour(line.colour, client->palette()), client);
    }
    QWidget* previous = nullptr;
    for (const ControlDesign* c : tabOrder(design)) {
        QWidget* widget = made.value(qs(c->name));
        if (previous && widget)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

}  // namespace vkdc::ui
