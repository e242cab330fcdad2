// What `vkdc-cli convert` promises, tried as an adversary would: the source is never changed;
// DEST is the old file or the complete new one, whatever fails and even after a kill; no file
// of ours outlives the next run; no run succeeds with rows missing; --json always prints one
// object.
#include <signal.h>
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/cli_run.h"
#include "jet/database.h"
#include "jet/writer.h"
#include "support/damage.h"
#include "support/files.h"
#include "support/json.h"

namespace {

namespace fs = std::filesystem;
using cli_test::CliEnv;
using cli_test::CliRun;
using cli_test::runCli;
using testing_support::member;
using testing_support::TempDir;
using testing_support::utf8;

const std::u16string kNewPassword = u"7#%2=91@&^408!3";  // versions 2.0 and 3.0
const char* const kTables[] = {"Table_User", "Table_Site", "Table_Category", "Table_Contact"};

std::string bytesOf(const std::string& path) {
    return testing_support::readFile(path).value_or("(missing)");
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string makeSample(const TempDir& tmp, const std::string& version, int rows,
                       const std::string& name) {
    const std::string path = tmp.file(name);
    EXPECT_EQ(0, runCli({"make-sample", version, path, "--rows", std::to_string(rows)}).status);
    return path;
}

// The one JSON object a --json run prints; null (and a failure) when there is not exactly one.
testing_support::Json jsonOf(const CliRun& r) {
    std::string why;
    auto j = testing_support::parseJson(r.out, &why);
    EXPECT_TRUE(j && j->is_object()) << why << "\n" << r.out;
    if (!j || !j->is_object())
        return {};
    EXPECT_EQ(testing_support::number(member(*j, "exit")), r.status) << r.out;
    EXPECT_EQ(testing_support::isTrue(member(*j, "ok")), r.status == 0) << r.out;
    EXPECT_TRUE(member(*j, "problem").is_string()) << r.out;
    EXPECT_TRUE(member(*j, "outcome").is_string()) << r.out;
    return *j;
}

// Entries of a folder, for "nothing left behind".
std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

uint64_t rowsIn(const std::string& path, const std::string& table) {
    jet::OpenOptions o;
    o.password = kNewPassword;
    auto db = jet::Database::open(path, o);
    if (!db)
        return 0;
    auto n = (*db)->countRows(table);
    return n ? *n : 0;
}

TEST(ConvertSafety, DestinationsThatMustNeverBeWrittenAreRefused) {
    TempDir tmp;
    const std::string v1 = makeSample(tmp, "1.0", 20, "v1.dbb");
    const std::string v2 = makeSample(tmp, "2.0", 20, "v2.dbb");
    const std::string v1_bytes = bytesOf(v1);

    // The source, however spelled, through one step or two.
    fs::create_directory(tmp.file("sub"));
    fs::create_hard_link(v1, tmp.file("hard.dbb"));
    std::vector<std::string> spellings{v1, tmp.file("sub/../v1.dbb"), tmp.file("hard.dbb")};
#ifndef _WIN32
    fs::create_symlink(v1, tmp.file("link.dbb"));
    spellings.push_back(tmp.file("link.dbb"));
#endif
    for (const std::string& dest : spellings) {
        EXPECT_EQ(6, runCli({"convert", "--to", "3.0", v1, dest}).status) << dest;
        EXPECT_EQ(6, runCli({"convert", v1, dest}).status) << dest;
    }
    EXPECT_TRUE(v1_bytes == bytesOf(v1)) << "the source changed";

    // The installed templates: every later conversion would start from their rows.
    const std::string bin = fs::path(VKDC_CLI_PATH).parent_path().string();
    for (const char* name : {"VKDB12.mdb", "VKDB23.mdb"}) {
        const std::string tpl = bin + "/" + name;
        const std::string before = bytesOf(tpl);
        CliRun r = runCli({"convert", "--to", "3.0", v1, bin + "/../bin/" + name});
        EXPECT_EQ(6, r.status) << r.err;
        EXPECT_NE(std::string::npos, r.err.find("installed template")) << r.err;
        EXPECT_TRUE(before == bytesOf(tpl)) << name << " changed";
    }

    // Anything but a regular file is never replaced.
    std::vector<std::string> special = testing_support::specialFiles(tmp.path());
#ifdef _WIN32
    ASSERT_EQ(special.size(), 1u);
#else
    ASSERT_GE(special.size(), 2u);
#endif
    special.push_back(tmp.file("sub"));
    for (const std::string& dest : special) {
        EXPECT_EQ(6, runCli({"convert", v2, dest}).status) << dest;
        EXPECT_FALSE(fs::is_regular_file(dest)) << dest;
    }

#ifndef _WIN32
    // These files hold passwords: a private file stays private, a new one is as private as
    // its source.
    ::chmod(v2.c_str(), 0640);
    const std::string mine = tmp.file("mine.dbb");
    writeBytes(mine, "old");
    ::chmod(mine.c_str(), 0600);
    ASSERT_EQ(0, runCli({"convert", v2, mine}).status);
    ASSERT_EQ(0, runCli({"convert", v2, tmp.file("fresh.dbb")}).status);
    EXPECT_EQ(fs::perms(0600), fs::status(mine).permissions() & fs::perms::mask);
    EXPECT_EQ(fs::perms(0640), fs::status(tmp.file("fresh.dbb")).permissions() & fs::perms::mask);
#endif
}

// Names in Persian with blanks and ';' (a connection string's separator), in a folder past
// Windows' old 260-character limit, convert like any other and are printed as given.
TEST(ConvertSafety, PersianNamesInLongPathsConvert) {
    TempDir tmp;
    std::string dir = tmp.path();
    while (dir.size() < 300) {
        dir += "/" + std::string(40, 'd');
#ifdef _WIN32
        ASSERT_TRUE(::CreateDirectoryW(jet::win::apiPath(dir).c_str(), nullptr)) << dir;
#else
        ASSERT_TRUE(fs::create_directory(dir)) << dir;
#endif
    }
    const std::string src = dir + "/دفترچه تلفن; نسخه ۱.dbb";
    const std::string dest = dir + "/تبدیل شده; نسخه ۳.mdb";
    ASSERT_EQ(0, runCli({"make-sample", "1.0", src, "--rows", "7"}).status);
    CliRun r = runCli({"convert", "--to", "3.0", "--verify", src, dest});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("saved " + dest)) << r.out;
    EXPECT_EQ(7u, rowsIn(dest, "Table_Contact"));
}

TEST(ConvertSafety, SourcesOfAnotherKindOrVersionAreRefused) {
    TempDir tmp;
    const std::string v1 = makeSample(tmp, "1.0", 10, "v1.dbb");
    const std::string v3 = tmp.file("v3.dbb");
    ASSERT_EQ(0, runCli({"convert", "--to", "3.0", v1, v3}).status);
    // Versions 2.0 and 3.0 share a password; a 3.0 file as a 2.0 source would lose columns.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"convert", "--pair", "2.0-3.0", v3, tmp.file("out.dbb")},
          std::vector<std::string>{"convert", "--pair", "1.0-2.0", v3, tmp.file("out.dbb")}}) {
        CliRun r = runCli(args);
        EXPECT_EQ(4, r.status) << r.err;
        EXPECT_NE(std::string::npos, r.err.find(v3 + " is a version 3.0 database, not ")) << r.err;
    }
    EXPECT_FALSE(fs::exists(tmp.file("out.dbb")));

    // The contact manager has the source open, by its name or through a link from elsewhere.
    std::ofstream{tmp.file("v1.ldb")};
    std::vector<std::string> names{v1};
#ifndef _WIN32
    fs::create_directory(tmp.file("elsewhere"));
    fs::create_symlink(v1, tmp.file("elsewhere/link.dbb"));
    names.push_back(tmp.file("elsewhere/link.dbb"));
#endif
    {
        testing_support::HeldFile held(tmp.file("v1.ldb"));
        ASSERT_TRUE(held.held());
        for (const std::string& name : names) {
            CliRun r = runCli({"convert", name, tmp.file("out.dbb")});
            EXPECT_EQ(3, r.status) << name << "\n" << r.err;
            EXPECT_NE(std::string::npos, r.err.find("close the contact manager first")) << r.err;
        }
    }

#ifndef _WIN32
    // A FIFO would block the open for ever.
    const std::string fifo = tmp.file("fifo.dbb");
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    CliEnv briefly;
    briefly.timeout_s = 20;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"convert", fifo, tmp.file("out.dbb")},
          std::vector<std::string>{"convert", "--pair", "1.0-2.0", fifo, tmp.file("out.dbb")}}) {
        CliRun r = runCli(args, briefly);
        EXPECT_EQ(3, r.status);
        EXPECT_NE(std::string::npos, r.err.find("not a regular file (a FIFO)")) << r.err;
    }
#endif
}

// Through a symbolic link the file it names is replaced in its own folder and the link
// stays; a destination another program has open is refused before converting, whatever name
// it is reached by; an existing one keeps its owner, group and mode.
TEST(ConvertSafety, DestinationsThroughLinksInUseOrOfAnotherOwner) {
    TempDir tmp;
    const std::string v2 = makeSample(tmp, "2.0", 5, "v2.dbb");
    fs::create_directory(tmp.file("real"));
    struct Case {
        std::string dest;  // as given
        std::string file;  // the file saved, or held in use
        bool old;          // `file` holds an older file
        std::string ldb;   // a lock file held by another program, or none
        int status;
    };
    std::vector<Case> cases{
        {tmp.file("busy.dbb"), tmp.file("busy.dbb"), true, tmp.file("busy.ldb"), 6},
    };
#ifndef _WIN32
    fs::create_symlink("real/old.dbb", tmp.file("link.dbb"));  // relative, to an existing file
    fs::create_symlink(tmp.file("real/new.dbb"), tmp.file("dangling.dbb"));
    fs::create_symlink(tmp.file("nowhere/x.dbb"), tmp.file("lost.dbb"));
    fs::create_symlink(tmp.file("real/held.dbb"), tmp.file("held-link.dbb"));
    cases.push_back({tmp.file("link.dbb"), tmp.file("real/old.dbb"), true, "", 0});
    cases.push_back({tmp.file("dangling.dbb"), tmp.file("real/new.dbb"), false, "", 0});
    cases.push_back({tmp.file("lost.dbb"), tmp.file("nowhere/x.dbb"), false, "", 6});
    cases.push_back(
        {tmp.file("held-link.dbb"), tmp.file("real/held.dbb"), true, tmp.file("real/held.ldb"), 6});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dest);
        if (c.old)
            writeBytes(c.file, "old");
        std::unique_ptr<testing_support::HeldFile> held;
        if (!c.ldb.empty()) {
            writeBytes(c.ldb, "");
            held = std::make_unique<testing_support::HeldFile>(c.ldb);
            ASSERT_TRUE(held->held());
        }
        CliRun r = runCli({"convert", "--json", v2, c.dest});
        EXPECT_EQ(c.status, r.status) << r.err;
        if (c.status == 0) {
            EXPECT_EQ(5u, rowsIn(c.file, "Table_Contact"));
            EXPECT_TRUE(fs::is_symlink(c.dest));
        } else if (!c.ldb.empty()) {
            EXPECT_EQ(utf8(member(jsonOf(r), "problem")), "destination-in-use");
            EXPECT_NE(std::string::npos, r.err.find("close the program that has it open"));
            EXPECT_EQ(bytesOf(c.file), "old");
        } else {
            EXPECT_NE(std::string::npos, r.err.find("nowhere does not exist")) << r.err;
        }
    }
#ifndef _WIN32
    EXPECT_EQ(entries(tmp.file("real")),
              (std::vector<std::string>{"held.dbb", "held.ldb", "new.dbb", "old.dbb"}));

    // Owner, group and mode: kept for a file of another user; a new file in a set-group-ID
    // folder takes the folder's group.
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody) {
        std::cout << "skipped: owners and groups of other users need root and user nobody\n";
        return;
    }
    const std::string theirs = tmp.file("theirs.dbb"), shared = tmp.file("shared");
    writeBytes(theirs, "old");
    ASSERT_EQ(0, ::chown(theirs.c_str(), nobody->pw_uid, nobody->pw_gid));
    ASSERT_EQ(0, ::chmod(theirs.c_str(), 0640));
    fs::create_directory(shared);
    ASSERT_EQ(0, ::chown(shared.c_str(), static_cast<uid_t>(-1), nobody->pw_gid));
    ASSERT_EQ(0, ::chmod(shared.c_str(), 02775));
    for (const std::string& dest : {theirs, shared + "/new.dbb"}) {
        EXPECT_EQ(0, runCli({"convert", v2, dest}).status) << dest;
        struct stat st;
        ASSERT_EQ(0, ::stat(dest.c_str(), &st));
        EXPECT_EQ(st.st_gid, nobody->pw_gid) << dest;
        if (dest == theirs) {
            EXPECT_EQ(st.st_uid, nobody->pw_uid);
            EXPECT_EQ(st.st_mode & 07777, 0640u);
        }
    }
#endif
}

TEST(ConvertSafety, LostRowsAndDamageWriteNothingUnlessKeepPartialIsGiven) {
    TempDir tmp;
    fs::create_directory(tmp.file("tmp"));
    CliEnv env;
    env.tmpdir = tmp.file("tmp");
    // The Table_Contact definition declares 15 rows; the pages hold 10.
    const std::string v2 = makeSample(tmp, "2.0", 10, "v2.dbb");
    ASSERT_TRUE(testing_support::setDeclaredRows(v2, "Table_Contact", kNewPassword, 15));
    const std::string v1 = makeSample(tmp, "1.0", 10, "v1.dbb");
    ASSERT_TRUE(testing_support::setDeclaredRows(v1, "Table_Site", u"Qe4^wT*9pLr2Zk8", 9));
    // Damage that keeps every count: one byte turns Category from Text into Byte (each name
    // would read as a number), and a page of contacts is overwritten with a copy of another.
    const std::string retyped = makeSample(tmp, "2.0", 60, "retyped.dbb");
    ASSERT_TRUE(
        testing_support::setColumnType(retyped, "Table_Category", kNewPassword, "Category", 0x02));
    const std::string copied = makeSample(tmp, "2.0", 60, "copied.dbb");
    ASSERT_TRUE(testing_support::copyDataPage(copied, "Table_Contact", kNewPassword, 0, 1));
    const std::string dest = tmp.file("dest.dbb");
    writeBytes(dest, "old");

    const struct {
        std::vector<std::string> args;
        const char* why;
    } cases[] = {
        {{"convert", v2, dest}, "declares 15 rows but only 10"},
        {{"convert", "--verify", v2, dest}, "declares 15 rows but only 10"},
        {{"convert", "--to", "3.0", v1, dest}, "declares 9 rows"},
        {{"convert", "--verify", retyped, dest},
         "Table_Category: page 20: column Category: a Byte column is 1 byte, not 510"},
        {{"convert", "--to", "3.0", copied, dest}, "byte for byte"},
    };
    for (const auto& c : cases) {
        CliRun r = runCli(c.args, env);
        EXPECT_EQ(5, r.status) << r.err;
        EXPECT_NE(std::string::npos, (r.out + r.err).find(c.why)) << r.out << r.err;
        EXPECT_NE(std::string::npos, r.err.find("nothing was written")) << r.err;
        EXPECT_TRUE(bytesOf(dest) == "old") << "DEST changed";
    }
    CliRun r = runCli({"convert", "--json", "--keep-partial", v2, dest}, env);
    EXPECT_EQ(5, r.status) << r.err;
    auto j = jsonOf(r);
    EXPECT_EQ(utf8(member(j, "outcome")), "saved-partial");
    EXPECT_EQ(utf8(member(j, "problem")), "rows-lost");
    EXPECT_EQ(10u, rowsIn(dest, "Table_Contact"));
    r = runCli({"convert", "--json", "--keep-partial", retyped, dest}, env);
    EXPECT_EQ(5, r.status) << r.err;
    j = jsonOf(r);
    EXPECT_EQ(utf8(member(j, "outcome")), "saved-partial");
    const auto& category = testing_support::element(
        member(testing_support::element(member(j, "steps"), 0), "tables"), 2);
    EXPECT_NE(
        std::string::npos,
        utf8(testing_support::element(member(category, "damage"), 0)).find("column Category"));
    EXPECT_TRUE(fs::is_empty(tmp.file("tmp")));
}

// Every --json run prints one object, however early it fails.
TEST(ConvertSafety, JsonIsOneObjectWhateverTheOutcome) {
    TempDir tmp;
    const std::string v2 = makeSample(tmp, "2.0", 5, "v2.dbb");
    const std::string v3 = tmp.file("v3.dbb");
    ASSERT_EQ(0, runCli({"convert", v2, v3}).status);
    const std::string junk = tmp.file("junk.dbb");
    writeBytes(junk, std::string(8192, 'x'));
    const std::string other = tmp.file("other.dbb");  // a password of no version
    {
        auto w = jet::Writer::create(other, {.password = u"not ours"});
        ASSERT_TRUE(w.isOk());
        ASSERT_TRUE((*w)->close().isOk());
    }
    const std::string bad_utf8 = tmp.file("bad\xFF\x01.dbb");
    const std::string out = tmp.file("out.dbb");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* problem;
    };
    const Case cases[] = {
        {{v2, out}, 0, "none"},
        {{tmp.file("missing.dbb"), out}, 3, "source-missing"},
        {{junk, out}, 3, "source-invalid"},
        {{other, out}, 4, "source-wrong-version"},
        {{"--pair", "2.0-3.0", v3, out}, 4, "source-wrong-version"},
        {{v3, out}, 2, "usage"},
        {{"--bogus", v2, out}, 2, "usage"},
        {{v2}, 2, "usage"},
        {{bad_utf8, out}, 3, "source-missing"},
        {{v2, fs::path(VKDC_CLI_PATH).parent_path().string() + "/VKDB23.mdb"}, 6, "save-failed"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"convert", "--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CliRun r = runCli(args);
        EXPECT_EQ(c.status, r.status) << r.err;
        const auto j = jsonOf(r);
        EXPECT_EQ(utf8(member(j, "problem")), c.problem) << r.out;
    }
    // The name that is not UTF-8 comes back with U+FFFD for the bad byte, never raw.
    CliRun r = runCli({"convert", "--json", bad_utf8, out});
    EXPECT_NE(std::string::npos, utf8(member(jsonOf(r), "source")).find("bad\xEF\xBF\xBD"));
}

#ifndef _WIN32
// What the system refuses is a failure, never success or lost rows: a file-size limit (as a full
// temporary folder) fails the conversion with the system's reason in the one JSON object, and
// output that cannot be written fails the run.
TEST(ConvertSafety, FailuresOfTheSystemFailTheRun) {
    TempDir tmp;
    fs::create_directory(tmp.file("tmp"));
    const std::string v2 = makeSample(tmp, "2.0", 1500, "v2.dbb");
    const std::string dest = tmp.file("dest.dbb");
    writeBytes(dest, "old");
    CliEnv limited;
    limited.tmpdir = tmp.file("tmp");
    limited.file_size_limit = 512 * 1024;  // the template fits, the converted rows do not
    CliRun r = runCli({"convert", "--json", v2, dest}, limited);
    EXPECT_EQ(6, r.status) << r.err;
    const auto j = jsonOf(r);
    EXPECT_EQ(utf8(member(j, "problem")), "save-failed");
    EXPECT_NE(std::string::npos, utf8(member(j, "detail")).find(std::strerror(EFBIG)));
    EXPECT_EQ(bytesOf(dest), "old");
    EXPECT_TRUE(fs::is_empty(tmp.file("tmp")));

    for (const char* out : {"/dev/full", "closed"}) {
        CliEnv env;
        env.stdout_to = out;
        r = runCli({"convert", "--json", v2, tmp.file("out.dbb")}, env);
        EXPECT_EQ(1, r.status) << out;
        EXPECT_NE(std::string::npos, r.err.find("cannot write to standard output")) << r.err;
    }
}
#endif

#ifdef _WIN32
// A source another program has open, reached by another name than the one its lock file goes
// with (an 8.3 short name, another hard link), or opened sharing nothing, is in use. A read-only
// source gives a new database the contact manager can write, and leaves nothing behind even when
// the save fails. The console gets its code page back.
TEST(ConvertSafety, WindowsSourcesInUseAndReadOnlySources) {
    using jet::win::apiPath;
    TempDir tmp;
    const std::string src = makeSample(tmp, "1.0", 5, "long source name.dbb");
    fs::create_hard_link(src, tmp.file("hard.dbb"));
    std::wstring short_name(MAX_PATH, L'\0');
    short_name.resize(::GetShortPathNameW(apiPath(src).c_str(), short_name.data(), MAX_PATH));
    std::vector<std::string> names;
    if (!short_name.empty() && jet::win::narrow(short_name).find(' ') == std::string::npos)
        names.push_back(jet::win::narrow(short_name));
    else
        std::cout << "note: no 8.3 short names here\n";
    // Wine lists no hard links (its FindFirstFileNameW is a stub).
    if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        names.push_back(tmp.file("hard.dbb"));
    else
        std::cout << "note: under Wine, which lists no hard links\n";
    writeBytes(tmp.file("long source name.ldb"), "");
    {
        testing_support::HeldFile held(tmp.file("long source name.ldb"));
        for (const std::string& name : names) {
            CliRun r = runCli({"convert", name, tmp.file("out.dbb")});
            EXPECT_EQ(3, r.status) << name << "\n" << r.err;
            EXPECT_NE(std::string::npos, r.err.find("close the contact manager first")) << r.err;
        }
    }
    fs::remove(tmp.file("long source name.ldb"));
    {
        const HANDLE alone = ::CreateFileW(apiPath(src).c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(alone, INVALID_HANDLE_VALUE);
        CliRun r = runCli({"convert", "--json", src, tmp.file("out.dbb")});
        ::CloseHandle(alone);
        EXPECT_EQ(3, r.status) << r.err;
        EXPECT_EQ(utf8(member(jsonOf(r), "problem")), "source-in-use");
    }

    const auto readOnly = [&](const std::string& path, bool on) {
        return ::SetFileAttributesW(apiPath(path).c_str(),
                                    on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    };
    const std::string out = tmp.file("out.dbb");
    ASSERT_TRUE(readOnly(src, true));
    ASSERT_EQ(0, runCli({"convert", src, out}).status);
    EXPECT_FALSE(::GetFileAttributesW(apiPath(out).c_str()) & FILE_ATTRIBUTE_READONLY);
    // The user's read-only file is never replaced: the save fails after the whole conversion.
    ASSERT_TRUE(readOnly(out, true));
    EXPECT_EQ(6, runCli({"convert", src, out}).status);
    readOnly(src, false);
    readOnly(out, false);
    EXPECT_EQ(entries(tmp.path()),
              (std::vector<std::string>{"hard.dbb", "long source name.dbb", "out.dbb"}));

    if (::GetConsoleOutputCP() == 0)
        ::AllocConsole();  // a console for vkdc-cli to share
    if (const UINT found = ::GetConsoleOutputCP(); found != 0) {
        ::SetConsoleOutputCP(437);
        runCli({"--help"});
        EXPECT_EQ(437u, ::GetConsoleOutputCP());
        ::SetConsoleOutputCP(found);
    } else {
        std::cout << "note: no console here; its code page is not checked\n";
    }
}
#endif

// SplitMix64, so a failing variant number replays.
class Rng {
  public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint32_t below(uint32_t n) {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return n ? static_cast<uint32_t>((z ^ (z >> 31)) % n) : 0;
    }

  private:
    uint64_t s_;
};

// Damage seeded into real sources: data pages that hold fewer or more rows than they should,
// pages copied over others, flipped bytes, wrong declared counts, truncation. Whatever comes
// out, exit 0 never comes with fewer rows than the source declares, a failure never touches
// an existing DEST, and the source is never changed.
TEST(ConvertSafety, SeededDamageNeverLosesRowsSilently) {
    TempDir tmp;
    fs::create_directory(tmp.file("tmp"));
    CliEnv env;
    env.tmpdir = tmp.file("tmp");
    struct Source {
        std::string path;
        std::u16string password;
        int variants;
    };
    std::vector<Source> sources{{makeSample(tmp, "1.0", 25, "v1.dbb"), u"Qe4^wT*9pLr2Zk8", 30},
                                {makeSample(tmp, "2.0", 25, "v2.dbb"), kNewPassword, 30}};
    if (const std::string corpus = testing_support::testdataDir(); !corpus.empty()) {
        // Jet files of other shapes: never a Velkor database, damaged or not.
        for (const char* f : {"jackcess-V2000-testV2000.mdb", "vbinventory-Data.mdb"})
            sources.push_back({corpus + "/files/" + f, u"", 5});
    }
    const std::string src = tmp.file("damaged.dbb"), dest = tmp.file("dest.dbb");
    int succeeded = 0, lost = 0, failed = 0;
    for (const Source& s : sources) {
        const std::string original = bytesOf(s.path);
        const uint32_t page_size = 4096;
        const uint32_t pages = static_cast<uint32_t>(original.size() / page_size);
        std::vector<uint32_t> data_pages, tdef_pages;
        for (const char* t : kTables) {
            if (auto l = testing_support::layoutOf(s.path, t, s.password)) {
                data_pages.insert(data_pages.end(), l->data_pages.begin(), l->data_pages.end());
                tdef_pages.push_back(l->tdef_page);
            }
        }
        for (uint32_t p = 1; data_pages.empty() && p < pages; ++p) {
            if (original[p * page_size] == 0x01)  // a data page of any table
                data_pages.push_back(p);
        }
        ASSERT_FALSE(data_pages.empty()) << s.path;
        if (tdef_pages.empty())
            tdef_pages.push_back(2);
        Rng rng(std::hash<std::string>{}(fs::path(s.path).filename().string()));
        for (int v = 0; v < s.variants; ++v) {
            std::string bytes = original;
            const uint32_t page = data_pages[rng.below(data_pages.size())];
            const size_t at = size_t{page} * page_size;
            switch (v % 5) {
                case 0: {  // a data page's row count, fewer or more
                    const size_t count = at + 12;
                    const uint32_t n = static_cast<uint8_t>(bytes[count]);
                    bytes[count] = static_cast<char>(rng.below(n + 4));
                    bytes[count + 1] = 0;
                    break;
                }
                case 1: {  // another page copied over this one
                    const uint32_t from = data_pages[rng.below(data_pages.size())] == page
                                              ? 1 + rng.below(pages - 1)
                                              : data_pages[rng.below(data_pages.size())];
                    bytes.replace(at, page_size, original, size_t{from} * page_size, page_size);
                    break;
                }
                case 2:  // flipped bytes in a data page
                    for (uint32_t k = 1 + rng.below(8); k > 0; --k)
                        bytes[at + 14 + rng.below(page_size - 14)] ^=
                            static_cast<char>(1 + rng.below(255));
                    break;
                case 3: {  // a table definition declares another count, or is damaged
                    const size_t tdef =
                        size_t{tdef_pages[rng.below(tdef_pages.size())]} * page_size;
                    if (rng.below(2) == 0) {
                        bytes[tdef + 16] = static_cast<char>(rng.below(60));
                    } else {
                        bytes[tdef + 16 + rng.below(200)] ^= static_cast<char>(1 + rng.below(255));
                    }
                    break;
                }
                default:  // cut short at a page boundary
                    bytes.resize(size_t{1 + rng.below(pages - 1)} * page_size);
                    break;
            }
            const std::string label =
                fs::path(s.path).filename().string() + " variant " + std::to_string(v);
            writeBytes(src, bytes);
            writeBytes(dest, "old destination");
            std::vector<std::string> args{"convert", "--json", src, dest};
            if (v % 2 == 1)
                args.insert(args.begin() + 1, {"--to", "3.0"});
            CliRun r = runCli(args, env);
            ASSERT_LT(r.status, 128) << label << " ended by a signal or the time limit\n" << r.err;
            jsonOf(r);
            EXPECT_TRUE(bytes == bytesOf(src)) << label << ": the source changed";
            if (r.status == 0) {
                ++succeeded;
                for (const char* t : kTables) {
                    auto declared = testing_support::layoutOf(src, t, s.password);
                    ASSERT_TRUE(declared) << label << ": success from a source that does not open";
                    EXPECT_GE(rowsIn(dest, t), declared->declared)
                        << label << ": " << t << " lost rows, exit 0\n"
                        << r.out;
                }
            } else {
                ++(r.status == 5 ? lost : failed);
                EXPECT_TRUE(bytesOf(dest) == "old destination")
                    << label << ": DEST changed, exit " << r.status;
            }
        }
    }
    std::cout << "damage sweep: " << succeeded << " converted, " << lost << " lost rows, " << failed
              << " refused or failed otherwise\n";
    EXPECT_GT(succeeded, 0);
    EXPECT_GT(lost, 0) << "the sweep never produced a damaged count";
    EXPECT_TRUE(fs::is_empty(tmp.file("tmp")));
    EXPECT_EQ(entries(tmp.path()),
              (std::vector<std::string>{"damaged.dbb", "dest.dbb", "tmp", "v1.dbb", "v2.dbb"}));
}

// SIGKILL at any moment of a conversion to 3.0: DEST is the old file or the complete new
// one, and the next conversion leaves no file of ours behind.
TEST(ConvertSafety, AKillAtAnyMomentLeavesTheOldOrTheCompleteDestination) {
    TempDir tmp;
    fs::create_directory(tmp.file("tmp"));
    fs::create_directory(tmp.file("out"));
    CliEnv env;
    env.tmpdir = tmp.file("tmp");
    const std::string src = makeSample(tmp, "1.0", 2000, "v1.dbb");
    const std::string src_bytes = bytesOf(src);
    const std::string dest = tmp.file("out/dest.dbb");

    // How long a whole run takes here (the slower of two, the machine being shared); the kills
    // are spread over that time and a little beyond.
    std::chrono::steady_clock::duration took{};
    for (int i = 0; i < 2; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(0, runCli({"convert", "--to", "3.0", src, tmp.file("ref.dbb")}, env).status);
        took = std::max(took, std::chrono::steady_clock::now() - start);
    }
    const std::string complete = bytesOf(tmp.file("ref.dbb"));

    for (int step = 0; step < 10; ++step) {
        const double moment = step * 0.12;
        writeBytes(dest, "old destination");
        const cli_test::Process pid = cli_test::startCli(
            {"convert", "--to", "3.0", src, dest}, tmp.file("stdout"), tmp.file("stderr"), env);
        ASSERT_TRUE(cli_test::started(pid));
        std::this_thread::sleep_for(took * moment);
        cli_test::killCli(pid);
        cli_test::waitCli(pid, 60);
        const std::string now = bytesOf(dest);
        EXPECT_TRUE(now == "old destination" || now == complete)
            << "killed at " << moment << ": DEST holds " << now.size() << " other bytes";
    }
    EXPECT_TRUE(src_bytes == bytesOf(src)) << "the source changed";
    ASSERT_EQ(0, runCli({"convert", "--to", "3.0", src, dest}, env).status);
    EXPECT_TRUE(complete == bytesOf(dest)) << "the last run did not save the complete file";
    EXPECT_TRUE(fs::is_empty(tmp.file("tmp"))) << entries(tmp.file("tmp")).front();
    EXPECT_EQ(entries(tmp.file("out")), std::vector<std::string>{"dest.dbb"});
}

}  // namespace
