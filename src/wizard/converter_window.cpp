#include "wizard/converter_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

#include "convert/converter_texts.h"
#include "wizard/design_controls.h"
#include "wizard/dialogs.h"
#include "wizard/key_preview.h"
#include "wizard/ui_look.h"

namespace vkdc {
namespace {

using ui::twipsRect;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string toStd(const QString& text) {
    return text.toStdString();
}

QPushButton* makeButton(const QString& name, const QString& caption, QRect geometry,
                        QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);  // Enter has no window-wide meaning
    button->setDefault(false);
    return button;
}

QLineEdit* makePathBox(const QString& name, QRect geometry, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setFont(ui::designFont(ui::kFramePoints));
    // A path reads left to right, whatever the frame around it does.
    box->setLayoutDirection(Qt::LeftToRight);
    return box;
}

QLabel* makeLabel(const QString& name, const QString& caption, QRect geometry, QWidget* parent) {
    auto* label = new ui::CaptionLabel(name, caption, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignTop);
    label->setFont(ui::designFont(ui::kWindowPoints));
    return label;
}

// A hidden flag label: never shown, keeps the Highlight colour and right alignment.
QLabel* makeFlagLabel(const QString& name, QRect geometry, QWidget* parent) {
    QLabel* label = makeLabel(name, texts::kNotYet, geometry, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Highlight));
    label->setPalette(palette);
    label->hide();
    return label;
}

QLineEdit* makeBoundBox(const QString& name, const QString& control, const QString& column,
                        QRect geometry, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setFocusPolicy(Qt::NoFocus);
    box->setProperty("DataSource", control);
    box->setProperty("DataField", column);
    return box;
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

void ConverterWindow::build() {
    const ConverterTexts& own = presenter_.texts();
    setObjectName(own.window);
    setWindowTitle(own.caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(ui::designFont(ui::kWindowPoints));
    setWindowIcon(ui::programIcon({16}));
    setFixedSize(ui::px(5655), ui::px(4815));

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(twipsRect(120, 0, 5415, 840));
    image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop | Qt::AlignAbsolute);
    image1_->setPixmap(ui::installedPicture(own.banner));

    // Step 1: the source. The frames read right to left, so their captions sit at the right.
    auto* frame1 = new ui::FrameBox(QStringLiteral("Vel_Frame1"), texts::kStep1Frame, this);
    frame1->setGeometry(twipsRect(120, 960, 5415, 1815));
    frame1->setFont(ui::designFont(ui::kFramePoints));
    frame1->setLayoutDirection(Qt::RightToLeft);
    // Created before the path box, so the box lies over the label's spare left edge.
    makeLabel(QStringLiteral("Label5"), texts::kFileLabel, twipsRect(4680, 400, 495, 255), frame1);
    text1_ = makePathBox(QStringLiteral("Text1"), twipsRect(1200, 360, 3570, 375), frame1);
    browse_open_ = makeButton(QStringLiteral("BrowseOpen"), texts::kBrowse,
                              twipsRect(240, 350, 975, 400), frame1);
    convert_db_ = makeButton(QStringLiteral("ConvertDB"), texts::kConvert,
                             twipsRect(1560, 960, 2175, 615), frame1);
    label3_ = makeFlagLabel(QStringLiteral("Label3"), twipsRect(240, 1320, 4935, 255), frame1);
    for (QWidget* w : {static_cast<QWidget*>(browse_open_), static_cast<QWidget*>(convert_db_)})
        w->setFont(ui::designFont(ui::kWindowPoints));

    progress_ = new QProgressBar(frame1);
    progress_->setObjectName(QStringLiteral("Progress"));
    progress_->setGeometry(twipsRect(240, 1020, 4935, 495));
    progress_->setFocusPolicy(Qt::NoFocus);
    progress_->setTextVisible(true);
    progress_->hide();

    // Step 2: the destination.
    auto* frame3 = new ui::FrameBox(QStringLiteral("Vel_Frame3"), texts::kStep2Frame, this);
    frame3->setGeometry(twipsRect(120, 2880, 5415, 1815));
    frame3->setFont(ui::designFont(ui::kFramePoints));
    frame3->setLayoutDirection(Qt::RightToLeft);
    makeLabel(QStringLiteral("Label6"), texts::kAddressLabel, twipsRect(4680, 400, 495, 255),
              frame3);
    text2_ = makePathBox(QStringLiteral("Text2"), twipsRect(1200, 360, 3485, 375), frame3);
    browse_save_ = makeButton(QStringLiteral("BrowseSave"), texts::kBrowse,
                              twipsRect(240, 350, 975, 400), frame3);
    save_db_ =
        makeButton(QStringLiteral("SaveDB"), texts::kSave, twipsRect(1560, 960, 2175, 615), frame3);
    label1_ = makeFlagLabel(QStringLiteral("Label1"), twipsRect(240, 1320, 4935, 255), frame3);
    for (QWidget* w : {static_cast<QWidget*>(browse_save_), static_cast<QWidget*>(save_db_)})
        w->setFont(ui::designFont(ui::kWindowPoints));

    // The analysis has a button of its own that the user never sees; ConvertDB runs it.
    analysis_db_ = makeButton(QStringLiteral("AnalysisDB"), texts::kAnalyse,
                              twipsRect(5880, 4080, 1335, 495), this);
    analysis_db_->setFocusPolicy(Qt::NoFocus);
    analysis_db_->hide();

    buildTableFrames();

    setTabOrder(text1_, browse_open_);
    setTabOrder(browse_open_, convert_db_);
    setTabOrder(convert_db_, text2_);
    setTabOrder(text2_, browse_save_);
    setTabOrder(browse_save_, save_db_);

    connect(browse_open_, &QPushButton::clicked, this, &ConverterWindow::browseOpen);
    connect(analysis_db_, &QPushButton::clicked, this, &ConverterWindow::analyse);
    connect(convert_db_, &QPushButton::clicked, this, &ConverterWindow::convertDatabase);
    connect(browse_save_, &QPushButton::clicked, this, &ConverterWindow::browseSave);
    connect(save_db_, &QPushButton::clicked, this, &ConverterWindow::saveDatabase);
}

// The four table frames lie outside the client area and stay hidden. They hold, by name, what
// the design binds there: the table's two data controls, a box per column on each side
// (DataSource and DataField say what it stands for) and the table operation's button.
void ConverterWindow::buildTableFrames() {
    const QPoint origins[4] = {{5880, 0}, {11040, 0}, {5880, 4800}, {11040, 4800}};
    const VersionPair& pair = presenter_.pair();
    for (size_t t = 0; t < pair.tables.size(); ++t) {
        const TablePair& table = pair.tables[t];
        const QString table_name = fromStd(table.table);
        auto* frame = new ui::FrameBox(fromStd(table.frame), table_name, this);
        const QPoint origin = origins[t];
        frame->setGeometry(twipsRect(origin.x(), origin.y(), 4935, 4695));
        frame->setFocusPolicy(Qt::NoFocus);

        const QString old_control = fromStd(table.old_control);
        const QString new_control = fromStd(table.new_control);
        new DataControlView(old_control, table_name, false, frame);
        new DataControlView(new_control, table_name, true, frame);

        int row = 0;
        for (const FieldPair& field : table.fields) {
            const int top = 240 + row * 270;
            if (field.old_box) {
                makeBoundBox(fromStd(*field.old_box), old_control, fromStd(*field.source_column),
                             twipsRect(120, top, 2280, 255), frame);
            }
            makeBoundBox(fromStd(field.new_box), new_control, fromStd(field.target_column),
                         twipsRect(2520, top, 2280, 255), frame);
            ++row;
        }
        QPushButton* op = makeButton(fromStd(table.operation), fromStd(table.operation),
                                     twipsRect(120, 4320, 2280, 255), frame);
        op->setFocusPolicy(Qt::NoFocus);
        frame->hide();
    }
}

void ConverterWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        presenter_.load();
        ui::centreOnScreen(this);
    }
    QDialog::showEvent(event);
    if (!event->spontaneous())
        presenter_.shown();
}

// Every way the window closes (Esc, the close button, the unload after a save) comes here; the
// presenter keeps it open while a conversion runs.
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
    switch (control) {
        case Control::kText1:
            return text1_;
        case Control::kBrowseOpen:
            return browse_open_;
        case Control::kConvertDB:
            return convert_db_;
        case Control::kAnalysisDB:
            return analysis_db_;
        case Control::kLabel3:
            return label3_;
        case Control::kText2:
            return text2_;
        case Control::kBrowseSave:
            return browse_save_;
        case Control::kSaveDB:
            return save_db_;
        case Control::kLabel1:
            return label1_;
        case Control::kProgress:
            return progress_;
    }
    return nullptr;
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
    if (maximum == 0) {
        progress_->reset();
        return;
    }
    progress_->setMaximum(maximum);
    progress_->setValue(value);
}

// Only paint and timer events are let through: the window takes no input until the work ends.
void ConverterWindow::paintNow() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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
