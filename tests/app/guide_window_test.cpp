// The guide window: its fixed page, and how a converter window shows it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/guide_window.h"
#include "wizard/converter_window.h"
#include "wizard/line_widget.h"
#include "wizard/ui_test_support.h"

namespace {

using vkdc::GuideWindow;

TEST(GuideWindowTest, ThePageIsAsDesigned) {
    QWidget owner;
    GuideWindow guide(&owner);
    guide.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&guide));
    EXPECT_EQ(guide.objectName(), QStringLiteral("Guide"));
    EXPECT_EQ(guide.windowTitle(), QStringLiteral("Guide"));
    EXPECT_EQ(guide.size(), QSize(329, 257));
    EXPECT_EQ(guide.minimumSize(), guide.maximumSize());
    EXPECT_EQ(guide.windowFlags() & Qt::WindowType_Mask, Qt::Tool) << "no task-bar entry";
    EXPECT_FALSE(guide.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(guide.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(guide.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(guide.isModal());

    struct Label {
        const char* name;
        QRect design;
        QString caption;
        bool heading;
    };
    const Label labels[] = {
        {"Label1", {16, 16, 137, 17}, "Step 1  (Open Backup)", true},
        {"Label6", {16, 104, 169, 17}, "Step 2  (Convert Database)", true},
        {"Label8", {16, 168, 137, 17}, "Step 3  (Save Backup)", true},
        {"Label2",
         {64, 48, 257, 17},
         "Click \"Browse...\" and insert address of backup file",
         false},
        {"Label3", {64, 72, 137, 17}, "Click \"Analysis Database\"", false},
        {"Label5", {64, 136, 161, 17}, "Click \"Start Convert Database\"", false},
        {"Label7",
         {64, 200, 257, 17},
         "Click \"Browse...\" and insert address for backup file",
         false},
        {"Label4", {64, 224, 137, 17}, "Click \"Save Database\"", false},
    };
    for (const Label& l : labels) {
        auto* label = guide.findChild<QLabel*>(QLatin1String(l.name));
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->text(), l.caption) << l.name;
        EXPECT_EQ(label->pos(), l.design.topLeft()) << l.name;
        EXPECT_EQ(label->height(), l.design.height()) << l.name;
        // Wider only where our fonts need it, and never past the window.
        EXPECT_GE(label->width(), l.design.width()) << l.name;
        EXPECT_LE(label->geometry().right(), guide.width()) << l.name;
        EXPECT_EQ(label->font().bold(), l.heading) << l.name;
        EXPECT_EQ(label->font().underline(), l.heading) << l.name;
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 8.25) << l.name;
        if (l.heading) {
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0x80, 0)) << l.name;
        }
    }

    struct Line {
        const char* name;
        QPoint from;
        QPoint to;
    };
    const Line lines[] = {
        {"Line1", {32, 32}, {32, 80}},   {"Line3", {32, 56}, {64, 56}},
        {"Line2", {32, 80}, {64, 80}},   {"Line6", {32, 120}, {32, 144}},
        {"Line4", {32, 144}, {64, 144}}, {"Line8", {32, 184}, {32, 232}},
        {"Line5", {32, 208}, {64, 208}}, {"Line7", {32, 232}, {64, 232}},
    };
    for (const Line& l : lines) {
        auto* line = guide.findChild<vkdc::ui::LineWidget*>(QLatin1String(l.name));
        ASSERT_NE(line, nullptr) << l.name;
        EXPECT_EQ(line->from(), l.from) << l.name;
        EXPECT_EQ(line->to(), l.to) << l.name;
        EXPECT_EQ(line->lineWidth(), 3) << l.name;
        EXPECT_TRUE(line->geometry().contains(l.from)) << l.name;
        EXPECT_TRUE(line->geometry().contains(l.to)) << l.name;
    }
}

// F1 in a converter window shows the guide modally, owned by that window, and keeps the
// guide object for the next time.
TEST(GuideWindowTest, F1InAConverterWindowShowsTheGuideOverIt) {
    ui_test::ScriptedDialogs dialogs;
    for (vkdc::PairId id : {vkdc::PairId::k10to20, vkdc::PairId::k20to30}) {
        vkdc::ConverterWindow converter(id, dialogs);
        converter.setGuideOpener(&vkdc::showGuide);
        ASSERT_TRUE(ui_test::showActive(&converter));
        QWidget* firstGuide = nullptr;
        for (int showing = 0; showing < 2; ++showing) {
            QWidget* parent = nullptr;
            bool modal = false;
            QWidget* seen = nullptr;
            QStringList types;
            QStringList states;
            WId transient_for = 0;
            ui_test::ModalWatcher watcher([&](QWidget* w) {
                auto* guide = qobject_cast<GuideWindow*>(w);
                if (!guide)
                    return false;
                seen = guide;
                parent = guide->parentWidget();
                modal = guide->isModal();
                if (ui_test::onX11()) {
                    types = ui_test::x11AtomNames(guide, "_NET_WM_WINDOW_TYPE");
                    states = ui_test::x11AtomNames(guide, "_NET_WM_STATE");
                    transient_for = ui_test::x11TransientFor(guide);
                }
                guide->close();
                return true;
            });
            QTest::keyClick(converter.findChild<QLineEdit*>(QStringLiteral("Text1")), Qt::Key_F1);
            EXPECT_FALSE(watcher.forced());
            EXPECT_EQ(parent, &converter);
            EXPECT_TRUE(modal);
            if (ui_test::onX11()) {
                // A dialog of the converter for the window manager (Qt would make the tool
                // window a "utility"), out of the task bar.
                EXPECT_EQ(types.value(0), QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"));
                EXPECT_EQ(transient_for, converter.winId());
                EXPECT_TRUE(states.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")));
            }
            if (showing == 0)
                firstGuide = seen;
            EXPECT_EQ(seen, firstGuide) << "created once, then shown again";
            EXPECT_TRUE(converter.isVisible()) << "closing the guide returns to the window";
        }
    }
}

}  // namespace
