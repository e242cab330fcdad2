// The window designs as data: what every face relies on when it builds a window from them.
// (The Qt windows' tests check the places and captions as shown.)
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "convert/converter_view.h"
#include "convert/dialog_start.h"
#include "convert/window_design.h"
#include "support/files.h"

namespace vkdc {
namespace {

std::vector<const WindowDesign*> allWindows() {
    return {&launcherDesign(), &guideDesign(), &converterDesign(PairId::k10to20),
            &converterDesign(PairId::k20to30)};
}

// Faces find controls and containers by name, and chain the Tab order by index.
TEST(WindowDesignTest, NamesAndTabIndexesAreUniqueAndContainersComeFirst) {
    for (const WindowDesign* window : allWindows()) {
        std::set<std::string> names;
        std::set<int> tabs;
        for (const ControlDesign& c : window->controls) {
            EXPECT_TRUE(names.insert(c.name).second) << window->name << ": " << c.name;
            if (c.tabIndex >= 0) {
                EXPECT_TRUE(tabs.insert(c.tabIndex).second) << window->name << ": " << c.name;
            }
            if (!c.container.empty()) {
                const ControlDesign* frame = findControl(*window, c.container);
                ASSERT_NE(frame, nullptr) << c.name;
                EXPECT_EQ(frame->kind, ControlKind::kFrame) << c.name;
                EXPECT_TRUE(names.count(c.container)) << c.name << " made before its frame";
            }
        }
    }
}

// A visible control outside its frame or the client area would be cut off.
TEST(WindowDesignTest, EveryVisibleControlLiesInsideItsContainer) {
    for (const WindowDesign* window : allWindows()) {
        for (const ControlDesign& c : window->controls) {
            if (!c.visible)
                continue;
            Rect box{0, 0, window->clientWidth, window->clientHeight};
            if (!c.container.empty())
                box = findControl(*window, c.container)->rect;
            EXPECT_GE(c.rect.left, 0) << window->name << ": " << c.name;
            EXPECT_GE(c.rect.top, 0) << window->name << ": " << c.name;
            EXPECT_LE(c.rect.left + c.rect.width, box.width) << window->name << ": " << c.name;
            EXPECT_LE(c.rect.top + c.rect.height, box.height) << window->name << ": " << c.name;
        }
    }
}

TEST(WindowDesignTest, EveryControlThePresenterSetsIsInTheConverterDesign) {
    for (PairId pair : {PairId::k10to20, PairId::k20to30}) {
        for (Control c :
             {Control::kText1, Control::kBrowseOpen, Control::kConvertDB, Control::kAnalysisDB,
              Control::kLabel3, Control::kText2, Control::kBrowseSave, Control::kSaveDB,
              Control::kLabel1, Control::kProgress}) {
            EXPECT_NE(findControl(converterDesign(pair), controlName(c)), nullptr)
                << controlName(c);
        }
    }
}

TEST(WindowDesignTest, TwipsBecomePixelsRoundedToTheNearest) {
    const struct {
        int twips;
        int dpi;
        int pixels;
    } cases[] = {{7, 96, 0},       {8, 96, 1},       {5655, 96, 377}, {-120, 96, -8},
                 {5655, 144, 566}, {4815, 120, 401}, {15, 192, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
}

TEST(DialogStartTest, TheDesignFolderWhereItExistsElseHome) {
    testing_support::TempDir dir;
    const std::string home = dir.file("home");
    const std::string gone = dir.file("gone");
    const std::string chosen = dir.file("chosen.dbb");
    const struct {
        std::string initial;
        std::string folder;
        std::string startFolder;
        std::string fileName;
    } cases[] = {
        {"VKDB.dbb", dir.path(), dir.path(), "VKDB.dbb"},  // an existing "D:\"
        {"VKDB.dbb", "D:\\", home, "VKDB.dbb"},            // "D:\" missing, as on Linux
        {"VKDB", "", home, "VKDB"},
        {chosen, "D:\\", dir.path(), "chosen.dbb"},  // a full path: beside it
        {gone + "/old.dbb", "D:\\", home, "old.dbb"},
    };
    for (const auto& c : cases) {
        const DialogStart start = dialogStart(c.initial, c.folder, home);
        EXPECT_EQ(std::filesystem::path(start.folder), std::filesystem::path(c.startFolder))
            << c.initial;
        EXPECT_EQ(start.fileName, c.fileName) << c.initial;
    }
}

}  // namespace
}  // namespace vkdc
