// The walk every face runs on its real converter window (support/converter_walk.h), here on
// the Qt window: from the first showing to a save, through the window's own buttons.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "store/templates.h"
#include "support/converter_walk.h"
#include "support/files.h"
#include "wizard/converter_window.h"
#include "wizard/ui_test_support.h"

namespace {

using vkdc::Control;
using vkdc::PairId;

class QtFace : public converter_walk::Face {
  public:
    QtFace(vkdc::ConverterWindow& window, ui_test::ScriptedDialogs& dialogs)
        : window_(window), dialogs_(dialogs) {}

    bool click(Control c) override {
        auto* button = qobject_cast<QPushButton*>(widget(c));
        if (!button || !button->isEnabled() || !button->isVisible())
            return false;
        // The answer goes to the dialog this button opens.
        if (c == Control::kBrowseOpen)
            dialogs_.openAnswers.push_back(QString::fromStdString(answer_));
        if (c == Control::kBrowseSave)
            dialogs_.saveAnswers.push_back(QString::fromStdString(answer_));
        button->click();
        return true;
    }
    bool enabled(Control c) const override { return widget(c)->isEnabled(); }
    bool hasFocus(Control c) const override { return QApplication::focusWidget() == widget(c); }
    std::string text(Control c) const override {
        return qobject_cast<QLineEdit*>(widget(c))->text().toStdString();
    }
    void answerNextDialog(const std::string& path) override { answer_ = path; }
    std::vector<std::string> messages() const override {
        std::vector<std::string> texts;
        for (const QString& text : dialogs_.messageTexts())
            texts.push_back(text.toStdString());
        return texts;
    }
    bool shown() const override { return window_.isVisible(); }

  private:
    QWidget* widget(Control c) const {
        return window_.findChild<QWidget*>(QLatin1String(vkdc::controlName(c)));
    }

    vkdc::ConverterWindow& window_;
    ui_test::ScriptedDialogs& dialogs_;
    std::string answer_;
};

class ConverterWalkTest : public ::testing::TestWithParam<PairId> {};

TEST_P(ConverterWalkTest, FromTheFirstShowingToASave) {
    testing_support::TempDir dir;
    const vkdc::VersionPair& pair = vkdc::versionPair(GetParam());
    ASSERT_TRUE(vkdc::makeTemplate(pair.target_version, dir.file(pair.template_file)).ok());
    const std::string source = dir.file("old.dbb");
    ASSERT_TRUE(vkdc::makeSample(pair.source_version, source).ok());

    ui_test::ScriptedDialogs dialogs;
    vkdc::ConverterWindow window(GetParam(), dialogs);
    window.setTemplateDir(QString::fromStdString(dir.path()));
    window.setWorkDir(QString::fromStdString(dir.path()));
    ASSERT_TRUE(ui_test::showActive(&window));
    QtFace face(window, dialogs);
    converter_walk::walkToSave(face, GetParam(), source, dir.file("new.dbb"));
    EXPECT_TRUE(testing_support::readFile(dir.file("new.dbb")));
}

INSTANTIATE_TEST_SUITE_P(BothPairs, ConverterWalkTest,
                         ::testing::Values(PairId::k10to20, PairId::k20to30), [](const auto& info) {
                             return info.param == PairId::k10to20 ? std::string("VKDC12")
                                                                  : std::string("VKDC23");
                         });

}  // namespace
