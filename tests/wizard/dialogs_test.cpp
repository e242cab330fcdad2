// The real dialogs behind the Dialogs seam: message boxes and Qt's own file dialogs, as the
// user sees them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include "convert/converter_texts.h"
#include "support/files.h"
#include "wizard/dialogs.h"
#include "wizard/ui_test_support.h"

namespace {

using ui_test::ModalWatcher;

struct SeenBox {
    QString title;
    QString text;
    QString name;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QString buttonText;
    bool buttonIcon = true;
    QString wmName;     // what X11 shows as the title, on X11
    QString netWmName;  // likewise, for window managers that read the UTF-8 name
    QStringList wmTypes;
    WId transientFor = 0;
};

SeenBox closeBox(QWidget* modal, bool with_escape) {
    SeenBox seen;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box)
        return seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.name = box->objectName();
    seen.icon = box->icon();
    seen.buttons = static_cast<int>(box->buttons().size());
    if (!box->buttons().isEmpty()) {
        seen.buttonText = box->buttons().first()->text();
        seen.buttonIcon = !box->buttons().first()->icon().isNull();
    }
    if (ui_test::onX11()) {
        seen.wmName = ui_test::x11TextProperty(box, "WM_NAME");
        seen.netWmName = ui_test::x11TextProperty(box, "_NET_WM_NAME");
        seen.wmTypes = ui_test::x11AtomNames(box, "_NET_WM_WINDOW_TYPE");
        seen.transientFor = ui_test::x11TransientFor(box);
    }
    if (with_escape)
        QTest::keyClick(box, Qt::Key_Escape);
    else
        box->button(QMessageBox::Ok)->click();
    return seen;
}

// Also as X11 shows it: Qt would put the program's name in an empty title, and the X11 theme
// an icon on OK.
TEST(QtDialogsTest, MessageBoxHasTheTextIconOneOkButtonAndNoTitle) {
    vkdc::QtDialogs dialogs;
    QWidget owner;
    owner.show();
    for (QMessageBox::Icon icon : {QMessageBox::Warning, QMessageBox::Information}) {
        SeenBox seen;
        ModalWatcher watcher([&](QWidget* modal) {
            seen = closeBox(modal, false);
            return true;
        });
        dialogs.message(&owner, icon, vkdc::texts::kNoSourcePath);
        EXPECT_FALSE(watcher.forced());
        EXPECT_EQ(seen.text, vkdc::texts::kNoSourcePath);
        EXPECT_EQ(seen.title, QString());
        EXPECT_EQ(seen.icon, icon);
        EXPECT_EQ(seen.name, vkdc::messageObjectName(icon));
        EXPECT_EQ(seen.buttons, 1);
        EXPECT_EQ(seen.buttonText, QStringLiteral("OK"));
        EXPECT_FALSE(seen.buttonIcon) << "a plain OK button";
        if (ui_test::onX11()) {
            EXPECT_EQ(seen.wmName, QString()) << "WM_NAME";
            EXPECT_EQ(seen.netWmName, QString()) << "_NET_WM_NAME";
            EXPECT_EQ(seen.wmTypes.value(0), QStringLiteral("_NET_WM_WINDOW_TYPE_DIALOG"));
            EXPECT_EQ(seen.transientFor, owner.winId()) << "a dialog of its owner";
        }
    }
}

// The designed text stays alone in the box; technical lines go to its details area, which
// reads in their own direction.
TEST(QtDialogsTest, DetailsGoToTheDetailsAreaInTheirOwnDirection) {
    vkdc::QtDialogs dialogs;
    struct Seen {
        QString text;
        QString detail;
        Qt::LayoutDirection box = Qt::LeftToRight;
        Qt::LayoutDirection area = Qt::RightToLeft;
        bool buttonIcons = true;
    };
    const auto look = [](QMessageBox* box) {
        Seen seen;
        seen.text = box->text();
        seen.detail = box->detailedText();
        seen.box = box->layoutDirection();
        if (auto* area = box->findChild<QTextEdit*>())
            seen.area = area->layoutDirection();
        seen.buttonIcons = false;
        for (QAbstractButton* button : box->buttons())
            seen.buttonIcons |= !button->icon().isNull();
        box->button(QMessageBox::Ok)->click();
        return seen;
    };
    const QString english = QStringLiteral("cannot create /no/such/folder/new.dbb: No such file");
    const QString persian = QStringLiteral("جدول کاربران: 2");
    std::vector<Seen> seen;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            seen.push_back(look(box));
        return false;
    });
    dialogs.message(nullptr, QMessageBox::Warning, vkdc::texts::kSaveFailed, english);
    dialogs.message(nullptr, QMessageBox::Warning, vkdc::texts::kRowsLost, persian);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, vkdc::texts::kSaveFailed);
    EXPECT_EQ(seen[0].detail, english);
    EXPECT_EQ(seen[0].box, Qt::RightToLeft);
    EXPECT_EQ(seen[0].area, Qt::LeftToRight) << "a path reads left to right";
    EXPECT_FALSE(seen[0].buttonIcons) << "neither OK nor the details button";
    EXPECT_EQ(seen[1].detail, persian);
    EXPECT_EQ(seen[1].area, Qt::RightToLeft);
}

// The toggle of the details speaks Persian in both states, and Enter closes the box even with
// the focus on the toggle (a real key on X11), where Qt would fold the details again.
TEST(QtDialogsTest, TheDetailsToggleIsPersianAndEnterClosesTheBox) {
    if (ui_test::onX11() && !ui_test::haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    vkdc::QtDialogs dialogs;
    QWidget owner;
    ASSERT_TRUE(ui_test::showActive(&owner));
    QStringList captions;
    bool detailsShown = false;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return false;
        QPushButton* toggle = nullptr;
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>()) {
            if (button != box->button(QMessageBox::Ok))
                toggle = qobject_cast<QPushButton*>(button);
        }
        if (!toggle)
            return true;
        // Nothing activates a new window here (no window manager); a dialog would otherwise
        // pass for active while its owner is.
        box->activateWindow();
        EXPECT_TRUE(ui_test::waitFor([&] { return QApplication::activeWindow() == box; }));
        captions << toggle->text();
        QTest::mouseClick(toggle, Qt::LeftButton);
        captions << toggle->text();
        detailsShown = box->findChild<QTextEdit*>()->isVisible();
        EXPECT_EQ(QApplication::focusWidget(), toggle);
        ui_test::typeKey(toggle, Qt::Key_Return);
        return true;
    });
    dialogs.message(&owner, QMessageBox::Warning, vkdc::texts::kSaveFailed,
                    QStringLiteral("cannot create /no/such/folder/new.dbb"));
    EXPECT_FALSE(watcher.forced()) << "Enter closed the box";
    EXPECT_EQ(captions, (QStringList{vkdc::texts::kShowDetails, vkdc::texts::kHideDetails}));
    EXPECT_TRUE(detailsShown);
}

TEST(QtDialogsTest, EscapeClosesTheMessageBox) {
    vkdc::QtDialogs dialogs;
    SeenBox seen;
    ModalWatcher watcher([&](QWidget* modal) {
        seen = closeBox(modal, true);
        return true;
    });
    dialogs.message(nullptr, QMessageBox::Information, QStringLiteral("x"));
    EXPECT_FALSE(watcher.forced());
    EXPECT_EQ(seen.text, QStringLiteral("x"));
}

TEST(QtDialogsTest, PersianMessagesAreLaidOutRightToLeft) {
    vkdc::QtDialogs dialogs;
    Qt::LayoutDirection persian = Qt::LeftToRight;
    Qt::LayoutDirection english = Qt::RightToLeft;
    Qt::LayoutDirection* target = &persian;
    ModalWatcher watcher([&](QWidget* modal) {
        *target = modal->layoutDirection();
        static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
        return false;
    });
    dialogs.message(nullptr, QMessageBox::Warning, vkdc::texts::kSourceMissing);
    target = &english;
    dialogs.message(nullptr, QMessageBox::Information, QStringLiteral("Velkor Database Convert"));
    EXPECT_EQ(persian, Qt::RightToLeft);
    EXPECT_EQ(english, Qt::LeftToRight);
}

struct SeenFileDialog {
    QString name;
    QString title;
    QString fileName;
    QString directory;
    QStringList filters;
    bool native = true;
    bool confirmOverwrite = true;
    bool hidesFilterDetails = false;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
};

SeenFileDialog inspect(QFileDialog* dialog) {
    SeenFileDialog seen;
    seen.name = dialog->objectName();
    seen.title = dialog->windowTitle();
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        seen.fileName = edit->text();
    seen.directory = dialog->directory().absolutePath();
    seen.filters = dialog->nameFilters();
    seen.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    seen.confirmOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    seen.hidesFilterDetails = dialog->testOption(QFileDialog::HideNameFilterDetails);
    seen.mode = dialog->acceptMode();
    return seen;
}

vkdc::FileRequest openRequest() {
    vkdc::FileRequest request;
    request.objectName = QStringLiteral("Opens");
    request.title = QStringLiteral("Import");
    request.initialPath = QStringLiteral("VKDB.dbb");
    request.folder = vkdc::texts::kDesignFolder;
    request.filterName = vkdc::texts::kOpenFilterName;
    request.patterns = {QStringLiteral("*.mdb"), QStringLiteral("*.dbb")};
    return request;
}

TEST(QtDialogsTest, OpenDialogStartsInHomeWithThePresetNameAndFilter) {
    vkdc::QtDialogs dialogs;
    SeenFileDialog seen;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        seen = inspect(dialog);
        dialog->reject();
        return true;
    });
    const QString chosen = dialogs.openFile(nullptr, openRequest());
    EXPECT_FALSE(watcher.forced());
    EXPECT_TRUE(chosen.isEmpty()) << "a cancel returns no path";
    EXPECT_EQ(seen.name, QStringLiteral("Opens"));
    EXPECT_EQ(seen.title, QStringLiteral("Import"));
    EXPECT_EQ(seen.fileName, QStringLiteral("VKDB.dbb"));
    // "D:\" never exists here: the dialog opens in the home folder instead.
    EXPECT_EQ(seen.directory, QDir::home().absolutePath());
    ASSERT_EQ(seen.filters.size(), 1);
    EXPECT_EQ(seen.filters.first(), QStringLiteral("Velkor Backup(*.mdb,*.dbb) (*.mdb *.dbb)"));
    EXPECT_TRUE(seen.hidesFilterDetails);
    EXPECT_FALSE(seen.native);
    EXPECT_EQ(seen.mode, QFileDialog::AcceptOpen);
}

TEST(QtDialogsTest, OpenDialogReturnsTheChosenFileAndReopensBesideIt) {
    testing_support::TempDir dir;
    const QString file = QString::fromStdString(dir.file("old.dbb"));
    QFile(file).open(QIODevice::WriteOnly);
    vkdc::QtDialogs dialogs;
    ModalWatcher chooser([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->setText(file);
        QTest::keyClick(edit, Qt::Key_Return);
        return true;
    });
    const QString chosen = dialogs.openFile(nullptr, openRequest());
    ASSERT_FALSE(chooser.forced());
    EXPECT_EQ(chosen, file);

    // A full path as the initial name opens its folder with the file named.
    vkdc::FileRequest again = openRequest();
    again.initialPath = chosen;
    SeenFileDialog seen;
    ModalWatcher looker([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        seen = inspect(dialog);
        dialog->reject();
        return true;
    });
    dialogs.openFile(nullptr, again);
    EXPECT_EQ(seen.directory, QString::fromStdString(dir.path()));
    EXPECT_EQ(seen.fileName, QStringLiteral("old.dbb"));
}

TEST(QtDialogsTest, SaveDialogTakesTheBareNameInItsFolderWithoutAsking) {
    testing_support::TempDir dir;
    const QString existing = QString::fromStdString(dir.file("VKDB"));
    QFile(existing).open(QIODevice::WriteOnly);
    vkdc::QtDialogs dialogs;
    vkdc::FileRequest request;
    request.objectName = QStringLiteral("Saves");
    request.title = QStringLiteral("Export");
    request.initialPath = QString::fromStdString(dir.path()) + QStringLiteral("/VKDB");
    request.filterName = QStringLiteral("Velkor v3.0 Backup File");
    request.patterns = {QStringLiteral("*.dbb")};
    SeenFileDialog seen;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        seen = inspect(dialog);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QTest::keyClick(edit, Qt::Key_Return);  // accept the name as preset
        return true;
    });
    const QString chosen = dialogs.saveFile(nullptr, request);
    // No overwrite question came up (the watcher would have been forced to close it).
    EXPECT_FALSE(watcher.forced());
    EXPECT_EQ(chosen, existing);
    EXPECT_EQ(seen.title, QStringLiteral("Export"));
    EXPECT_EQ(seen.name, QStringLiteral("Saves"));
    EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
    EXPECT_FALSE(seen.confirmOverwrite);
    ASSERT_EQ(seen.filters.size(), 1);
    EXPECT_EQ(seen.filters.first(), QStringLiteral("Velkor v3.0 Backup File (*.dbb)"));
}

}  // namespace
