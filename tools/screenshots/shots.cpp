// vkdc-shots: pictures every window and message of the program for a person to look at.
// tools/screenshots.sh builds and runs it. Usage:
//   vkdc-shots OUT_DIR WORK_DIR SAMPLE_10 SAMPLE_20 [BIG_SAMPLE_20]
// OUT_DIR receives the PNGs; WORK_DIR is scratch space; the samples are sources made by
// `vkdc-cli make-sample`, the big one with enough rows to picture the progress bar. The
// templates are the ones beside the program. Runs the real windows with the real message
// boxes and file dialogs, grabbing each while it is open. On X11 (QT_QPA_PLATFORM=xcb) each
// picture is what the X server shows on the screen there, window frame included when a window
// manager runs; elsewhere it is the window's own rendering under a title strip of ours.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

#include "app/guide_window.h"
#include "app/main_window.h"
#include "jet/writer.h"
#include "narrow_template.h"
#include "store/version_pair.h"
#include "wizard/converter_window.h"
#include "wizard/dialogs.h"
#include "wizard/install_paths.h"
#include "wizard/ui_look.h"

namespace {

QDir g_out;
int g_failures = 0;

// The offscreen platform draws no window frames, so a window gets a plain title strip of our
// own: its caption shows (or shows to be empty) as a person would see it on a desktop.
QImage withTitleStrip(QWidget* window) {
    const QPixmap client = window->grab();
    const int strip = 24;
    QImage image(client.width(), client.height() + strip, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, image.width(), strip, QColor(0x3c, 0x4a, 0x5c));
    painter.setPen(Qt::white);
    QFont font = vkdc::ui::designFont();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(8, 0, image.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft,
                     window->windowTitle());
    painter.drawPixmap(0, strip, client);
    return image;
}

// What the X server shows where the window is, its frame included.
QImage fromScreen(QWidget* window) {
    QTest::qWait(300);  // let the window manager frame it and the window paint
    const QRect frame = window->frameGeometry();
    QScreen* screen = window->screen();
    return screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
}

bool onX11() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

void save(QWidget* widget, const QString& name) {
    QApplication::processEvents();
    const QString path = g_out.filePath(name + QStringLiteral(".png"));
    const QImage image = onX11() ? fromScreen(widget) : withTitleStrip(widget);
    if (image.save(path)) {
        std::printf("%s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "vkdc-shots: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

// Runs `inside` on the next modal window to come up, once it has been painted.
void onNextModal(std::function<void(QWidget*)> inside) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, inside] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QTest::qWait(50);
        inside(modal);
    });
    timer->start();
}

// The real dialogs, each pictured under the name set before the call that opens it. File
// dialogs are answered with `nextFile` (empty: cancel).
class PicturingDialogs : public vkdc::QtDialogs {
  public:
    QStringList shots;  // names for the next dialogs, in order; "" for no picture
    QString nextFile;

    QString openFile(QWidget* parent, const vkdc::FileRequest& request) override {
        answerFileDialog();
        return QtDialogs::openFile(parent, request);
    }
    QString saveFile(QWidget* parent, const vkdc::FileRequest& request) override {
        answerFileDialog();
        return QtDialogs::saveFile(parent, request);
    }
    using QtDialogs::message;
    void message(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                 const QString& detail) override {
        const QString name = take();
        onNextModal([name](QWidget* modal) {
            if (!name.isEmpty())
                save(modal, name);
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return;
            // A box with details is pictured once more with them open.
            if (!name.isEmpty() && !box->detailedText().isEmpty()) {
                for (QAbstractButton* button : box->buttons()) {
                    if (box->buttonRole(button) == QMessageBox::ActionRole) {
                        button->click();
                        save(modal, name + QStringLiteral("-details"));
                        break;
                    }
                }
            }
            box->button(QMessageBox::Ok)->click();
        });
        QtDialogs::message(parent, icon, text, detail);
    }
    void openUrl(const QUrl& url) override {
        std::printf("(would open %s in the browser)\n", qPrintable(url.toString()));
    }

  private:
    QString take() { return shots.isEmpty() ? QString() : shots.takeFirst(); }
    void answerFileDialog() {
        const QString name = take();
        const QString file = nextFile;
        nextFile.clear();
        onNextModal([name, file](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog)
                return;
            if (!name.isEmpty())
                save(dialog, name);
            if (file.isEmpty()) {
                dialog->reject();
                return;
            }
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            edit->setText(file);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    }
};

void showAndWait(QWidget* window) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        std::fprintf(stderr, "vkdc-shots: %s was not shown\n", qPrintable(window->objectName()));
}

QPushButton* button(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QLatin1String(name));
}
QLineEdit* edit(QWidget* window, const char* name) {
    return window->findChild<QLineEdit*>(QLatin1String(name));
}

}  // namespace

// Pictures `window` twice while it converts `source`: with the bar about a third full and
// about three quarters full, so its text shows over the empty and over the filled part.
void pictureProgress(vkdc::ConverterWindow& window, const QString& source, const QString& tag) {
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("Progress"));
    window.setProgressDelay(0);
    edit(&window, "Text1")->setText(source);
    // The bar is repainted from inside the conversion, where timers still run.
    auto* timer = new QTimer(&window);
    timer->setInterval(5);
    auto taken = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [&window, bar, tag, taken, timer] {
        if (!bar->isVisible() || bar->maximum() <= 0)
            return;
        const double part = double(bar->value()) / bar->maximum();
        if ((*taken == 0 && part >= 0.25 && part < 0.5) || (*taken == 1 && part >= 0.7)) {
            timer->stop();  // saving runs the event loop, and this timer with it
            save(&window, tag + (*taken == 0 ? QStringLiteral("-progress-third")
                                             : QStringLiteral("-progress-three-quarters")));
            if (++*taken < 2)
                timer->start();
        }
    });
    timer->start();
    button(&window, "ConvertDB")->click();
    timer->stop();
    if (*taken < 2)
        std::fprintf(stderr, "vkdc-shots: the conversion ended before the progress pictures\n");
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr,
                     "usage: vkdc-shots OUT_DIR WORK_DIR SAMPLE_10 SAMPLE_20 [BIG_SAMPLE_20]\n");
        return 2;
    }
    vkdc::ui::applyProgramLook(app);
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    g_out.mkpath(QStringLiteral("."));
    const QDir work(QString::fromLocal8Bit(argv[2]));
    work.mkpath(QStringLiteral("."));
    const QString sample10 = QString::fromLocal8Bit(argv[3]);
    const QString sample20 = QString::fromLocal8Bit(argv[4]);
    const QString big20 = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QString();

    PicturingDialogs dialogs;
    vkdc::MainWindow launcher(dialogs);
    showAndWait(&launcher);
    save(&launcher, QStringLiteral("launcher"));
    dialogs.shots << QStringLiteral("message-about");
    launcher.about();

    for (vkdc::PairId id : {vkdc::PairId::k10to20, vkdc::PairId::k20to30}) {
        const bool v12 = id == vkdc::PairId::k10to20;
        const QString tag = v12 ? QStringLiteral("vkdc12") : QStringLiteral("vkdc23");
        const QString sample = v12 ? sample10 : sample20;
        const QString other = v12 ? sample20 : sample10;

        vkdc::ConverterWindow window(id, dialogs, &launcher);
        window.setWorkDir(work.absolutePath());
        window.setGuideOpener(&vkdc::showGuide);
        showAndWait(&window);
        save(&window, tag + QStringLiteral("-before"));

        // The faults each window reports, one message each.
        dialogs.shots << QStringLiteral("message-no-source-path");
        button(&window, "ConvertDB")->click();
        dialogs.shots << tag + QStringLiteral("-message-wrong-version");
        edit(&window, "Text1")->setText(other);
        button(&window, "ConvertDB")->click();
        if (!v12) {
            QFile junk(work.filePath(QStringLiteral("junk.dbb")));
            junk.open(QIODevice::WriteOnly);
            junk.write(QByteArray(8192, 'x'));
            junk.close();
            // A database of a later Access format (the version byte of an .accdb file).
            const QString unsupported = work.filePath(QStringLiteral("later.accdb"));
            QFile::remove(unsupported);
            QFile::copy(sample, unsupported);
            QFile later(unsupported);
            if (later.open(QIODevice::ReadWrite) && later.seek(0x14))
                later.write("\x02", 1);
            later.close();
            const struct {
                QString path;
                const char* shot;
            } faults[] = {
                {work.filePath(QStringLiteral("missing.dbb")), "message-source-missing"},
                {work.absolutePath(), "message-source-unreadable"},
                {junk.fileName(), "message-source-invalid"},
                {unsupported, "message-source-unsupported"},
            };
            for (const auto& fault : faults) {
                dialogs.shots << QLatin1String(fault.shot);
                edit(&window, "Text1")->setText(fault.path);
                button(&window, "ConvertDB")->click();
            }
            edit(&window, "Text1")->clear();
            // An installation without its template.
            vkdc::ConverterWindow bare(id, dialogs, &launcher);
            bare.setWorkDir(work.absolutePath());
            bare.setTemplateDir(work.filePath(QStringLiteral("no-templates")));
            showAndWait(&bare);
            edit(&bare, "Text1")->setText(sample);
            dialogs.shots << QStringLiteral("message-template-missing");
            button(&bare, "ConvertDB")->click();
            bare.close();
        }

        // The conversion.
        dialogs.shots << tag + QStringLiteral("-dialog-open");
        dialogs.nextFile = sample;
        button(&window, "BrowseOpen")->click();
        save(&window, tag + QStringLiteral("-source-chosen"));
        dialogs.shots << QStringLiteral("message-converted");
        button(&window, "ConvertDB")->click();
        save(&window, tag + QStringLiteral("-after"));
        if (!v12) {
            onNextModal([](QWidget* guide) {
                save(guide, QStringLiteral("guide"));
                guide->close();
            });
            QTest::keyClick(edit(&window, "Text2"), Qt::Key_F1);
        }
        dialogs.shots << tag + QStringLiteral("-dialog-save");
        dialogs.nextFile = work.filePath(QStringLiteral("no-such-folder/") + tag + ".dbb");
        button(&window, "BrowseSave")->click();
        dialogs.shots << QStringLiteral("message-save-failed");
        button(&window, "SaveDB")->click();
        edit(&window, "Text2")->clear();
        dialogs.shots << QStringLiteral("message-no-destination");
        button(&window, "SaveDB")->click();
        dialogs.nextFile = work.filePath(tag + QStringLiteral("-converted.dbb"));
        button(&window, "BrowseSave")->click();
        save(&window, tag + QStringLiteral("-destination-chosen"));
        dialogs.shots << QStringLiteral("message-saved");
        button(&window, "SaveDB")->click();

        if (!v12) {
            // Rows that a template cannot hold.
            const QString narrow_dir = work.filePath(QStringLiteral("narrow"));
            QDir().mkpath(narrow_dir);
            const auto& pair = vkdc::versionPair(id);
            if (shots::writeNarrowTemplate(
                    QFile::encodeName(narrow_dir + QLatin1Char('/') +
                                      QString::fromStdString(pair.template_file))
                        .toStdString(),
                    pair.target_version)) {
                vkdc::ConverterWindow lossy(id, dialogs, &launcher);
                lossy.setWorkDir(work.absolutePath());
                lossy.setTemplateDir(narrow_dir);
                lossy.show();
                edit(&lossy, "Text1")->setText(sample);
                dialogs.shots << QString() << QStringLiteral("message-rows-lost");
                button(&lossy, "ConvertDB")->click();
                lossy.close();
            }
            if (!big20.isEmpty()) {
                vkdc::ConverterWindow busy(id, dialogs, &launcher);
                busy.setWorkDir(work.absolutePath());
                showAndWait(&busy);
                dialogs.shots << QString();
                pictureProgress(busy, big20, tag);
                busy.close();
            }
        }
    }
    return g_failures == 0 ? 0 : 1;
}
