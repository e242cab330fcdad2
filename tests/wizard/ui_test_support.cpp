#include "wizard/ui_test_support.h"

#include <gtest/gtest.h>

#include <QtGui/qguiapplication_platform.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "jet/writer.h"
#include "store/version_pair.h"
#include "wizard/ui_look.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Read by LeakSanitizer in sanitizer builds. On X11, Qt's D-Bus thread looks for a session
// bus, and libdbus keeps the buffer it read into until the process ends: not our memory.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

namespace ui_test {
namespace {

// One QApplication for the whole test program, made before the first test.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "vkdc-ui-test";
        static char* argv[] = {name, nullptr};
        if (qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qgetenv("QT_QPA_PLATFORM") == "xcb")
            useTestDisplay();
        app_ = new QApplication(argc, argv);
        vkdc::ui::applyProgramLook(*app_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    // The X11 runs use the display named by VKDC_X11_DISPLAY only (.ci/run starts an Xvfb for
    // them), never a desktop that happens to be in DISPLAY: they move the pointer and type.
    // Without one the test program ends with status 77, which CTest counts as skipped.
    static void useTestDisplay() {
        const QByteArray display = qgetenv("VKDC_X11_DISPLAY");
        xcb_connection_t* connection =
            display.isEmpty() ? nullptr : xcb_connect(display.constData(), nullptr);
        const bool ok = connection && xcb_connection_has_error(connection) == 0;
        if (connection)
            xcb_disconnect(connection);
        if (!ok) {
            std::printf(
                "skipped: the X11 run of the window tests needs an X display in "
                "VKDC_X11_DISPLAY (now \"%s\"), as .ci/run starts\n",
                display.constData());
            std::fflush(stdout);
            std::exit(kSkipStatus);
        }
        qputenv("DISPLAY", display);
    }
    static constexpr int kSkipStatus = 77;

    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

// ---- ScriptedDialogs ---------------------------------------------------------------------

QString ScriptedDialogs::openFile(QWidget* parent, const vkdc::FileRequest& request) {
    calls.push_back(QStringLiteral("openFile"));
    fileAsks.push_back({false, request, parent});
    if (openAnswers.empty())
        return {};
    QString answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString ScriptedDialogs::saveFile(QWidget* parent, const vkdc::FileRequest& request) {
    calls.push_back(QStringLiteral("saveFile"));
    fileAsks.push_back({true, request, parent});
    if (saveAnswers.empty())
        return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::message(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                              const QString& detail) {
    calls.push_back(QStringLiteral("message"));
    messages.push_back({icon, text, parent, detail});
    if (whileMessageShown)
        whileMessageShown(messages.back());
}

void ScriptedDialogs::openUrl(const QUrl& url) {
    calls.push_back(QStringLiteral("openUrl"));
    urls.push_back(url);
}

std::vector<QString> ScriptedDialogs::messageTexts() const {
    std::vector<QString> texts;
    for (const Message& m : messages)
        texts.push_back(m.text);
    return texts;
}

// ---- ModalWatcher ------------------------------------------------------------------------

ModalWatcher::ModalWatcher(Handler handler, int deadline_ms)
    : handler_(std::move(handler)), deadline_ms_(deadline_ms) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
}

ModalWatcher::~ModalWatcher() {
    timer_.stop();
}

void ModalWatcher::poll() {
    elapsed_ms_ += timer_.interval();
    if (done_) {
        // The handler said it closed the window; make sure, so a window that refuses to close
        // fails the test instead of hanging it in its event loop.
        if (!last_ || !last_->isVisible()) {
            timer_.stop();
        } else if (elapsed_ms_ - done_at_ms_ >= kCloseGraceMs) {
            forced_ = true;
            timer_.stop();
            last_->close();
        }
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != last_ && modal->isVisible()) {
        last_ = modal;
        ++seen_;
        if (handler_(modal)) {
            done_ = true;
            done_at_ms_ = elapsed_ms_;
            return;
        }
    }
    if (elapsed_ms_ >= deadline_ms_) {
        forced_ = true;
        done_ = true;
        timer_.stop();
        if (QWidget* open = QApplication::activeModalWidget())
            open->close();
    }
}

bool onX11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

bool showActive(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QString x11TextProperty(QWidget* window, const char* name) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return QStringLiteral("<not X11>");
    xcb_connection_t* connection = x11->connection();
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    if (!atom || atom->atom == XCB_ATOM_NONE) {
        std::free(atom);
        return QStringLiteral("<unset>");
    }
    xcb_get_property_reply_t* property = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(window->winId()), atom->atom,
                         XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    std::free(atom);
    QString value = QStringLiteral("<unset>");
    if (property && property->type != XCB_ATOM_NONE) {
        value = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(property)),
                                  xcb_get_property_value_length(property));
    }
    std::free(property);
    return value;
}

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return found;
}

// The 32-bit values of a property of `window`.
std::vector<uint32_t> x11Values(QWidget* window, xcb_atom_t property) {
    xcb_connection_t* connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(window->winId()), property,
                         XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
        nullptr);
    std::vector<uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

}  // namespace

QStringList x11AtomNames(QWidget* window, const char* name) {
    xcb_connection_t* connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    QStringList names;
    for (uint32_t atom : x11Values(window, internAtom(connection, name))) {
        xcb_get_atom_name_reply_t* reply =
            xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr);
        if (reply) {
            names << QString::fromLatin1(xcb_get_atom_name_name(reply),
                                         xcb_get_atom_name_name_length(reply));
        }
        std::free(reply);
    }
    return names;
}

WId x11TransientFor(QWidget* window) {
    const std::vector<uint32_t> values = x11Values(window, XCB_ATOM_WM_TRANSIENT_FOR);
    return values.empty() ? 0 : values.front();
}

void x11RequestClose(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const auto atom = [connection](const char* name) { return internAtom(connection, name); };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = static_cast<uint32_t>(XCB_CURRENT_TIME);
    xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

std::unique_ptr<QProcess> startXdotool(const QStringList& args) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (tool.isEmpty())
        return nullptr;
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(tool, args);
    return process;
}

bool haveXdotool() {
    return !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
}

void typeKey(QWidget* focus, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    if (!onX11()) {
        QTest::keyClick(focus, key, modifiers);
        return;
    }
    ASSERT_TRUE(key == Qt::Key_Return || key == Qt::Key_Enter) << "typeKey: no X11 name";
    const QString name =
        key == Qt::Key_Return ? QStringLiteral("Return") : QStringLiteral("KP_Enter");
    const std::unique_ptr<QProcess> xdotool = startXdotool({QStringLiteral("key"), name});
    ASSERT_NE(xdotool, nullptr) << "xdotool is not installed";
    EXPECT_TRUE(waitFor([&] { return xdotool->state() == QProcess::NotRunning; }, 10000));
    // The events reach us after xdotool has sent them: let them through.
    QTest::qWait(50);
}

bool waitFor(const std::function<bool()>& condition, int timeout_ms) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(5);
    }
    return true;
}

// ---- Files -------------------------------------------------------------------------------

bool runCli(const QStringList& args, QString* output) {
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(QStringLiteral(VKDC_CLI_PATH), args);
    if (!cli.waitForFinished(120000)) {
        if (output)
            *output = QStringLiteral("vkdc-cli did not finish: ") + cli.errorString();
        cli.kill();
        return false;
    }
    if (output)
        *output = QString::fromUtf8(cli.readAll());
    return cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
}

QString makeTemplate(const QString& dir, const QString& file_name, const QString& version,
                     QString* why) {
    const QString path = QDir(dir).filePath(file_name);
    QString output;
    if (!runCli({QStringLiteral("make-template"), version, path}, &output) ||
        !QFileInfo::exists(path)) {
        if (why)
            *why = QStringLiteral("vkdc-cli make-template %1: %2").arg(version, output);
        return {};
    }
    return path;
}

QString makeSample(const QString& path, const QString& version, QString* why) {
    QString output;
    if (!runCli({QStringLiteral("make-sample"), version, path}, &output) ||
        !QFileInfo::exists(path)) {
        if (why)
            *why = QStringLiteral("vkdc-cli make-sample %1: %2").arg(version, output);
        return {};
    }
    return path;
}

bool writeDatabase(const std::string& path, const DatabaseSpec& layout, std::string* why) {
    return writeDatabase(path, layout, layout.version, why);
}

bool writeDatabase(const std::string& path, const DatabaseSpec& layout,
                   const std::string& password_of, std::string* why) {
    jet::CreateOptions options;
    options.password = jet::fromUtf8(vkdc::passwordOfVersion(password_of));
    auto writer = jet::Writer::create(path, options);
    if (!writer.isOk()) {
        *why = writer.status().toString();
        return false;
    }
    for (const std::string& table : vkdc::tableNames()) {
        jet::TableSpec table_spec{table, {}};
        const std::vector<std::string> columns = vkdc::columnsOf(layout.version, table);
        for (const std::string& column : columns) {
            const auto narrow = layout.narrow.find(table + "." + column);
            const uint16_t length = narrow == layout.narrow.end() ? 255 : narrow->second;
            table_spec.columns.push_back({column, jet::ColumnType::kText, length});
        }
        jet::Status st = (*writer)->createTable(table_spec);
        if (!st.isOk()) {
            *why = st.toString();
            return false;
        }
        const auto rows = layout.rows.find(table);
        if (rows == layout.rows.end())
            continue;
        for (const auto& row : rows->second) {
            std::vector<jet::Value> values;
            for (size_t i = 0; i < columns.size(); ++i) {
                if (i < row.size() && row[i])
                    values.emplace_back(*row[i]);
                else
                    values.emplace_back(jet::Null{});
            }
            st = (*writer)->append(table, values);
            if (!st.isOk()) {
                *why = st.toString();
                return false;
            }
        }
    }
    const jet::Status st = (*writer)->close();
    if (!st.isOk())
        *why = st.toString();
    return st.isOk();
}

std::vector<testing_support::CsvRow> exportTable(const QString& file, const QString& table,
                                                 QString* why) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (tool.isEmpty()) {
        if (why)
            *why = QStringLiteral("mdb-export is not installed");
        return {};
    }
    QProcess process;
    process.start(tool, {file, table});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        if (why)
            *why = QStringLiteral("mdb-export %1 %2 failed: %3")
                       .arg(file, table, QString::fromUtf8(process.readAllStandardError()));
        return {};
    }
    std::vector<testing_support::CsvRow> rows;
    if (!testing_support::parseCsv(process.readAllStandardOutput().toStdString(), rows)) {
        if (why)
            *why = QStringLiteral("mdb-export output is not CSV");
        return {};
    }
    return rows;
}

std::string cell(const std::vector<testing_support::CsvRow>& table, size_t row,
                 const std::string& column) {
    if (table.empty() || row + 1 >= table.size())
        return "<no row>";
    const testing_support::CsvRow& header = table.front();
    for (size_t i = 0; i < header.size(); ++i) {
        if (header[i].text == column) {
            const testing_support::CsvRow& values = table[row + 1];
            return i < values.size() ? values[i].text : std::string();
        }
    }
    return "<no column " + column + ">";
}

bool fileExists(const QString& path) {
    return QFileInfo::exists(path);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

}  // namespace ui_test
