#include "app/main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>

#include "app/guide_window.h"
#include "convert/window_design.h"
#include "wizard/converter_window.h"
#include "wizard/design_build.h"
#include "wizard/dialogs.h"
#include "wizard/ui_look.h"

namespace vkdc {

namespace {

// The client area: the design's background colour with its picture unscaled at the top-left
// corner.
class LauncherClient : public QWidget {
  public:
    LauncherClient(const WindowDesign& design, QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("MainClient"));
        banner_ = ui::installedPicture(QString::fromStdString(design.picture));
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, ui::designColour(design.background, palette));
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

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), presenter_(*this) {
    const WindowDesign& design = launcherDesign();
    ui::applyWindowDesign(this, design);

    for (const MenuItemDesign& item : design.menu) {
        auto* action = new QAction(QString::fromStdString(item.caption), this);
        action->setObjectName(QString::fromStdString(item.name));
        menuBar()->addAction(action);
    }
    if (auto* about_action = findChild<QAction*>(QStringLiteral("About")))
        connect(about_action, &QAction::triggered, this, &MainWindow::about);

    auto* client = new LauncherClient(design, this);
    const QSize client_size(ui::px(design.clientWidth), ui::px(design.clientHeight));
    client->setFixedSize(client_size);
    setCentralWidget(client);
    ui::buildControls(design, client);

    auto* command1 = client->findChild<QPushButton*>(QStringLiteral("Command1"));
    auto* command2 = client->findChild<QPushButton*>(QStringLiteral("Command2"));
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

void MainWindow::openConverter12() {
    presenter_.openConverter(PairId::k10to20);
}

void MainWindow::openConverter23() {
    presenter_.openConverter(PairId::k20to30);
}

void MainWindow::about() {
    presenter_.about();
}

// ---- The view ----------------------------------------------------------------------------

void MainWindow::createConverter(PairId pair) {
    ConverterWindow*& window = pair == PairId::k10to20 ? vkdc12_ : vkdc23_;
    window = new ConverterWindow(pair, dialogs_, this);
    window->setGuideOpener(&showGuide);
    if (converter_setup_)
        converter_setup_(*window);
}

bool MainWindow::runConverter(PairId pair) {
    ConverterWindow* window = converter(pair);
    bool end = false;
    const auto connection =
        connect(window, &ConverterWindow::programEndRequested, this, [&end] { end = true; });
    window->exec();
    disconnect(connection);
    return end;
}

void MainWindow::showAbout(const std::string& text) {
    dialogs_.message(this, QMessageBox::Information, QString::fromStdString(text));
}

void MainWindow::openSite(const std::string& url) {
    dialogs_.openUrl(QUrl(QString::fromStdString(url)));
}

void MainWindow::endProgram() {
    if (end_program_)
        end_program_();
}

}  // namespace vkdc
