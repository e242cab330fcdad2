// What the window tests share: the QApplication, scripted dialogs, a watcher for modal
// windows, and the database files the conversions run on.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/csv_lite.h"
#include "wizard/dialogs.h"

// Failures show a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace ui_test {

// Answers every dialog from a script and records what was asked. An empty answer, or none
// left, is a cancel.
class ScriptedDialogs : public vkdc::Dialogs {
  public:
    struct Message {
        QMessageBox::Icon icon;
        QString text;
        QWidget* parent;
        QString detail;
    };
    struct FileAsk {
        bool save;
        vkdc::FileRequest request;
        QWidget* parent;
    };

    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::vector<Message> messages;
    std::vector<FileAsk> fileAsks;
    std::vector<QUrl> urls;
    std::vector<QString> calls;  // "message", "openFile", "saveFile", "openUrl" in order
    // Runs while a message is "on screen" (the parent is still waiting for it).
    std::function<void(const Message&)> whileMessageShown;

    QString openFile(QWidget* parent, const vkdc::FileRequest& request) override;
    QString saveFile(QWidget* parent, const vkdc::FileRequest& request) override;
    using vkdc::Dialogs::message;
    void message(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                 const QString& detail) override;
    void openUrl(const QUrl& url) override;

    std::vector<QString> messageTexts() const;
};

// Hands each new modal window to `handler` while some call (a click that opens it) waits in
// its event loop. The handler records what it needs and closes the window; it returns true
// when the watch is over. A modal still open at the deadline, or still open a while after the
// handler closed it, is closed and counted as forced, so a missing window or one that does not
// close fails the test instead of hanging it.
class ModalWatcher {
  public:
    using Handler = std::function<bool(QWidget* modal)>;
    explicit ModalWatcher(Handler handler, int deadline_ms = 10000);
    ~ModalWatcher();

    bool done() const { return done_; }
    bool forced() const { return forced_; }
    int seen() const { return seen_; }

  private:
    void poll();

    Handler handler_;
    QTimer timer_;
    QPointer<QWidget> last_;
    int deadline_ms_;
    static constexpr int kCloseGraceMs = 3000;
    int elapsed_ms_ = 0;
    int done_at_ms_ = 0;
    int seen_ = 0;
    bool done_ = false;
    bool forced_ = false;
};

// Processes events until `condition` holds or `timeout_ms` passes; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeout_ms = 5000);

// ---- The platform ------------------------------------------------------------------------
// The window tests run on Qt's offscreen platform, and again on X11 (xcb) when the test is
// started with QT_QPA_PLATFORM=xcb and an X display; without a display those runs skip.

bool onX11();

// Shows `window` and makes it the active window. Under an X server without a window manager
// nothing activates a new top-level window by itself, so it is asked for.
bool showActive(QWidget* window);

// The value of a text property of `window`'s X11 window ("WM_NAME", "_NET_WM_NAME"), or
// "<unset>" when it has none. Only on X11.
QString x11TextProperty(QWidget* window, const char* name);

// The atoms of a property of `window`'s X11 window ("_NET_WM_WINDOW_TYPE", "_NET_WM_STATE")
// by name, and the window it is transient for (0 for none). Only on X11.
QStringList x11AtomNames(QWidget* window, const char* name);
WId x11TransientFor(QWidget* window);

// Asks `window` to close as a window manager does for its close button: a WM_DELETE_WINDOW
// message through the X server. Only on X11.
void x11RequestClose(QWidget* window);

// Real input through the X server (xdotool, XTEST): the server picks the window under the
// pointer or with the focus and stamps the events, as for a person at the keyboard. Started
// without waiting (the events open windows whose loops must run); nullptr when xdotool is not
// installed. Only on X11.
std::unique_ptr<QProcess> startXdotool(const QStringList& args);
bool haveXdotool();

// Presses and releases `key` (Return, or Enter with the keypad modifier) on the focused
// widget `focus`: through the X server on X11, else sent to `focus` as QTest does.
// Returns once the key has been handled, including any modal window it opened and closed.
void typeKey(QWidget* focus, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// ---- Files -----------------------------------------------------------------------------

// Runs vkdc-cli with `args`; true when it exits 0. Its output goes to `output` if given.
bool runCli(const QStringList& args, QString* output = nullptr);

// A template ("2.0" or "3.0") or a sample source ("1.0" or "2.0") made by vkdc-cli, or an
// empty string (with the reason in `why`) when the command is not available.
QString makeTemplate(const QString& dir, const QString& file_name, const QString& version,
                     QString* why);
QString makeSample(const QString& path, const QString& version, QString* why);

// A database of `version` (its password, the used columns of its four tables, all Text) with
// `rows` per table, each row a value per column in columnsOf() order. `narrow` shortens the
// named columns ("Table_User.UserName" -> 5 characters).
struct DatabaseSpec {
    std::string version;
    std::map<std::string, std::vector<std::vector<std::optional<std::u16string>>>> rows;
    std::map<std::string, uint16_t> narrow;
};
bool writeDatabase(const std::string& path, const DatabaseSpec& layout, std::string* why);
// The same with the password of version `password_of`: the tables of one version behind the
// password of another.
bool writeDatabase(const std::string& path, const DatabaseSpec& layout,
                   const std::string& password_of, std::string* why);

// A table read back with mdb-export: the header row, then one row per record. Empty when
// mdb-export is missing or fails (`why` says which).
std::vector<testing_support::CsvRow> exportTable(const QString& file, const QString& table,
                                                 QString* why);

// The value of `column` in row `row` (0-based, header excluded) of an export.
std::string cell(const std::vector<testing_support::CsvRow>& table, size_t row,
                 const std::string& column);

bool fileExists(const QString& path);
QByteArray fileBytes(const QString& path);

}  // namespace ui_test
