// The launcher `Main`: its layout, the two converter buttons and About.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "app/main_window.h"
#include "convert/converter_texts.h"
#include "convert/program_texts.h"
#include "support/files.h"
#include "wizard/converter_window.h"
#include "wizard/line_widget.h"
#include "wizard/ui_test_support.h"

namespace {

using ui_test::ModalWatcher;
using ui_test::ScriptedDialogs;
using vkdc::ConverterWindow;
using vkdc::MainWindow;
using vkdc::PairId;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(dialogs_);
        window_->setEndProgram([this] { ++ended_; });
        ASSERT_TRUE(ui_test::showActive(window_.get()));
    }

    QPushButton* button(const char* name) {
        auto* found = window_->findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
    int ended_ = 0;
};

TEST_F(MainWindowTest, LayoutFollowsTheDesign) {
    EXPECT_EQ(window_->objectName(), QStringLiteral("Main"));
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Velkor Database Convert"));
    EXPECT_EQ(window_->centralWidget()->size(), QSize(425, 357));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize()) << "fixed size";
    EXPECT_EQ(window_->height(), 357 + window_->menuBar()->height());
    EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window_->centralWidget()->palette().color(QPalette::Window),
              window_->palette().color(QPalette::Base))
        << "the Window system colour (a text background), not the button face";

    QPushButton* one = button("Command1");
    QPushButton* two = button("Command2");
    EXPECT_EQ(one->geometry(), QRect(80, 128, 265, 81));
    EXPECT_EQ(two->geometry(), QRect(80, 232, 265, 81));
    EXPECT_EQ(one->text(), QStringLiteral("تبديل بانک نسخه 1 به نسخه 2"));
    EXPECT_EQ(two->text(), QStringLiteral("تبديل بانک نسخه 2 به نسخه 3"));
    EXPECT_DOUBLE_EQ(one->font().pointSizeF(), 9.75);
    EXPECT_DOUBLE_EQ(two->font().pointSizeF(), 9.75);

    auto* label2 = window_->findChild<QLabel*>(QStringLiteral("Label2"));
    ASSERT_NE(label2, nullptr);
    EXPECT_EQ(label2->text(), QStringLiteral("© www.velkor.example"));
    EXPECT_EQ(label2->pos(), QPoint(8, 336));
    EXPECT_EQ(label2->height(), 17);
    EXPECT_GE(label2->width(), 97);
    EXPECT_LE(label2->geometry().right(), 425);
    EXPECT_EQ(label2->palette().color(QPalette::WindowText), QColor(0x40, 0x40, 0x40));

    auto* line = window_->findChild<vkdc::ui::LineWidget*>(QStringLiteral("Line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->geometry(), QRect(-8, 104, 441, 1)) << "across the client, below the banner";
    EXPECT_EQ(line->colour(), QColor(0xE0, 0xE0, 0xE0));

    auto* about = window_->findChild<QAction*>(QStringLiteral("About"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), QStringLiteral(" درباره ")) << "a blank on both sides";
    EXPECT_EQ(about->menu(), nullptr) << "no sub-items";
    EXPECT_TRUE(window_->menuBar()->actions().contains(about));
}

TEST_F(MainWindowTest, FocusStartsOnTheFirstButtonAndTabReachesTheSecond) {
    EXPECT_TRUE(ui_test::waitFor([] { return QApplication::focusWidget() != nullptr; }));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Command2"));
}

struct SeenConverter {
    QString name;
    QString title;
    QWidget* parent = nullptr;
    bool modal = false;
    QString text1;
    QString label3;
    bool text2Enabled = true;
    QStringList wmTypes;  // on X11: what the window manager is told
    WId transientFor = 0;
};

// Records the converter window that comes up, then closes it with Esc.
SeenConverter closeConverterWithEscape(QWidget* modal) {
    SeenConverter seen;
    auto* converter = qobject_cast<ConverterWindow*>(modal);
    if (!converter)
        return seen;
    seen.name = converter->objectName();
    seen.title = converter->windowTitle();
    seen.parent = converter->parentWidget();
    seen.modal = converter->isModal();
    seen.text1 = converter->findChild<QLineEdit*>(QStringLiteral("Text1"))->text();
    seen.label3 = converter->findChild<QLabel*>(QStringLiteral("Label3"))->text();
    seen.text2Enabled = converter->findChild<QLineEdit*>(QStringLiteral("Text2"))->isEnabled();
    if (ui_test::onX11()) {
        seen.wmTypes = ui_test::x11AtomNames(converter, "_NET_WM_WINDOW_TYPE");
        seen.transientFor = ui_test::x11TransientFor(converter);
    }
    QTest::keyClick(converter->findChild<QPushButton*>(QStringLiteral("BrowseOpen")),
                    Qt::Key_Escape);
    return seen;
}

TEST_F(MainWindowTest, EachButtonOpensItsConverterModallyOverTheLauncher) {
    struct Case {
        const char* button;
        QString name;
        QString title;
    };
    const Case cases[] = {{"Command1", "VKDC12", "VKDC v1.0 to v2.0"},
                          {"Command2", "VKDC23", "VKDC v2.0 to v3.0"}};
    for (const Case& c : cases) {
        SeenConverter seen;
        ModalWatcher watcher([&](QWidget* modal) {
            seen = closeConverterWithEscape(modal);
            return true;
        });
        QTest::mouseClick(button(c.button), Qt::LeftButton);
        EXPECT_FALSE(watcher.forced()) << c.button;
        EXPECT_EQ(seen.name, c.name);
        EXPECT_EQ(seen.title, c.title);
        EXPECT_EQ(seen.parent, window_.get()) << "owned by the launcher";
        EXPECT_TRUE(seen.modal);
        if (ui_test::onX11()) {
            // A dialog of the launcher for the window manager, never minimized on its own.
            EXPECT_EQ(seen.wmTypes.value(0), QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"));
            EXPECT_EQ(seen.transientFor, window_->winId());
        }
        EXPECT_TRUE(window_->isVisible()) << "the launcher is back";
    }
    EXPECT_EQ(ended_, 0);
}

// Enter on a focused button works as Space does, through the X server on X11.
TEST_F(MainWindowTest, EnterOnAFocusedButtonOpensItsConverter) {
    if (ui_test::onX11() && !ui_test::haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    struct Case {
        const char* button;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString name;
    };
    const Case cases[] = {{"Command1", Qt::Key_Return, Qt::NoModifier, "VKDC12"},
                          {"Command2", Qt::Key_Enter, Qt::KeypadModifier, "VKDC23"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(ui_test::showActive(window_.get()));
        button(c.button)->setFocus();
        QString seen;
        ModalWatcher watcher([&](QWidget* modal) {
            seen = closeConverterWithEscape(modal).name;
            return true;
        });
        ui_test::typeKey(button(c.button), c.key, c.modifiers);
        EXPECT_TRUE(ui_test::waitFor([&] { return watcher.done(); })) << c.button;
        EXPECT_FALSE(watcher.forced()) << c.button;
        EXPECT_EQ(seen, c.name);
    }
    EXPECT_FALSE(button("Command1")->isDefault());
    EXPECT_FALSE(button("Command2")->isDefault());
}

// Sends a press and release at `global` stamped `at` ms as the platform does: to the window
// on top there (a modal window over the launcher), whatever was clicked before.
void platformClick(QPoint global, int at) {
    QWidget* modal = QApplication::activeModalWidget();
    QWindow* window = modal && modal->frameGeometry().contains(global)
                          ? modal->windowHandle()
                          : QGuiApplication::topLevelAt(global);
    ASSERT_NE(window, nullptr);
    const QPointF local = window->mapFromGlobal(QPointF(global));
    qt_handleMouseEvent(window, local, QPointF(global), Qt::LeftButton, Qt::LeftButton,
                        QEvent::MouseButtonPress, Qt::NoModifier, at);
    qt_handleMouseEvent(window, local, QPointF(global), Qt::NoButton, Qt::LeftButton,
                        QEvent::MouseButtonRelease, Qt::NoModifier, at + 1);
}

// Counts the clicks that reach the widgets of one window before any filter of the program
// can drop them. (Qt hands a widget the second press of a double click as a double click.)
class ClickCounter : public QObject {
  public:
    QPointer<QWidget> window;
    int clicks = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool press = event->type() == QEvent::MouseButtonPress ||
                           event->type() == QEvent::MouseButtonDblClick;
        if (press && watched->isWidgetType() && window &&
            static_cast<QWidget*>(watched)->window() == window)
            ++clicks;
        return false;
    }
};

// The converter comes up centred, where its ConvertDB lies under the pointer. The second
// click of a double click on the launcher's button must not convert there (which warns about
// the empty path); a click of its own, later, does.
TEST_F(MainWindowTest, ADoubleClickOnAButtonLeavesNoMessageBox) {
    const bool x11 = ui_test::onX11();
    if (x11 && !ui_test::haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    QPushButton* command1 = button("Command1");
    const QPoint at = command1->mapToGlobal(command1->rect().center());
    ClickCounter counter;
    qApp->installEventFilter(&counter);
    QString under;
    std::vector<QString> messages_after_double_click;
    std::unique_ptr<QProcess> xdotool;
    const int start = QTest::lastMouseTimestamp + 10000;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* converter = qobject_cast<ConverterWindow*>(modal);
        if (!converter)
            return false;
        counter.window = converter;
        if (QWidget* hit = converter->childAt(converter->mapFromGlobal(at)))
            under = hit->objectName();
        if (x11) {
            // xdotool goes on clicking by itself: wait for its double click to end.
            ui_test::waitFor([&] { return counter.clicks >= 1; }, 2000);
            QTest::qWait(100);
            messages_after_double_click = dialogs_.messageTexts();
            ui_test::waitFor([&] { return xdotool->state() == QProcess::NotRunning; }, 10000);
            QTest::qWait(100);
        } else {
            platformClick(at, start + 150);
            messages_after_double_click = dialogs_.messageTexts();
            platformClick(at, start + 1500);
        }
        converter->reject();
        return true;
    });
    if (x11) {
        // A double click, then a click of its own a second later.
        xdotool = ui_test::startXdotool({"mousemove", QString::number(at.x()),
                                         QString::number(at.y()), "click", "--repeat", "2",
                                         "--delay", "200", "1", "sleep", "1", "click", "1"});
        EXPECT_TRUE(ui_test::waitFor([&] { return watcher.done(); }, 15000));
    } else {
        platformClick(at, start);
    }
    qApp->removeEventFilter(&counter);
    QTest::lastMouseTimestamp = start + 10000;
    EXPECT_FALSE(watcher.forced());
    ASSERT_EQ(under, QStringLiteral("ConvertDB")) << "the converter's button under the pointer";
    if (x11 && counter.clicks < 2) {
        GTEST_SKIP() << "the converter was not up 200 ms after the first click, so the double "
                        "click was not tried";
    }
    EXPECT_EQ(counter.clicks, 2) << "the double click's second click, and the later one";
    EXPECT_TRUE(messages_after_double_click.empty()) << "nothing clicked in the new window";
    EXPECT_EQ(dialogs_.messageTexts(), std::vector<QString>{vkdc::texts::kNoSourcePath})
        << "the later click is taken";
}

TEST_F(MainWindowTest, ASecondShowingStartsAgainFromTheDesignState) {
    testing_support::TempDir dir;
    const QString source = QString::fromStdString(dir.file("missing.dbb"));
    dialogs_.openAnswers.push_back(source);
    ModalWatcher first([&](QWidget* modal) {
        auto* converter = qobject_cast<ConverterWindow*>(modal);
        if (!converter)
            return false;
        converter->findChild<QPushButton*>(QStringLiteral("BrowseOpen"))->click();
        converter->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("x"));
        QTest::keyClick(converter->findChild<QLineEdit*>(QStringLiteral("Text1")), Qt::Key_Escape);
        return true;
    });
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    ASSERT_FALSE(first.forced());
    ConverterWindow* created = window_->converter(PairId::k10to20);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(window_->converter(PairId::k20to30), nullptr) << "made on first use only";

    SeenConverter seen;
    ModalWatcher second([&](QWidget* modal) {
        seen = closeConverterWithEscape(modal);
        return true;
    });
    QTest::mouseClick(button("Command1"), Qt::LeftButton);
    ASSERT_FALSE(second.forced());
    EXPECT_EQ(window_->converter(PairId::k10to20), created) << "the same window object";
    EXPECT_EQ(seen.text1, QString());
    EXPECT_EQ(seen.label3, QStringLiteral("..."));
    EXPECT_FALSE(seen.text2Enabled);
}

TEST_F(MainWindowTest, AboutShowsTheMessageThenOpensTheWebSite) {
    // A click on the menu bar item itself runs About: it has no menu to open.
    auto* about = window_->findChild<QAction*>(QStringLiteral("About"));
    QMenuBar* bar = window_->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(about).center());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Information);
    EXPECT_EQ(dialogs_.messages[0].parent, window_.get());
    EXPECT_EQ(dialogs_.messages[0].text,
              QStringLiteral("Velkor Database Convert\n\nCoding By Velkor Tools Team\n"
                             "Email: support@velkor.example\nWebsite: www.velkor.example"));
    // Exactly one empty line, between the title and the credit.
    EXPECT_EQ(dialogs_.messages[0].text.count(QStringLiteral("\n\n")), 1);
    EXPECT_EQ(dialogs_.calls, (std::vector<QString>{"message", "openUrl"}))
        << "the browser opens after the box is closed";
    ASSERT_EQ(dialogs_.urls.size(), 1u);
    EXPECT_EQ(dialogs_.urls[0], QUrl(QStringLiteral("https://www.velkor.example")));
}

// The real message box, closed with Esc: the site still opens, and only afterwards.
class BrowserRecordingDialogs : public vkdc::QtDialogs {
  public:
    void openUrl(const QUrl& url) override {
        urls.push_back(url);
        boxOpenAtUrl = QApplication::activeModalWidget() != nullptr;
    }
    std::vector<QUrl> urls;
    bool boxOpenAtUrl = true;
};

TEST(MainWindowRealDialogsTest, AboutBoxClosedWithEscapeStillOpensTheSite) {
    BrowserRecordingDialogs dialogs;
    MainWindow window(dialogs);
    ASSERT_TRUE(ui_test::showActive(&window));
    QString title = QStringLiteral("<unseen>");
    QString text;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return false;
        title = box->windowTitle();
        text = box->text();
        QTest::keyClick(box, Qt::Key_Escape);
        return true;
    });
    window.findChild<QAction*>(QStringLiteral("About"))->trigger();
    EXPECT_FALSE(watcher.forced());
    EXPECT_EQ(title, QString());
    EXPECT_EQ(text, QString::fromStdString(vkdc::aboutText()));
    ASSERT_EQ(dialogs.urls.size(), 1u);
    EXPECT_FALSE(dialogs.boxOpenAtUrl);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, ASavedConversionEndsTheProgram) {
    testing_support::TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    const auto& pair = vkdc::versionPair(PairId::k20to30);
    std::string why;
    ASSERT_TRUE(ui_test::writeDatabase(dir.file(pair.template_file), {"3.0", {}, {}}, &why)) << why;
    const QString source = QString::fromStdString(dir.file("old.dbb"));
    ASSERT_TRUE(ui_test::writeDatabase(source.toStdString(),
                                       {"2.0", {{"Table_Category", {{u"دسته"}}}}, {}}, &why))
        << why;
    window_->setConverterSetup([&](ConverterWindow& converter) {
        converter.setTemplateDir(folder);
        converter.setWorkDir(folder);
    });
    const QString dest = folder + QStringLiteral("/new.dbb");
    dialogs_.openAnswers.push_back(source);
    dialogs_.saveAnswers.push_back(dest);
    ModalWatcher watcher([&](QWidget* modal) {
        auto* converter = qobject_cast<ConverterWindow*>(modal);
        if (!converter)
            return false;
        for (const char* name : {"BrowseOpen", "ConvertDB", "BrowseSave", "SaveDB"})
            converter->findChild<QPushButton*>(QLatin1String(name))->click();
        return true;
    });
    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    EXPECT_FALSE(watcher.forced());
    EXPECT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_TRUE(ui_test::fileExists(dest));
    EXPECT_EQ(ended_, 1);
}

}  // namespace
