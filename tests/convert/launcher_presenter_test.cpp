// The launcher's flow over a scripted view: what each click asks of the window, in order.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "convert/launcher_presenter.h"
#include "convert/program_texts.h"

namespace vkdc {
namespace {

class ScriptedLauncher : public LauncherView {
  public:
    std::vector<std::string> calls;
    std::set<PairId> savesIn;  // converters whose showing ends with a save

    void createConverter(PairId pair) override { calls.push_back("create " + name(pair)); }
    bool runConverter(PairId pair) override {
        calls.push_back("run " + name(pair));
        return savesIn.count(pair) > 0;
    }
    void showAbout(const std::string& text) override { calls.push_back("about " + text); }
    void openSite(const std::string& url) override { calls.push_back("site " + url); }
    void endProgram() override { calls.push_back("end"); }

  private:
    static std::string name(PairId pair) { return versionPair(pair).window; }
};

TEST(LauncherPresenterTest, EachConverterIsMadeOnFirstUseAndShownAtEveryClick) {
    ScriptedLauncher view;
    LauncherPresenter launcher(view);
    EXPECT_FALSE(launcher.created(PairId::k10to20));
    launcher.openConverter(PairId::k10to20);
    launcher.openConverter(PairId::k10to20);
    launcher.openConverter(PairId::k20to30);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"create VKDC12", "run VKDC12", "run VKDC12",
                                                    "create VKDC23", "run VKDC23"}));
    EXPECT_TRUE(launcher.created(PairId::k10to20));
    EXPECT_TRUE(launcher.created(PairId::k20to30));
}

TEST(LauncherPresenterTest, ASaveInAConverterEndsTheProgramWhenItCloses) {
    ScriptedLauncher view;
    view.savesIn = {PairId::k20to30};
    LauncherPresenter launcher(view);
    launcher.openConverter(PairId::k20to30);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"create VKDC23", "run VKDC23", "end"}));
}

// The box returns however it was closed (OK, Esc, its close button); the site opens after it.
TEST(LauncherPresenterTest, AboutShowsTheMessageThenOpensTheSite) {
    ScriptedLauncher view;
    LauncherPresenter launcher(view);
    launcher.about();
    ASSERT_EQ(view.calls.size(), 2u);
    EXPECT_EQ(view.calls[0],
              "about Velkor Database Convert\n\nCoding By Velkor Tools Team\n"
              "Email: support@velkor.example\nWebsite: www.velkor.example");
    EXPECT_EQ(view.calls[1], "site https://www.velkor.example");
}

}  // namespace
}  // namespace vkdc
