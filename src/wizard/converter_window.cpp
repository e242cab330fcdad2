#include "wizard/converter_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

#include "convert/window_design.h"
#include "wizard/busy_input.h"
#include "wizard/design_build.h"
#include "wizard/dialogs.h"
#include "wizard/key_preview.h"
#include "wizard/ui_look.h"
#include "wizard/x11_window.h"

namespace vkdc {
namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string toStd(const QString& text) {
    return text.toStdString();
}

}  // namespace

DataControlView::DataControlView(const QString& name, const QString& table_name, bool new_side,
                                 QObject* parent)
    : QObject(parent), table(table_name), newSide(new_side) {
    setObjectName(name);
}

ConverterWindow::ConverterWindow(PairId pair, Dialogs& dialogs, QWidget* owner)
    : QDialog(owner), dialogs_(dialogs), presenter_(pair, *this) {
    build();
    presenter_.load();

    auto* keys = new KeyPreview(this);
    keys->onKey(Qt::Key_Escape, [this] { reject(); });
    keys->onKey(Qt::Key_F1, [this] { presenter_.help(); });
    // Made after the key preview, so that it sees every key first.
    new ui::BusyInput(this, [this] { return presenter_.busy(); });
}

ConverterWindow::~ConverterWindow() = default;

void ConverterWindow::setTemplateDir(const QString& dir) {
    presenter_.setTemplateDir(toStd(dir));
}

QString ConverterWindow::templateDir() const {
    return fromStd(presenter_.templateDir());
}

void ConverterWindow::setWorkDir(const QString& dir) {
    presenter_.setWorkDir(toStd(dir));
}

void ConverterWindow::setProgressDelay(int ms) {
    presenter_.setProgressDelay(std::chrono::milliseconds(ms));
}

// The design's controls, then a stand-in for each data control in its table frame.
void ConverterWindow::build() {
    const WindowDesign& design = converterDesign(pairId());
    ui::applyWindowDesign(this, design);
    setFixedSize(ui::px(design.clientWidth), ui::px(design.clientHeight));
    ui::buildControls(design, this);

    for (const ControlDesign& control : design.controls) {
        if (control.kind != ControlKind::kDataControl)
            continue;
        for (const TablePair& table : presenter_.pair().tables) {
            const bool new_side = control.name == table.new_control;
            if (!new_side && control.name != table.old_control)
                continue;
            auto* frame = findChild<QWidget*>(fromStd(control.container));
            new DataControlView(fromStd(control.name), fromStd(table.table), new_side,
                                frame ? frame : this);
        }
    }

    for (Control c : {Control::kText1, Control::kBrowseOpen, Control::kConvertDB,
                      Control::kAnalysisDB, Control::kLabel3, Control::kText2, Control::kBrowseSave,
                      Control::kSaveDB, Control::kLabel1, Control::kProgress})
        widgets_[static_cast<size_t>(c)] = findChild<QWidget*>(QLatin1String(controlName(c)));

    connect(button(Control::kBrowseOpen), &QPushButton::clicked, this,
            &ConverterWindow::browseOpen);
    connect(button(Control::kAnalysisDB), &QPushButton::clicked, this, &ConverterWindow::analyse);
    connect(button(Control::kConvertDB), &QPushButton::clicked, this,
            &ConverterWindow::convertDatabase);
    connect(button(Control::kBrowseSave), &QPushButton::clicked, this,
            &ConverterWindow::browseSave);
    connect(button(Control::kSaveDB), &QPushButton::clicked, this, &ConverterWindow::saveDatabase);
}

QPushButton* ConverterWindow::button(Control control) const {
    return qobject_cast<QPushButton*>(widget(control));
}

void ConverterWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        presenter_.load();
        ui::centreOnScreen(this);
    }
    QDialog::showEvent(event);
    ui::markAsDialogOnX11(this);
    if (!event->spontaneous())
        presenter_.shown();
}

// Every way the window closes (Esc, the close button, the unload after a save) comes here. While
// a conversion runs the presenter stops it and keeps the window until it has unwound; then it
// unloads the window, which comes here again.
void ConverterWindow::done(int result) {
    if (!presenter_.close())
        return;
    QDialog::done(result);
}

void ConverterWindow::browseOpen() {
    presenter_.browseOpen();
}

void ConverterWindow::analyse() {
    presenter_.analyse();
}

void ConverterWindow::convertDatabase() {
    presenter_.convert();
}

void ConverterWindow::browseSave() {
    presenter_.browseSave();
}

void ConverterWindow::saveDatabase() {
    presenter_.save();
}

void ConverterWindow::showGuide() {
    if (guide_opener_)
        guide_opener_(this);
}

// ---- The view ----------------------------------------------------------------------------

QWidget* ConverterWindow::widget(Control control) const {
    return widgets_[static_cast<size_t>(control)];
}

void ConverterWindow::setControlEnabled(Control control, bool enabled) {
    widget(control)->setEnabled(enabled);
}

void ConverterWindow::setControlVisible(Control control, bool visible) {
    widget(control)->setVisible(visible);
}

void ConverterWindow::setControlText(Control control, const std::string& text) {
    QWidget* w = widget(control);
    if (auto* box = qobject_cast<QLineEdit*>(w)) {
        if (text.empty())
            box->clear();
        else
            box->setText(fromStd(text));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(fromStd(text));
    }
}

std::string ConverterWindow::controlText(Control control) const {
    if (auto* box = qobject_cast<QLineEdit*>(widget(control)))
        return toStd(box->text());
    if (auto* label = qobject_cast<QLabel*>(widget(control)))
        return toStd(label->text());
    return {};
}

void ConverterWindow::focusControl(Control control) {
    widget(control)->setFocus();
}

void ConverterWindow::showMessage(const Message& message) {
    const QMessageBox::Icon icon =
        message.icon == MessageIcon::kInformation ? QMessageBox::Information : QMessageBox::Warning;
    dialogs_.message(this, icon, fromStd(message.text), fromStd(message.detail));
}

std::string ConverterWindow::askPath(const PathRequest& request) {
    FileRequest file;
    file.objectName = fromStd(request.objectName);
    file.title = fromStd(request.title);
    file.initialPath = fromStd(request.initialPath);
    file.folder = fromStd(request.folder);
    file.filterName = fromStd(request.filterName);
    for (const std::string& pattern : request.patterns)
        file.patterns << fromStd(pattern);
    return toStd(request.save ? dialogs_.saveFile(this, file) : dialogs_.openFile(this, file));
}

void ConverterWindow::showProgress(int value, int maximum) {
    auto* bar = qobject_cast<QProgressBar*>(widget(Control::kProgress));
    if (maximum == 0) {
        bar->reset();
        return;
    }
    bar->setMaximum(maximum);
    bar->setValue(value);
}

// Painting and timers, and of the input only what BusyInput lets through while the presenter is
// busy: Esc and the close request, which stop the work.
void ConverterWindow::paintNow() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ConverterWindow::showConnection(const std::string& control, const std::string& connection,
                                     const std::string& record_source) {
    if (auto* view = findChild<DataControlView*>(fromStd(control))) {
        view->connectionString = fromStd(connection);
        view->recordSource = fromStd(record_source);
    }
}

void ConverterWindow::openGuide() {
    showGuide();
}

void ConverterWindow::unload() {
    done(QDialog::Accepted);
}

void ConverterWindow::endProgram() {
    emit programEndRequested();
}

}  // namespace vkdc
