// Every file dialog, message box and browser launch of the program goes through Dialogs, so
// the windows never call a modal Qt box directly and tests can script the answers.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

class QWidget;

namespace vkdc {

// What a file dialog is opened with.
struct FileRequest {
    QString objectName;    // "Opens" or "Saves": the dialog's name, as tests find it
    QString title;         // the window title
    QString initialPath;   // a bare name (opens in `folder`) or a full path (opens beside it)
    QString folder;        // initial folder for a bare name
    QString filterName;    // "Velkor Backup(*.mdb,*.dbb)": what the filter list shows
    QStringList patterns;  // {"*.mdb", "*.dbb"}
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // Full path of the file chosen, or an empty string when the user cancelled.
    virtual QString openFile(QWidget* parent, const FileRequest& request) = 0;
    // As openFile, for a destination; an existing file is taken without a question.
    virtual QString saveFile(QWidget* parent, const FileRequest& request) = 0;
    // A modal box with `text`, `icon`, one OK button and an empty title; returns when closed.
    // A non-empty `detail` (technical lines: a path, the system's reason, counts) goes to the
    // box's details area, which the user opens on demand, so `text` stays alone in the box.
    virtual void message(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                         const QString& detail) = 0;
    void message(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
        message(parent, icon, text, QString());
    }
    // Opens `url` in the desktop's browser; does not wait for it.
    virtual void openUrl(const QUrl& url) = 0;
};

// The real thing: Qt's own (non-native) file dialogs and QMessageBox.
class QtDialogs : public Dialogs {
  public:
    QString openFile(QWidget* parent, const FileRequest& request) override;
    QString saveFile(QWidget* parent, const FileRequest& request) override;
    using Dialogs::message;
    void message(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                 const QString& detail) override;
    void openUrl(const QUrl& url) override;
};

// Object names of the message boxes, by icon ("msgInformation", "msgWarning").
QString messageObjectName(QMessageBox::Icon icon);

}  // namespace vkdc
