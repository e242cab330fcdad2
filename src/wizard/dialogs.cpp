#include "wizard/dialogs.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextEdit>

#include "convert/dialog_start.h"
#include "wizard/ui_look.h"
#include "wizard/x11_window.h"

namespace vkdc {
namespace {

QString runFileDialog(QWidget* parent, const FileRequest& request, bool save) {
    QFileDialog dialog(parent, request.title);
    dialog.setObjectName(request.objectName);
    // Qt's own dialog looks the same everywhere and can be driven by tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Only the description shows in the list, as the filter text names its patterns itself.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setNameFilter(request.filterName + QStringLiteral(" (") +
                         request.patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));

    const DialogStart start =
        dialogStart(request.initialPath.toStdString(), request.folder.toStdString(), homeFolder());
    const QString name = QString::fromStdString(start.fileName);
    dialog.setDirectory(QString::fromStdString(start.folder));
    // Set the name field directly: selectFile() leaves it alone when it already has focus.
    if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(name);
    else
        dialog.selectFile(name);

    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

// The program's message box: its empty title stays empty on X11 too, the window manager sees a
// dialog, and Enter closes it whichever of its buttons has the focus: the details toggle too,
// which Qt would fold again instead.
class MessageBox : public QMessageBox {
  public:
    MessageBox(Icon icon, const QString& text, QWidget* parent)
        : QMessageBox(icon, QString(), text, QMessageBox::Ok, parent) {}

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        ui::keepTitleEmptyOnX11(this);
        ui::markAsDialogOnX11(this);
        for (QAbstractButton* button : findChildren<QAbstractButton*>())
            button->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                // A held key's repeats close nothing, so a box is not gone before it is read.
                if (!key->isAutoRepeat())
                    button(QMessageBox::Ok)->click();
                return true;
            }
        }
        return QMessageBox::eventFilter(watched, event);
    }
};

}  // namespace

QString messageObjectName(QMessageBox::Icon icon) {
    switch (icon) {
        case QMessageBox::Information:
            return QStringLiteral("msgInformation");
        case QMessageBox::Warning:
            return QStringLiteral("msgWarning");
        case QMessageBox::Critical:
            return QStringLiteral("msgCritical");
        case QMessageBox::Question:
            return QStringLiteral("msgQuestion");
        case QMessageBox::NoIcon:
            break;
    }
    return QStringLiteral("msgPlain");
}

QString QtDialogs::openFile(QWidget* parent, const FileRequest& request) {
    return runFileDialog(parent, request, false);
}

QString QtDialogs::saveFile(QWidget* parent, const FileRequest& request) {
    return runFileDialog(parent, request, true);
}

void QtDialogs::message(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                        const QString& detail) {
    MessageBox box(icon, text, parent);
    box.setObjectName(messageObjectName(icon));
    box.setFont(ui::designFont());
    // The texts are Persian: icon on the right, OK on the left, lines right-aligned.
    if (text.isRightToLeft())
        box.setLayoutDirection(Qt::RightToLeft);
    if (!detail.isEmpty()) {
        box.setDetailedText(detail);
        // The details read in their own direction, whatever the box's is.
        if (auto* area = box.findChild<QTextEdit*>()) {
            area->setLayoutDirection(detail.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        }
    }
    box.exec();
}

void QtDialogs::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

}  // namespace vkdc
