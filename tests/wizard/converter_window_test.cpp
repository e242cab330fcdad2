// The converter windows VKDC12 and VKDC23, driven as a user drives them, with scripted
// dialogs and real database files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <utility>

#include "convert/converter_texts.h"
#include "jet/value.h"
#include "store/version_pair.h"
#include "support/files.h"
#include "wizard/converter_window.h"
#include "wizard/ui_test_support.h"

namespace {

using testing_support::TempDir;
using ui_test::ScriptedDialogs;
using vkdc::ConverterWindow;
using vkdc::PairId;
namespace texts = vkdc::texts;

using Rows = std::vector<std::vector<std::optional<std::u16string>>>;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string pairName(const ::testing::TestParamInfo<PairId>& info) {
    return info.param == PairId::k10to20 ? "VKDC12" : "VKDC23";
}

// Rows for every table of a source of `version`: Persian text, digits, punctuation, blanks at
// the ends, empty texts and absent values; Table_Category is left empty on purpose.
std::map<std::string, Rows> sampleRows(const std::string& version) {
    std::map<std::string, Rows> rows;
    rows["Table_User"] = {{u"admin", u" pass word ", u"نام مدرسه؟", u"جواب ۱۲۳"},
                          {u"کاربر", u"", std::nullopt, u"x"}};
    for (int r = 0; r < 3; ++r) {
        std::vector<std::optional<std::u16string>> site;
        const auto columns = vkdc::columnsOf(version, "Table_Site");
        for (size_t c = 0; c < columns.size(); ++c) {
            if (r == 2 && c % 3 == 1) {
                site.emplace_back(std::nullopt);
                continue;
            }
            site.emplace_back(jet::fromUtf8("سايت " + std::to_string(r) + " " + columns[c] + " "));
        }
        rows["Table_Site"].push_back(site);
    }
    rows["Table_Category"] = {};
    rows["Table_Contact"] = {
        {u"علی", u"خانواده", u"0912-000", u"021", u"", u"a@b.c", u"www.x.ir", u"مهندس",
         u"تهران، خيابان ۱", std::nullopt},
        {u"Bob", u"Group", u"+1 555", std::nullopt, u" office ", u"", u"", u"", u"", u"img"}};
    return rows;
}

class ConverterWindowTest : public ::testing::TestWithParam<PairId> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        install_ = q(dir_.path()) + QStringLiteral("/install");
        work_ = q(dir_.path()) + QStringLiteral("/work");
        QDir().mkpath(install_);
        QDir().mkpath(work_);
        window_ = std::make_unique<ConverterWindow>(GetParam(), dialogs_);
        window_->setTemplateDir(install_);
        window_->setWorkDir(work_);
    }

    const vkdc::VersionPair& pair() const { return vkdc::versionPair(GetParam()); }
    const vkdc::ConverterTexts& texts() const { return vkdc::converterTexts(GetParam()); }

    template <typename T>
    T* child(const char* name) {
        T* found = window_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* text1() { return child<QLineEdit>("Text1"); }
    QLineEdit* text2() { return child<QLineEdit>("Text2"); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QString label(const char* name) { return child<QLabel>(name)->text(); }
    QString focusName() {
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QStringLiteral("<none>");
    }

    void showWindow() { ASSERT_TRUE(ui_test::showActive(window_.get())); }

    // An empty template of the pair's new version in the install folder.
    bool installTemplate() {
        std::string why;
        const bool ok = ui_test::writeDatabase(
            (install_ + QLatin1Char('/') + q(pair().template_file)).toStdString(),
            {pair().target_version, {}, {}}, &why);
        EXPECT_TRUE(ok) << why;
        return ok;
    }
    QString writeSource(const QString& name, const std::string& version) {
        const QString path = q(dir_.path()) + QLatin1Char('/') + name;
        std::string why;
        EXPECT_TRUE(
            ui_test::writeDatabase(path.toStdString(), {version, sampleRows(version), {}}, &why))
            << why;
        return path;
    }

    // Browse to `source` and click ConvertDB.
    void convertFrom(const QString& source) {
        dialogs_.openAnswers.push_back(source);
        button("BrowseOpen")->click();
        button("ConvertDB")->click();
    }
    // Browse to `dest` and click SaveDB.
    void saveTo(const QString& dest) {
        dialogs_.saveAnswers.push_back(dest);
        button("BrowseSave")->click();
        button("SaveDB")->click();
    }

    TempDir dir_;
    QString install_;
    QString work_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<ConverterWindow> window_;
};

// ---- The window as designed --------------------------------------------------------------

TEST_P(ConverterWindowTest, LayoutCaptionsAndFontsFollowTheDesign) {
    showWindow();
    EXPECT_EQ(window_->objectName(), texts().window);
    EXPECT_EQ(window_->windowTitle(), GetParam() == PairId::k10to20
                                          ? QStringLiteral("VKDC v1.0 to v2.0")
                                          : QStringLiteral("VKDC v2.0 to v3.0"));
    EXPECT_EQ(window_->size(), QSize(377, 321));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize()) << "fixed size";
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window_->isModal());
    EXPECT_DOUBLE_EQ(window_->font().pointSizeF(), 8.25);

    struct Expect {
        const char* name;
        QRect geometry;
        QString caption;
    };
    const Expect expected[] = {
        {"Image1", {8, 0, 361, 56}, {}},
        {"Vel_Frame1", {8, 64, 361, 121}, texts::kStep1Frame},
        {"Vel_Frame3", {8, 192, 361, 121}, texts::kStep2Frame},
        {"Text1", {80, 24, 238, 25}, {}},
        {"BrowseOpen", {16, 23, 65, 27}, QStringLiteral("انتخاب")},
        {"ConvertDB", {104, 64, 145, 41}, QStringLiteral("تبديل بانک اطلاعات")},
        {"Label5", {312, 27, 33, 17}, QStringLiteral(":فايل")},
        {"Text2", {80, 24, 232, 25}, {}},
        {"BrowseSave", {16, 23, 65, 27}, QStringLiteral("انتخاب")},
        {"SaveDB", {104, 64, 145, 41}, QStringLiteral("ذخيره بانک اطلاعات")},
        {"Label6", {312, 27, 33, 17}, QStringLiteral(":آدرس")},
    };
    for (const Expect& e : expected) {
        auto* widget = window_->findChild<QWidget*>(QLatin1String(e.name));
        ASSERT_NE(widget, nullptr) << e.name;
        EXPECT_TRUE(widget->isVisible()) << e.name;
        EXPECT_EQ(widget->geometry(), e.geometry) << e.name;
        QString caption;
        if (auto* b = qobject_cast<QPushButton*>(widget))
            caption = b->text();
        if (auto* l = qobject_cast<QLabel*>(widget))
            caption = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(widget))
            caption = g->title();
        EXPECT_EQ(caption, e.caption) << e.name;
    }
    // The step frames sit in the window, the step controls in their frames.
    EXPECT_EQ(text1()->parentWidget()->objectName(), QStringLiteral("Vel_Frame1"));
    EXPECT_EQ(text2()->parentWidget()->objectName(), QStringLiteral("Vel_Frame3"));
    EXPECT_DOUBLE_EQ(child<QGroupBox>("Vel_Frame1")->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(text1()->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(text2()->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(button("ConvertDB")->font().pointSizeF(), 8.25);
    EXPECT_DOUBLE_EQ(child<QLabel>("Label5")->font().pointSizeF(), 8.25);
    // Design-time right alignment of the caption labels, whatever the frame's direction.
    EXPECT_TRUE(child<QLabel>("Label5")->alignment() & Qt::AlignRight);
    EXPECT_FALSE(button("ConvertDB")->isDefault());
    EXPECT_FALSE(button("ConvertDB")->autoDefault());
    const QPixmap banner = child<QLabel>("Image1")->pixmap();
    if (!banner.isNull()) {
        EXPECT_EQ(banner.size(), QSize(361, 56));
    }
}

TEST_P(ConverterWindowTest, HiddenMachineryIsThereByNameAndNeverShown) {
    showWindow();
    QPushButton* analysis = button("AnalysisDB");
    EXPECT_FALSE(analysis->isVisible());
    EXPECT_TRUE(analysis->isEnabled());
    EXPECT_EQ(analysis->text(), QStringLiteral("تحليل اطلاعات"));
    EXPECT_FALSE(child<QLabel>("Label3")->isVisible());
    EXPECT_FALSE(child<QLabel>("Label1")->isVisible());
    EXPECT_EQ(label("Label3"), QStringLiteral("..."));
    EXPECT_EQ(label("Label1"), QStringLiteral("..."));
    EXPECT_EQ(child<QLabel>("Label3")->parentWidget()->objectName(), QStringLiteral("Vel_Frame1"));
    EXPECT_EQ(child<QLabel>("Label1")->parentWidget()->objectName(), QStringLiteral("Vel_Frame3"));

    const char* frames[] = {"Frame1", "Frame2", "Frame3", "Frame4"};
    for (size_t t = 0; t < 4; ++t) {
        const vkdc::TablePair& table = pair().tables[t];
        auto* frame = child<QGroupBox>(frames[t]);
        ASSERT_NE(frame, nullptr);
        EXPECT_FALSE(frame->isVisible());
        EXPECT_EQ(frame->title(), q(table.table));
        EXPECT_GE(frame->x(), window_->width()) << "outside the client area";
        auto* op = frame->findChild<QPushButton*>(q(table.operation));
        ASSERT_NE(op, nullptr) << table.operation;
        EXPECT_FALSE(op->isVisible());
        for (const std::string& control : {table.old_control, table.new_control}) {
            auto* view = frame->findChild<vkdc::DataControlView*>(q(control));
            ASSERT_NE(view, nullptr) << control;
            EXPECT_EQ(view->table, q(table.table));
            EXPECT_EQ(view->newSide, control == table.new_control);
            EXPECT_TRUE(view->connectionString.isEmpty()) << "connected to nothing on opening";
        }
        for (const vkdc::FieldPair& field : table.fields) {
            auto* target = frame->findChild<QLineEdit*>(q(field.new_box));
            ASSERT_NE(target, nullptr) << field.new_box;
            EXPECT_EQ(target->property("DataSource").toString(), q(table.new_control));
            EXPECT_EQ(target->property("DataField").toString(), q(field.target_column));
            EXPECT_EQ(target->focusPolicy(), Qt::NoFocus);
            if (field.isBlank())
                continue;
            auto* source = frame->findChild<QLineEdit*>(q(*field.old_box));
            ASSERT_NE(source, nullptr) << *field.old_box;
            EXPECT_EQ(source->property("DataSource").toString(), q(table.old_control));
            EXPECT_EQ(source->property("DataField").toString(), q(*field.source_column));
        }
    }
    // VKDC23 has no boxes c9, c10 and c13: their targets are blank.
    if (GetParam() == PairId::k20to30) {
        for (const char* missing : {"c9", "c10", "c13"})
            EXPECT_EQ(window_->findChild<QLineEdit*>(QLatin1String(missing)), nullptr) << missing;
    }
    const QStringList expected_controls =
        GetParam() == PairId::k10to20 ? QStringList{"Adodc1", "Adodc2", "Adodc3", "Adodc4",
                                                    "Adodc5", "Adodc6", "Adodc7", "Adodc8"}
                                      : QStringList{"User_Old", "User_New", "Site_Old", "Site_New",
                                                    "Cats_Old", "Cats_New", "Cont_Old", "Cont_New"};
    for (const QString& name : expected_controls)
        EXPECT_NE(window_->findChild<vkdc::DataControlView*>(name), nullptr) << name.toStdString();
}

TEST_P(ConverterWindowTest, OpensWithStepOneActiveAndTabSkipsWhatIsDisabled) {
    showWindow();
    EXPECT_TRUE(text1()->isEnabled());
    EXPECT_TRUE(text1()->text().isEmpty());
    EXPECT_TRUE(button("BrowseOpen")->isEnabled());
    EXPECT_TRUE(button("ConvertDB")->isEnabled());
    EXPECT_FALSE(text2()->isEnabled());
    EXPECT_TRUE(text2()->text().isEmpty());
    EXPECT_FALSE(button("BrowseSave")->isEnabled());
    EXPECT_FALSE(button("SaveDB")->isEnabled());

    EXPECT_TRUE(ui_test::waitFor([&] { return focusName() == QStringLiteral("BrowseOpen"); }))
        << focusName().toStdString();
    const QString forward[] = {"ConvertDB", "Text1", "BrowseOpen", "ConvertDB"};
    for (const QString& next : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focusName(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focusName(), QStringLiteral("BrowseOpen"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focusName(), QStringLiteral("Text1"));
}

TEST_P(ConverterWindowTest, EscapeClosesTheWindowFromAnyControl) {
    for (const char* start : {"Text1", "BrowseOpen", "ConvertDB"}) {
        showWindow();
        QWidget* focus = window_->findChild<QWidget*>(QLatin1String(start));
        focus->setFocus();
        QTest::keyClicks(text1(), QStringLiteral("abc"));
        QTest::keyClick(focus, Qt::Key_Escape);
        EXPECT_FALSE(window_->isVisible()) << start;
    }
}

// Enter presses the focused button as Space does (through the X server on X11). From the path
// box it reaches no button: none is a default button.
TEST_P(ConverterWindowTest, EnterPressesTheFocusedButtonOnly) {
    if (ui_test::onX11() && !ui_test::haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    showWindow();
    text1()->setFocus();
    ui_test::typeKey(text1(), Qt::Key_Return);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(dialogs_.calls.empty()) << "Enter in the path box";

    button("BrowseOpen")->setFocus();
    ui_test::typeKey(button("BrowseOpen"), Qt::Key_Return);
    EXPECT_EQ(dialogs_.calls, std::vector<QString>{"openFile"});
    button("ConvertDB")->setFocus();
    ui_test::typeKey(button("ConvertDB"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dialogs_.messageTexts(), std::vector<QString>{texts::kNoSourcePath});
    for (QPushButton* b : window_->findChildren<QPushButton*>())
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
}

// Pixels of a grabbed control.
bool differs(QColor a, QColor b, int by = 40) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue()) >
           by;
}
bool highlightLike(QColor pixel, QColor highlight) {
    return pixel.hslSaturation() > 60 && std::abs(pixel.hslHue() - highlight.hslHue()) < 20;
}

// The frames are drawn the classic way: the border runs round the whole designed height, and
// its top line passes through the caption, which is in the Highlight colour; the browse button
// sits well below that line.
TEST_P(ConverterWindowTest, FramesCarryTheirCaptionOnTheBorderLine) {
    showWindow();
    for (const char* name : {"Vel_Frame1", "Vel_Frame3"}) {
        auto* frame = child<QGroupBox>(name);
        const QImage image = frame->grab().toImage();
        const QColor background = frame->palette().color(QPalette::Window);
        const QColor highlight = frame->palette().color(QPalette::Highlight);
        int line = -1;  // the top border, found left of the caption
        for (int y = 0; y < image.height() && line < 0; ++y) {
            if (differs(image.pixelColor(4, y), background))
                line = y;
        }
        int caption_top = image.height();
        int caption_bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = image.width() / 2; x < image.width(); ++x) {
                if (highlightLike(image.pixelColor(x, y), highlight)) {
                    caption_top = std::min(caption_top, y);
                    caption_bottom = std::max(caption_bottom, y);
                }
            }
        }
        EXPECT_LT(caption_top, line) << name;
        EXPECT_GT(caption_bottom, line) << name;
        const int browse_top = frame->findChildren<QPushButton*>().first()->y();
        EXPECT_GE(browse_top - line, 12) << name << ": room between the line and the buttons";
        EXPECT_TRUE(differs(image.pixelColor(0, line + 4), background)) << name;
        EXPECT_TRUE(differs(image.pixelColor(0, image.height() - 3), background)) << name;
        EXPECT_TRUE(differs(image.pixelColor(image.width() / 2, image.height() - 2), background))
            << name << ": the bottom line at the designed height";
    }
}

// The bar fills from the right in its right-to-left frame; its percentage stands out from the
// bar behind it at every value, over the empty part as over the filled part.
TEST_P(ConverterWindowTest, ProgressTextIsReadableAtEveryValue) {
    showWindow();
    auto* bar = child<QProgressBar>("Progress");
    bar->show();
    bar->setRange(0, 100);
    for (int value : {0, 10, 30, 49, 51, 70, 90, 100}) {
        bar->setValue(value);
        const QImage image = bar->grab().toImage();
        int text_pixels = 0;
        const int middle = image.height() / 2;
        for (int x = image.width() / 2 - 25; x < image.width() / 2 + 25; ++x) {
            const QColor behind = image.pixelColor(x, 3);
            for (int y = middle - 7; y <= middle + 7; ++y)
                text_pixels += differs(image.pixelColor(x, y), behind, 240) ? 1 : 0;
        }
        EXPECT_GT(text_pixels, 15) << value << "%";
    }
    bar->hide();
}

TEST_P(ConverterWindowTest, EachShowingStartsFromTheDesignState) {
    installTemplate();
    const QString source = writeSource(QStringLiteral("src.mdb"), pair().source_version);
    showWindow();
    convertFrom(source);
    ASSERT_TRUE(text2()->isEnabled());
    dialogs_.saveAnswers.push_back(q(dir_.file("out.dbb")));
    button("BrowseSave")->click();
    QTest::keyClick(text2(), Qt::Key_Escape);
    ASSERT_FALSE(window_->isVisible());

    showWindow();
    EXPECT_TRUE(text1()->text().isEmpty());
    EXPECT_TRUE(text1()->isEnabled());
    EXPECT_TRUE(button("BrowseOpen")->isEnabled());
    EXPECT_TRUE(button("ConvertDB")->isEnabled());
    EXPECT_EQ(label("Label3"), QStringLiteral("..."));
    EXPECT_EQ(label("Label1"), QStringLiteral("..."));
    EXPECT_TRUE(text2()->text().isEmpty());
    EXPECT_FALSE(text2()->isEnabled());
    EXPECT_FALSE(button("BrowseSave")->isEnabled());
    EXPECT_FALSE(button("SaveDB")->isEnabled());
    EXPECT_EQ(window_->conversion(), nullptr);
    EXPECT_TRUE(ui_test::waitFor([&] { return focusName() == QStringLiteral("BrowseOpen"); }))
        << focusName().toStdString();
    // The open dialog is back to its preset name too.
    dialogs_.fileAsks.clear();
    button("BrowseOpen")->click();
    ASSERT_EQ(dialogs_.fileAsks.size(), 1u);
    EXPECT_EQ(dialogs_.fileAsks[0].request.initialPath, texts().openFileName);
}

TEST_P(ConverterWindowTest, F1OpensTheGuideOwnedByTheWindow) {
    QWidget* owner = nullptr;
    window_->setGuideOpener([&](QWidget* w) { owner = w; });
    showWindow();
    text1()->setFocus();
    QTest::keyClick(text1(), Qt::Key_F1);
    EXPECT_EQ(owner, window_.get());
    EXPECT_TRUE(window_->isVisible());
}

// ---- Step 1: browsing and analysing ------------------------------------------------------

TEST_P(ConverterWindowTest, ConvertWithAnEmptyPathWarnsAndPutsTheFocusInThePathBox) {
    installTemplate();
    showWindow();
    button("ConvertDB")->setFocus();
    button("ConvertDB")->click();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral(" لطفاً آدرس فايل بکاپ را وارد کنيد "));
    EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs_.messages[0].parent, window_.get());
    EXPECT_EQ(focusName(), QStringLiteral("Text1"));
    EXPECT_EQ(label("Label3"), QStringLiteral("..."));
    EXPECT_TRUE(button("ConvertDB")->isEnabled());
    EXPECT_TRUE(text1()->isEnabled());
    EXPECT_FALSE(text2()->isEnabled());
    EXPECT_EQ(window_->conversion(), nullptr) << "nothing was touched";
    EXPECT_TRUE(QDir(work_).isEmpty());
}

// The presenter's tests go through every source problem; here, that one reaches the window.
TEST_P(ConverterWindowTest, AMissingTemplateIsReportedAndNothingIsConverted) {
    const QString source = writeSource(QStringLiteral("src.mdb"), pair().source_version);
    showWindow();
    convertFrom(source);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral(" فايل الگوي بانک اطلاعات پيدا نشد "));
    EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(label("Label3"), QStringLiteral("..."));
    EXPECT_TRUE(button("ConvertDB")->isEnabled());
    EXPECT_FALSE(button("BrowseSave")->isEnabled());
    EXPECT_TRUE(window_->report().tables.empty());
}

// ---- A whole conversion ------------------------------------------------------------------

// Every field pair of every table: the destination row holds the source value for a copy and
// no value for a blank, row for row.
void expectConverted(const vkdc::VersionPair& pair, const QString& source, const QString& dest,
                     size_t expected_rows_total) {
    size_t rows_total = 0;
    for (const vkdc::TablePair& table : pair.tables) {
        QString why;
        const auto from = ui_test::exportTable(source, q(table.table), &why);
        ASSERT_FALSE(from.empty()) << why.toStdString();
        const auto to = ui_test::exportTable(dest, q(table.table), &why);
        ASSERT_FALSE(to.empty()) << why.toStdString();
        ASSERT_EQ(to.size(), from.size()) << table.table << ": one row per source row";
        rows_total += from.size() - 1;
        for (size_t r = 0; r + 1 < from.size(); ++r) {
            for (const vkdc::FieldPair& field : table.fields) {
                const std::string got = ui_test::cell(to, r, field.target_column);
                if (field.isBlank()) {
                    EXPECT_EQ(got, "") << table.table << " row " << r << " " << field.target_column;
                } else {
                    EXPECT_EQ(got, ui_test::cell(from, r, *field.source_column))
                        << table.table << " row " << r << " " << field.target_column;
                }
            }
        }
    }
    EXPECT_EQ(rows_total, expected_rows_total);
}

TEST_P(ConverterWindowTest, AWholeConversionGoesThroughEveryStateAndSaves) {
    installTemplate();
    const QString source = writeSource(QStringLiteral("old.dbb"), pair().source_version);
    const QByteArray source_bytes = ui_test::fileBytes(source);
    const QString dest = q(dir_.file("new.dbb"));
    QSignalSpy end(window_.get(), &ConverterWindow::programEndRequested);
    showWindow();

    // Source chosen, in the dialog the design presets.
    dialogs_.openAnswers.push_back(source);
    button("BrowseOpen")->click();
    ASSERT_EQ(dialogs_.fileAsks.size(), 1u);
    const vkdc::FileRequest& open = dialogs_.fileAsks[0].request;
    EXPECT_EQ(dialogs_.fileAsks[0].parent, window_.get());
    EXPECT_FALSE(dialogs_.fileAsks[0].save);
    EXPECT_EQ(open.objectName, QStringLiteral("Opens"));
    EXPECT_EQ(open.title, GetParam() == PairId::k10to20
                              ? QStringLiteral("وارد کردن فايل پشتيبان نسخه 1 ولکور")
                              : QStringLiteral("Import"));
    EXPECT_EQ(open.initialPath, texts().openFileName);
    EXPECT_EQ(open.folder, QStringLiteral("D:\\"));
    EXPECT_EQ(open.filterName, QStringLiteral("Velkor Backup(*.mdb,*.dbb)"));
    EXPECT_EQ(open.patterns, (QStringList{"*.mdb", "*.dbb"}));
    EXPECT_EQ(text1()->text(), source);
    EXPECT_TRUE(button("AnalysisDB")->isEnabled());
    EXPECT_EQ(label("Label3"), QStringLiteral("..."));

    // Analysis on its own (the hidden button): step 1 locks, nothing converted yet.
    button("AnalysisDB")->click();
    EXPECT_EQ(label("Label3"), QStringLiteral("تحليل انجام شد"));
    EXPECT_FALSE(text1()->isEnabled());
    EXPECT_FALSE(button("BrowseOpen")->isEnabled());
    EXPECT_TRUE(button("ConvertDB")->isEnabled());
    EXPECT_FALSE(text2()->isEnabled());
    ASSERT_NE(window_->conversion(), nullptr);
    // The working copy is unnamed where the file system allows it; a named one lies in the
    // work folder.
    const QString working = q(window_->conversion()->workingPath());
    EXPECT_FALSE(working.isEmpty());
    auto* user_old = window_->findChild<vkdc::DataControlView*>(q(pair().tables[0].old_control));
    EXPECT_EQ(user_old->recordSource, QStringLiteral("SELECT * FROM Table_User"));
    EXPECT_TRUE(user_old->connectionString.contains(source))
        << user_old->connectionString.toStdString();
    EXPECT_TRUE(dialogs_.messages.empty());

    // Conversion.
    button("ConvertDB")->click();
    ASSERT_EQ(dialogs_.messages.size(), 1u) << "nothing lost: only the designed message";
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral(" تبديل اطلاعات به نسخه جديد انجام شد "));
    EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Information);
    EXPECT_FALSE(button("ConvertDB")->isEnabled());
    EXPECT_TRUE(text2()->isEnabled());
    EXPECT_TRUE(button("BrowseSave")->isEnabled());
    EXPECT_FALSE(button("SaveDB")->isEnabled());
    EXPECT_FALSE(text1()->isEnabled());
    ASSERT_EQ(window_->report().tables.size(), 4u);
    EXPECT_EQ(window_->report().totalLost(), 0u);
    EXPECT_EQ(window_->report().totalRows(), 7u);

    // Typing a destination does not enable SaveDB; browsing does.
    QTest::keyClicks(text2(), QStringLiteral("typed"));
    EXPECT_FALSE(button("SaveDB")->isEnabled());
    dialogs_.saveAnswers.push_back(dest);
    button("BrowseSave")->click();
    ASSERT_EQ(dialogs_.fileAsks.size(), 2u);
    const vkdc::FileRequest& save = dialogs_.fileAsks[1].request;
    EXPECT_TRUE(dialogs_.fileAsks[1].save);
    EXPECT_EQ(save.objectName, QStringLiteral("Saves"));
    EXPECT_EQ(save.title, GetParam() == PairId::k10to20 ? QStringLiteral("پشتيبان گيري")
                                                        : QStringLiteral("Export"));
    EXPECT_EQ(save.initialPath, QStringLiteral("VKDB"));
    EXPECT_EQ(save.folder, QStringLiteral("D:\\"));
    EXPECT_EQ(save.filterName, GetParam() == PairId::k10to20
                                   ? QStringLiteral("Velkor v2.0 Backup File")
                                   : QStringLiteral("Velkor v3.0 Backup File"));
    EXPECT_EQ(save.patterns, QStringList{"*.dbb"});
    EXPECT_EQ(text2()->text(), dest);
    EXPECT_TRUE(button("SaveDB")->isEnabled());
    EXPECT_FALSE(ui_test::fileExists(dest)) << "browsing writes nothing";

    // Save: Label1 is set before the confirmation shows, then the window unloads.
    QString label1_during_message;
    dialogs_.whileMessageShown = [&](const ScriptedDialogs::Message&) {
        label1_during_message = label("Label1");
    };
    button("SaveDB")->click();
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[1].text,
              QStringLiteral(" بانک اطلاعات جديد در آدرس وارد شده ذخيره شد "));
    EXPECT_EQ(dialogs_.messages[1].icon, QMessageBox::Information);
    EXPECT_EQ(label1_during_message, QStringLiteral("ذخيره شد."));
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(end.count(), 1);
    EXPECT_FALSE(ui_test::fileExists(working)) << "the working copy goes with the window";
    EXPECT_TRUE(QDir(work_).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    EXPECT_EQ(ui_test::fileBytes(source), source_bytes) << "the source is only read";

    ASSERT_TRUE(ui_test::fileExists(dest));
    expectConverted(pair(), source, dest, 7);
    QString why;
    const auto users = ui_test::exportTable(dest, QStringLiteral("Table_User"), &why);
    EXPECT_EQ(ui_test::cell(users, 0, "Password"), " pass word ");
    EXPECT_EQ(ui_test::cell(users, 0, "Answer"), "جواب ۱۲۳");
    EXPECT_EQ(ui_test::cell(users, 1, "UserName"), "کاربر");
    const auto sites = ui_test::exportTable(dest, QStringLiteral("Table_Site"), &why);
    EXPECT_EQ(ui_test::cell(sites, 0, "Onvan"), "سايت 0 Onvan ");
}

TEST_P(ConverterWindowTest, ConvertsTheFilesThatTheCommandLineToolMakes) {
    QString why;
    const QString tmpl =
        ui_test::makeTemplate(install_, q(pair().template_file), q(pair().target_version), &why);
    if (tmpl.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString source =
        ui_test::makeSample(q(dir_.file("sample.dbb")), q(pair().source_version), &why);
    if (source.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString dest = q(dir_.file("converted"));
    showWindow();
    convertFrom(source);
    ASSERT_EQ(dialogs_.messageTexts(), std::vector<QString>{texts::kConverted});
    saveTo(dest);
    EXPECT_FALSE(window_->isVisible());
    ASSERT_TRUE(ui_test::fileExists(dest));
    expectConverted(pair(), source, dest, window_->report().totalRows());
}

TEST_P(ConverterWindowTest, AFailedSaveIsReportedAndTheWindowStaysForAnotherPath) {
    installTemplate();
    const QString source = writeSource(QStringLiteral("src.mdb"), pair().source_version);
    QSignalSpy end(window_.get(), &ConverterWindow::programEndRequested);
    showWindow();
    convertFrom(source);
    dialogs_.messages.clear();

    const QString bad = q(dir_.file("no-such-folder/new.dbb"));
    saveTo(bad);
    ASSERT_EQ(dialogs_.messages.size(), 1u) << "no confirmation";
    EXPECT_EQ(dialogs_.messages[0].text, QStringLiteral(" بانک اطلاعات جديد ذخيره نشد "));
    EXPECT_TRUE(dialogs_.messages[0].detail.contains(QStringLiteral("no-such-folder")))
        << "the path and the cause, in the details: " << dialogs_.messages[0].detail.toStdString();
    EXPECT_EQ(dialogs_.messages[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(button("SaveDB")->isEnabled());
    EXPECT_EQ(label("Label1"), QStringLiteral("..."));
    EXPECT_EQ(end.count(), 0);

    // Another path then saves, over a file already there.
    const QString good = q(dir_.file("new.dbb"));
    QFile old(good);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older file");
    old.close();
    saveTo(good);
    EXPECT_EQ(dialogs_.messages.back().text, texts::kSavedMessage);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(end.count(), 1);
    expectConverted(pair(), source, good, 7);
}

TEST_P(ConverterWindowTest, EscapeInTheMiddleWritesNothing) {
    installTemplate();
    showWindow();
    convertFrom(writeSource(QStringLiteral("src.mdb"), pair().source_version));
    const QString working = q(window_->conversion()->workingPath());
    const QString dest = q(dir_.file("never.dbb"));
    dialogs_.saveAnswers.push_back(dest);
    button("BrowseSave")->click();
    ASSERT_TRUE(button("SaveDB")->isEnabled());
    QTest::keyClick(button("SaveDB"), Qt::Key_Escape);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(ui_test::fileExists(dest));
    EXPECT_FALSE(ui_test::fileExists(working)) << "closing deletes the working copy";
    EXPECT_EQ(window_->conversion(), nullptr);
    EXPECT_TRUE(QDir(work_).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_P(ConverterWindowTest, ProgressShowsRowsDoneOutOfTheTotal) {
    installTemplate();
    window_->setProgressDelay(0);
    int guides = 0;
    window_->setGuideOpener([&](QWidget*) { ++guides; });
    showWindow();
    const QString source = writeSource(QStringLiteral("src.mdb"), pair().source_version);
    // While it runs (the bar lets timers through), F1 opens nothing.
    bool tried = false;
    QTimer::singleShot(0, window_.get(), [&] {
        tried = child<QProgressBar>("Progress")->isVisible();
        QTest::keyClick(window_.get(), Qt::Key_F1);
    });
    convertFrom(source);
    EXPECT_TRUE(tried);
    EXPECT_EQ(guides, 0);
    EXPECT_EQ(dialogs_.messageTexts(), std::vector<QString>{texts::kConverted});
    auto* bar = child<QProgressBar>("Progress");
    EXPECT_GE(window_->progressShown(), 1);
    EXPECT_EQ(bar->maximum(), 7);
    EXPECT_EQ(bar->value(), 7);
    EXPECT_FALSE(bar->isVisible()) << "the bar goes when the work ends";
    EXPECT_TRUE(button("ConvertDB")->isVisible());
    EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
}

// Notes when Esc or a close request reaches `window`, before any filter of the program's.
class RequestSpy : public QObject {
  public:
    RequestSpy(QWidget* window, bool escape) : window_(window), escape_(escape) {
        qApp->installEventFilter(this);
    }
    bool seen = false;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (escape_ && event->type() == QEvent::KeyPress && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_)
            seen |= static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
        if (!escape_ && event->type() == QEvent::Close && watched == window_)
            seen = true;
        return false;
    }

  private:
    QWidget* window_;
    bool escape_;
};

// Esc and the close button reach the window while a conversion runs (on X11 through the X
// server, as a person's do): the work stops at the next row and the window closes with no
// message, leaving no working copy and no file behind.
TEST_P(ConverterWindowTest, EscapeOrTheCloseButtonStopsARunningConversion) {
    if (ui_test::onX11() && !ui_test::haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    QString why;
    if (ui_test::makeTemplate(install_, q(pair().template_file), q(pair().target_version), &why)
            .isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString source =
        ui_test::makeSample(q(dir_.file("sample.dbb")), q(pair().source_version), &why);
    if (source.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QByteArray source_bytes = ui_test::fileBytes(source);
    window_->setProgressDelay(0);
    for (const bool escape : {true, false}) {
        dialogs_.messages.clear();
        showWindow();
        RequestSpy spy(window_.get(), escape);
        bool sent = false;
        // Fires in each paint of the conversion. On X11 the request then travels through the
        // X server; the work waits in its paints, taking no events itself, until the
        // conversion's own paint has taken the request in.
        QTimer paints;
        paints.setInterval(0);
        QObject::connect(&paints, &QTimer::timeout, [&] {
            if (!std::exchange(sent, true)) {
                if (!ui_test::onX11())
                    escape ? QTest::keyClick(window_.get(), Qt::Key_Escape)
                           : (void)window_->close();
                else if (escape)
                    ui_test::startXdotool({QStringLiteral("key"), "Escape"})->waitForFinished();
                else
                    ui_test::x11RequestClose(window_.get());
            }
            if (!spy.seen)
                QThread::msleep(50);
        });
        paints.start();
        convertFrom(source);
        paints.stop();
        EXPECT_TRUE(spy.seen) << escape;
        EXPECT_FALSE(window_->isVisible()) << escape;
        EXPECT_TRUE(dialogs_.messages.empty()) << escape;
        EXPECT_LT(window_->report().totalRows(), child<QProgressBar>("Progress")->maximum())
            << escape << ": stopped early";
        EXPECT_EQ(window_->conversion(), nullptr) << escape;
        EXPECT_TRUE(QDir(work_).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }
    EXPECT_EQ(ui_test::fileBytes(source), source_bytes);
}

INSTANTIATE_TEST_SUITE_P(BothPairs, ConverterWindowTest,
                         ::testing::Values(PairId::k10to20, PairId::k20to30), pairName);

// ---- With the real message boxes ---------------------------------------------------------

TEST(ConverterWindowRealDialogsTest, EscapeInAMessageBoxClosesOnlyTheBox) {
    vkdc::QtDialogs dialogs;
    ConverterWindow window(PairId::k20to30, dialogs);
    ASSERT_TRUE(ui_test::showActive(&window));
    QString seen;
    ui_test::ModalWatcher watcher([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return false;
        seen = box->text();
        QTest::keyClick(box, Qt::Key_Escape);
        return true;
    });
    window.findChild<QPushButton*>(QStringLiteral("ConvertDB"))->click();
    EXPECT_FALSE(watcher.forced());
    EXPECT_EQ(seen, texts::kNoSourcePath);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.focusWidget(), window.findChild<QLineEdit*>(QStringLiteral("Text1")));
}

}  // namespace
