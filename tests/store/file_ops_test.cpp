// The file operations a conversion relies on when a process dies: what a killed run leaves is
// removed by the next one, what a live run holds is not, and nothing else is touched.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "store/file_ops.h"
#include "support/files.h"

namespace vkdc {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileOps, LeftoversOfDeadRunsGoAndFilesOfLiveRunsStay) {
    TempDir tmp;
    // A killed run's folder (no lock holds it) with its working copy, and a live one.
    fs::create_directory(tmp.file("vkdc-work-DEAD01"));
    std::ofstream(tmp.file("vkdc-work-DEAD01/VKDB23.mdb")) << "a whole database";
    auto live = PrivateFolder::create(tmp.path(), kWorkFolderPrefix);
    ASSERT_TRUE(live.isOk()) << live.status().message();
    std::ofstream((*live)->path() + "/VKDB23.mdb") << "in use";
    // Names that are not exactly ours are never touched.
    fs::create_directory(tmp.file("vkdc-work-notours"));
    fs::create_directory(tmp.file("vkdc-test-ABCDEF"));
    removeStaleFolders(tmp.path(), kWorkFolderPrefix);
    EXPECT_FALSE(fs::exists(tmp.file("vkdc-work-DEAD01")));
    EXPECT_TRUE(fs::exists((*live)->path() + "/VKDB23.mdb"));
    EXPECT_TRUE(fs::exists(tmp.file("vkdc-work-notours")));
    EXPECT_TRUE(fs::exists(tmp.file("vkdc-test-ABCDEF")));
    const std::string live_path = (*live)->path();
    live->reset();
    EXPECT_FALSE(fs::exists(live_path)) << "a private folder goes with its owner";

    // Beside a destination: a killed save's temporary file goes, a locked one stays.
    std::ofstream(tmp.file(".vkdc-DEAD02")) << "complete copy";
    std::ofstream(tmp.file(".vkdc-LIVE03")) << "being written";
    std::ofstream(tmp.file(".vkdc-x")) << "the user's";
    testing_support::HeldFile held(tmp.file(".vkdc-LIVE03"));
    ASSERT_TRUE(held.held());
    removeStaleSaveFiles(tmp.path());
    EXPECT_EQ(entries(tmp.path()),
              (std::vector<std::string>{".vkdc-LIVE03", ".vkdc-x", "vkdc-test-ABCDEF",
                                        "vkdc-work-notours"}));
}

// Where unnamed files are not to be had, the named forms behave the same and leave nothing.
TEST(FileOps, NamedWorkingCopiesAndSavesLeaveNothingBehind) {
    TempDir tmp;
    const std::string src = tmp.file("src.mdb");
    std::ofstream(src) << std::string(100000, 'x');
    fs::create_directory(tmp.file("work"));
    {
        auto copy = WorkingCopy::create(src, tmp.file("work"), "VKDB23.mdb", false);
        ASSERT_TRUE(copy.isOk()) << copy.status().message();
        EXPECT_FALSE((*copy)->unnamed());
        EXPECT_TRUE(fs::exists((*copy)->path()));
        auto file = (*copy)->open();
        ASSERT_TRUE(file.isOk());

        const std::string dest = tmp.file("dest.dbb");
        std::ofstream(dest) << "old";
#ifndef _WIN32
        ::chmod(dest.c_str(), 0600);
#endif
        ReplaceOptions named;
        named.allow_unnamed = false;
        bool checked = false;
        named.check = [&](const std::string& complete) {
            checked = true;
            EXPECT_EQ(tmp.path(), complete.substr(0, complete.rfind('/')));
            EXPECT_EQ(100000u, fs::file_size(complete));
            return jet::Status::corrupt("not as expected");
        };
        EXPECT_FALSE(replaceFile(**file, dest, named).isOk());
        EXPECT_TRUE(checked);
        EXPECT_EQ("old", testing_support::readFile(dest).value_or(""));
        named.check = nullptr;
        ASSERT_TRUE(replaceFile(**file, dest, named).isOk());
        EXPECT_EQ(100000u, fs::file_size(dest));
#ifndef _WIN32
        EXPECT_EQ(fs::perms(0600), fs::status(dest).permissions() & fs::perms::mask);
#endif
    }
    EXPECT_TRUE(fs::is_empty(tmp.file("work")));
    EXPECT_EQ(entries(tmp.path()), (std::vector<std::string>{"dest.dbb", "src.mdb", "work"}));
}

// A save moves the working copy itself into place where it can, else writes it out; either way
// with the check, the kept permission bits, and nothing left beside the destination.
TEST(FileOps, SavingAWorkingCopyMovesItWhereItCanAndCopiesElsewhere) {
    TempDir tmp;
    const std::string src = tmp.file("src.mdb");
    std::ofstream(src) << std::string(100000, 'x');
    fs::create_directory(tmp.file("work"));
    struct Case {
        std::string dir;
        bool unnamed;
    };
    std::vector<Case> cases{{tmp.file("work"), true}, {tmp.file("work"), false}};
#ifndef _WIN32
    struct stat shm, here;
    if (::stat("/dev/shm", &shm) == 0 && ::stat(tmp.path().c_str(), &here) == 0 &&
        shm.st_dev != here.st_dev) {
        cases.push_back({"/dev/shm", true});  // another file system: written out
    }
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir + (c.unnamed ? " unnamed" : " named"));
        const std::string dest = tmp.file("dest.dbb"), other = tmp.file("other.dbb");
        std::ofstream(dest) << "old";
#ifndef _WIN32
        ::chmod(dest.c_str(), 0640);
#endif
        fs::remove(other);
        {
            auto copy = WorkingCopy::create(src, c.dir, "VKDB23.mdb", c.unnamed);
            ASSERT_TRUE(copy.isOk()) << copy.status().message();
            ReplaceOptions checked;
            checked.check = [&](const std::string& complete) {
                EXPECT_EQ("old", testing_support::readFile(dest).value_or(""));
                EXPECT_EQ(100000u, fs::file_size(complete));
                return jet::Status::ok();
            };
            ASSERT_TRUE((*copy)->saveAs(dest, checked).isOk());
#ifndef _WIN32
            EXPECT_EQ(fs::perms(0640), fs::status(dest).permissions() & fs::perms::mask);
#endif
            // A failed check leaves nothing; a later save writes out a file of its own.
            ReplaceOptions refuse;
            refuse.check = [](const std::string&) {
                return jet::Status::corrupt("not as expected");
            };
            EXPECT_FALSE((*copy)->saveAs(other, refuse).isOk());
            EXPECT_FALSE(fs::exists(other));
            ASSERT_TRUE((*copy)->saveAs(other, {}).isOk());
#ifndef _WIN32
            EXPECT_EQ(fs::perms(0600), fs::status(other).permissions() & fs::perms::mask);
#endif
            auto file = (*copy)->open();
            ASSERT_TRUE(file.isOk());
            ASSERT_TRUE((*file)->writeAt(0, reinterpret_cast<const uint8_t*>("y"), 1).isOk());
#ifdef _WIN32
            const bool moved = false;  // a file deleted on close is always written out
#else
            const bool moved = c.dir != "/dev/shm";
#endif
            EXPECT_EQ(moved ? 'y' : 'x', testing_support::readFile(dest).value_or("?")[0]);
            EXPECT_EQ('x', testing_support::readFile(other).value_or("?")[0]);
        }
        EXPECT_EQ(100000u, fs::file_size(dest));
        EXPECT_TRUE(fs::is_empty(tmp.file("work")));
        EXPECT_EQ(entries(tmp.path()),
                  (std::vector<std::string>{"dest.dbb", "other.dbb", "src.mdb", "work"}));
    }
}

}  // namespace
}  // namespace vkdc
