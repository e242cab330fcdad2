#include "wizard/converter_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

#include "store/data_control.h"
#include "wizard/converter_texts.h"
#include "wizard/design_controls.h"
#include "wizard/dialogs.h"
#include "wizard/install_paths.h"
#include "wizard/key_preview.h"
#include "wizard/ui_look.h"

namespace vkdc {
namespace {

using ui::twipsRect;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

std::string toPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
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
    : QDialog(owner),
      pair_(vkdc::versionPair(pair)),
      texts_(converterTexts(pair)),
      dialogs_(dialogs) {
    build();
    load();

    auto* keys = new KeyPreview(this);
    keys->onKey(Qt::Key_Escape, [this] {
        if (!busy_)
            reject();
    });
    keys->onKey(Qt::Key_F1, [this] {
        if (!busy_)
            showGuide();
    });
}

ConverterWindow::~ConverterWindow() = default;

QString ConverterWindow::templateDir() const {
    if (!template_dir_.isEmpty())
        return template_dir_;
    return dataFolderOf(fromStd(pair_.template_file));
}

void ConverterWindow::build() {
    setObjectName(texts_.window);
    setWindowTitle(texts_.caption);
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
    image1_->setPixmap(ui::installedPicture(texts_.banner));

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
    for (size_t t = 0; t < pair_.tables.size(); ++t) {
        const TablePair& table = pair_.tables[t];
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

// Puts every control in its design state: each showing starts afresh.
void ConverterWindow::load() {
    conversion_.reset();
    report_ = {};
    busy_ = false;
    progress_shown_ = 0;
    open_file_name_ = texts_.openFileName;
    save_file_name_ = texts::kSaveFileName;

    text1_->clear();
    text1_->setEnabled(true);
    browse_open_->setEnabled(true);
    convert_db_->setEnabled(true);
    convert_db_->show();
    analysis_db_->setEnabled(true);
    label3_->setText(texts::kNotYet);
    text2_->clear();
    text2_->setEnabled(false);
    browse_save_->setEnabled(false);
    save_db_->setEnabled(false);
    label1_->setText(texts::kNotYet);
    progress_->hide();
    progress_->reset();

    for (DataControlView* control : findChildren<DataControlView*>()) {
        control->connectionString.clear();
        control->recordSource.clear();
    }
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        if (box->property("DataField").isValid())
            box->clear();
    }
    browse_open_->setFocus();
}

void ConverterWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        load();
        ui::centreOnScreen(this);
    }
    QDialog::showEvent(event);
    if (!event->spontaneous())
        browse_open_->setFocus();
}

void ConverterWindow::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();  // the conversion takes no other input until it ends
        return;
    }
    QDialog::closeEvent(event);
}

// Unloading drops the conversion, which deletes its working copy of the template.
void ConverterWindow::done(int result) {
    if (busy_)
        return;
    conversion_.reset();
    QDialog::done(result);
}

void ConverterWindow::message(int icon, const QString& text, const QString& detail) {
    dialogs_.message(this, static_cast<QMessageBox::Icon>(icon), text, detail);
}

void ConverterWindow::browseOpen() {
    text1_->clear();
    FileRequest request;
    request.objectName = QStringLiteral("Opens");
    request.title = texts_.openTitle;
    request.initialPath = open_file_name_;
    request.folder = texts::kDesignFolder;
    request.filterName = texts::kOpenFilterName;
    request.patterns = {QStringLiteral("*.mdb"), QStringLiteral("*.dbb")};
    const QString chosen = dialogs_.openFile(this, request);
    // A cancel keeps what the dialog held before: the preset name or the last choice.
    if (!chosen.isEmpty())
        open_file_name_ = chosen;
    text1_->setText(open_file_name_);
    if (text1_->text() == texts_.openFileName)
        text1_->clear();
    else
        analysis_db_->setEnabled(true);
}

void ConverterWindow::analyse() {
    if (text1_->text().isEmpty()) {
        message(QMessageBox::Warning, texts::kNoSourcePath);
        text1_->setFocus();
        return;
    }
    if (!conversion_) {
        conversion_ = std::make_unique<Conversion>(pair_, toPath(templateDir()), toPath(work_dir_));
    }
    const Outcome outcome = conversion_->analyse(toPath(text1_->text()));
    if (!outcome.ok()) {
        // Step 1 stays open, so another source can be chosen.
        message(QMessageBox::Warning, sourceProblemText(outcome), fromStd(outcome.detail));
        text1_->setFocus();
        return;
    }
    // Mirror what the core set on its data controls, so they can be inspected by name.
    for (DataControlView* view : findChildren<DataControlView*>()) {
        if (const DataControl* control = conversion_->control(view->objectName().toStdString())) {
            view->connectionString = fromStd(control->ConnectionString());
            view->recordSource = fromStd(control->RecordSource());
        }
    }
    label3_->setText(texts::kAnalysed);
    text1_->setEnabled(false);
    browse_open_->setEnabled(false);
}

void ConverterWindow::convertDatabase() {
    analyse();
    if (label3_->text() != texts::kAnalysed || !conversion_)
        return;

    busy_ = true;
    work_clock_.start();
    paint_clock_.invalidate();
    report_ = {};
    const Outcome outcome = conversion_->convert(
        report_, [this](uint64_t done, uint64_t total) { onProgress(done, total); });
    if (progress_->isVisible()) {
        progress_->hide();
        convert_db_->show();
    }
    busy_ = false;

    if (outcome.problem == Problem::kTooLarge) {
        // Nothing can be kept: no completion message, and step 2 stays closed.
        message(QMessageBox::Warning, texts::kTooLarge);
        convert_db_->setEnabled(false);
        return;
    }
    message(QMessageBox::Information, texts::kConverted);
    if (!outcome.ok() || report_.totalLost() > 0)
        message(QMessageBox::Warning, texts::kRowsLost, rowsLostDetail(outcome));
    convert_db_->setEnabled(false);
    text2_->setEnabled(true);
    browse_save_->setEnabled(true);
}

// Shows the bar once the work has run past the delay, and repaints it now and then. Only
// paint and timer events are let through: the window takes no input until the work ends.
void ConverterWindow::onProgress(uint64_t done, uint64_t total) {
    if (!progress_->isVisible()) {
        if (work_clock_.elapsed() < progress_delay_ms_ || total == 0)
            return;
        convert_db_->hide();
        progress_->show();
        ++progress_shown_;
    }
    // Scale to what a QProgressBar's int range holds.
    const uint64_t scale = std::max<uint64_t>(1, total / 1000000 + 1);
    progress_->setMaximum(static_cast<int>(total / scale));
    progress_->setValue(static_cast<int>(std::min(done, total) / scale));
    if (done < total && paint_clock_.isValid() && paint_clock_.elapsed() < 40)
        return;
    paint_clock_.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ConverterWindow::browseSave() {
    text2_->clear();
    FileRequest request;
    request.objectName = QStringLiteral("Saves");
    request.title = texts_.saveTitle;
    request.initialPath = save_file_name_;
    request.folder = texts::kDesignFolder;
    request.filterName = texts_.saveFilterName;
    request.patterns = {QStringLiteral("*.dbb")};
    const QString chosen = dialogs_.saveFile(this, request);
    if (!chosen.isEmpty())
        save_file_name_ = chosen;
    text2_->setText(save_file_name_);
    if (text2_->text() == texts::kSaveFileName)
        text2_->clear();
    else
        save_db_->setEnabled(true);
}

void ConverterWindow::saveDatabase() {
    // Blanks or a relative path name no place the user chose: they would land in whatever the
    // working folder happens to be.
    const QString dest = text2_->text();
    if (dest.trimmed().isEmpty() || !QDir::isAbsolutePath(dest)) {
        message(QMessageBox::Warning, texts::kNoDestination);
        return;
    }
    Outcome outcome;
    if (conversion_) {
        outcome = conversion_->save(toPath(dest));
    } else {
        outcome.problem = Problem::kNotAnalysed;
        outcome.detail = problemName(Problem::kNotAnalysed);
    }
    if (!outcome.ok()) {
        // Nothing was replaced; the window stays so that another path can be tried.
        message(QMessageBox::Warning, texts::kSaveFailed, fromStd(outcome.detail));
        return;
    }
    label1_->setText(texts::kSaved);
    message(QMessageBox::Information, texts::kSavedMessage);
    done(QDialog::Accepted);
    emit programEndRequested();
}

void ConverterWindow::showGuide() {
    if (guide_opener_)
        guide_opener_(this);
}

QString ConverterWindow::sourceProblemText(const Outcome& outcome) const {
    switch (outcome.problem) {
        case Problem::kEmptyPath:  // blanks only: no file has such a name
        case Problem::kSourceMissing:
            return texts::kSourceMissing;
        case Problem::kSourceUnreadable:
            return texts::kSourceUnreadable;
        case Problem::kSourceInvalid:
            return texts::kSourceInvalid;
        case Problem::kSourceUnsupported:
            return texts::kSourceUnsupported;
        case Problem::kSourceWrongVersion:
            return texts_.wrongVersion;
        case Problem::kTemplateMissing:
        case Problem::kTemplateInvalid:
            return texts::kTemplateMissing;
        default:
            break;
    }
    return texts::kSourceInvalid;
}

// The details of the lost-rows warning: one line per table with the number of rows that did
// not reach the new database, whether they failed to store or could not be read from a
// damaged source, each followed by the first reasons.
QString ConverterWindow::rowsLostDetail(const Outcome& outcome) const {
    QStringList lines;
    for (const TableReport& table : report_.tables) {
        lines << QStringLiteral("%1: %2").arg(fromStd(table.table)).arg(table.lost());
        for (const std::string& reason : table.reasons)
            lines << QStringLiteral("  ") + fromStd(reason);
    }
    if (outcome.problem != Problem::kNone && outcome.problem != Problem::kRowsLost &&
        !outcome.detail.empty())
        lines << fromStd(outcome.detail);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace vkdc
