// The file operations a conversion relies on when a process dies: what a killed run leaves is
// removed by the next one, what a live run holds is not, and nothing else is touched.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "jet/win32.h"
#else
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
            EXPECT_TRUE(fs::equivalent(tmp.path(), fs::path(complete).parent_path()));
            EXPECT_EQ(100000u, fs::file_size(complete));
            return jet::Status::corrupt("not as expected");
        };
        EXPECT_FALSE(replaceFile(**file, dest, named).isOk());
        EXPECT_TRUE(checked);
        EXPECT_EQ("old", testing_support::readFile(dest).value_or(""));
#ifndef _WIN32
        // DEST can no longer be looked at once the file is complete (a link loop took its
        // place): the save fails and takes its file away.
        named.check = [&](const std::string&) {
            fs::remove(dest);
            fs::create_symlink("dest.dbb", dest);
            return jet::Status::ok();
        };
        EXPECT_FALSE(replaceFile(**file, dest, named).isOk());
        EXPECT_EQ(entries(tmp.path()), (std::vector<std::string>{"dest.dbb", "src.mdb", "work"}));
        fs::remove(dest);
        std::ofstream(dest) << "old";
        ::chmod(dest.c_str(), 0600);
#endif
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

#ifdef _WIN32
// Destinations as Windows spells them: with the "\\?\" prefix, relative to the current folder of
// a drive ("Z:x.mdb"), or a short name under a current folder past 260 characters. Each is
// saved through a temporary file beside it. A read-only leftover of ours, as older versions
// made them, goes like any other.
TEST(FileOps, WindowsSpellingsOfADestinationAreSavedBesideIt) {
    TempDir tmp;
    const std::string src = tmp.file("src.mdb");
    std::ofstream(src) << std::string(1000, 'x');
    std::string deep = tmp.path();
    while (deep.size() < 300) {
        deep += "/" + std::string(40, 'd');
        ASSERT_TRUE(::CreateDirectoryW(jet::win::apiPath(deep).c_str(), nullptr)) << deep;
    }
    const std::string full = canonicalPath(tmp.path());  // "Z:\tmp\vkdc-test-..."
    const struct {
        std::string cwd;
        std::string dest;
        std::string lands;
    } cases[] = {
        {"", "\\\\?\\" + full + "\\a.mdb", tmp.file("a.mdb")},
        {tmp.path(), full.substr(0, 2) + "b.mdb", tmp.file("b.mdb")},
        {deep, "c.mdb", deep + "/c.mdb"},
    };
    std::wstring before(32768, L'\0');
    before.resize(::GetCurrentDirectoryW(static_cast<DWORD>(before.size()), before.data()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dest);
        auto file = jet::openFileReadOnly(src);
        ASSERT_TRUE(file.isOk());
        if (!c.cwd.empty()) {
            ASSERT_TRUE(::SetCurrentDirectoryW(jet::win::apiPath(c.cwd).c_str()));
        }
        ReplaceOptions options;
        std::string made;
        options.check = [&](const std::string& complete) {
            made = complete;
            return jet::Status::ok();
        };
        const jet::Status st = replaceFile(**file, c.dest, options);
        ::SetCurrentDirectoryW(before.c_str());
        ASSERT_TRUE(st.isOk()) << st.message();
        EXPECT_TRUE(sameFile(folderOf(made), folderOf(c.lands))) << made;
        EXPECT_EQ(FileKind::kRegular, fileInfo(c.lands)->kind);
    }
    const std::string leftover = tmp.file(".vkdc-OLD001");
    std::ofstream(leftover) << "a whole database";
    ASSERT_TRUE(::SetFileAttributesW(jet::win::apiPath(leftover).c_str(), FILE_ATTRIBUTE_READONLY));
    removeStaleSaveFiles(tmp.path());
    EXPECT_EQ(entries(tmp.path()),
              (std::vector<std::string>{"a.mdb", "b.mdb", std::string(40, 'd'), "src.mdb"}));
}
#endif

}  // namespace
}  // namespace vkdc
