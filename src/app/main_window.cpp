#include "app/main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>

#include "app/guide_window.h"
#include "wizard/converter_window.h"
#include "wizard/dialogs.h"
#include "wizard/line_widget.h"
#include "wizard/ui_look.h"

namespace vkdc {

const QString Maker::kAuthor = QStringLiteral("Velkor Tools Team");
const QString Maker::kEmail = QStringLiteral("support@velkor.example");
const QString Maker::kWebHost = QStringLiteral("www.velkor.example");
const QString Maker::kWebUrl = QStringLiteral("https://www.velkor.example");

namespace {

using ui::twipsRect;

// The client area: the Window system colour with the banner unscaled at its top-left corner.
class LauncherClient : public QWidget {
  public:
    explicit LauncherClient(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("MainClient"));
        banner_ = ui::installedPicture(QStringLiteral("banner-main.png"));
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::Base));
        setPalette(palette);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (banner_.isNull())
            return;
        QPainter painter(this);
        painter.drawPixmap(0, 0, banner_);
    }

  private:
    QPixmap banner_;
};

QPushButton* makeLauncherButton(const QString& name, const QString& caption, QRect geometry,
                                QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFont(ui::designFont(ui::kLauncherButtonPoints));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Velkor Database Convert"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(ui::designFont(ui::kWindowPoints));
    setWindowIcon(ui::programIcon({16}));

    auto* about_action = new QAction(QStringLiteral(" درباره "), this);
    about_action->setObjectName(QStringLiteral("About"));
    menuBar()->addAction(about_action);
    connect(about_action, &QAction::triggered, this, &MainWindow::about);

    auto* client = new LauncherClient(this);
    const QSize client_size(ui::px(6375), ui::px(5355));
    client->setFixedSize(client_size);
    setCentralWidget(client);

    auto* command1 = makeLauncherButton(QStringLiteral("Command1"),
                                        QStringLiteral("تبديل بانک نسخه 1 به نسخه 2"),
                                        twipsRect(1200, 1920, 3975, 1215), client);
    auto* command2 = makeLauncherButton(QStringLiteral("Command2"),
                                        QStringLiteral("تبديل بانک نسخه 2 به نسخه 3"),
                                        twipsRect(1200, 3480, 3975, 1215), client);
    auto* label2 = new QLabel(QStringLiteral("© ") + Maker::kWebHost, client);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(twipsRect(120, 5040, 1455, 255));
    label2->setFont(ui::designFont(ui::kWindowPoints));
    QPalette palette = label2->palette();
    palette.setColor(QPalette::WindowText, ui::fromBgr(0x404040));
    label2->setPalette(palette);
    ui::widenToText(label2, client_size.width());
    new ui::LineWidget(QStringLiteral("Line1"), QPoint(-120, 1560), QPoint(6480, 1560), 1,
                       ui::fromBgr(0xE0E0E0), client);

    setTabOrder(command1, command2);
    connect(command1, &QPushButton::clicked, this, &MainWindow::openConverter12);
    connect(command2, &QPushButton::clicked, this, &MainWindow::openConverter23);

    // The menu bar lies inside the window, above the designed client area.
    setFixedSize(client_size.width(), client_size.height() + menuBar()->sizeHint().height());
    command1->setFocus();
    ui::centreOnScreen(this);

    end_program_ = [this] {
        close();
        QCoreApplication::quit();
    };
}

MainWindow::~MainWindow() = default;

ConverterWindow* MainWindow::converter(PairId pair) const {
    return pair == PairId::k10to20 ? vkdc12_ : vkdc23_;
}

QString MainWindow::aboutText() {
    return QStringLiteral("Velkor Database Convert\n\nCoding By ") + Maker::kAuthor +
           QStringLiteral("\nEmail: ") + Maker::kEmail + QStringLiteral("\nWebsite: ") +
           Maker::kWebHost;
}

void MainWindow::openConverter12() {
    openConverter(PairId::k10to20);
}
void MainWindow::openConverter23() {
    openConverter(PairId::k20to30);
}

// Created on first use and kept; each showing reloads the window from its design.
void MainWindow::openConverter(PairId pair) {
    ConverterWindow*& window = pair == PairId::k10to20 ? vkdc12_ : vkdc23_;
    if (!window) {
        window = new ConverterWindow(pair, dialogs_, this);
        window->setGuideOpener(&showGuide);
        if (converter_setup_)
            converter_setup_(*window);
    }
    bool end = false;
    const auto connection =
        connect(window, &ConverterWindow::programEndRequested, this, [&end] { end = true; });
    window->exec();
    disconnect(connection);
    if (end && end_program_)
        end_program_();
}

void MainWindow::about() {
    dialogs_.message(this, QMessageBox::Information, aboutText());
    dialogs_.openUrl(QUrl(Maker::kWebUrl));
}

}  // namespace vkdc
