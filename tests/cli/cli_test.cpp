// The built vkdc-cli, run as a user would: exit statuses, where messages go, password
// handling, and that a dump equals the truth export of the same table.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cli/cli_run.h"
#include "support/damage.h"
#include "support/files.h"
#include "support/json.h"

namespace {

using cli_test::CliRun;
using cli_test::runCli;
using testing_support::element;
using testing_support::isTrue;
using testing_support::items;
using testing_support::member;
using testing_support::numberText;
using testing_support::TempDir;
using testing_support::utf8;

size_t lineCount(const std::string& s) {
    return std::count(s.begin(), s.end(), '\n');
}

class CliTest : public testing::Test {
  protected:
    void SetUp() override { dir_ = testing_support::testdataDir(); }
    // A corpus file, or skips the test when the corpus is absent.
    std::string corpus(const std::string& name) {
        return dir_.empty() ? std::string() : dir_ + "/files/" + name;
    }
    std::string dir_;
};

#define REQUIRE_CORPUS()                                        \
    do {                                                        \
        if (dir_.empty())                                       \
            GTEST_SKIP() << "no corpus: set VKDC_TESTDATA_DIR"; \
    } while (0)

TEST_F(CliTest, UsageAndBadArguments) {
    CliRun r = runCli({});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Usage: vkdc-cli"), std::string::npos);

    r = runCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("inspect"), std::string::npos);
    EXPECT_NE(r.out.find("dump"), std::string::npos);

    EXPECT_EQ(runCli({"frobnicate"}).status, 2);
    EXPECT_EQ(runCli({"inspect"}).status, 2);
    EXPECT_EQ(runCli({"dump", "only-a-file.mdb"}).status, 2);
    EXPECT_EQ(runCli({"dump", "a.mdb", "T", "--format", "xml"}).status, 2);
    EXPECT_EQ(runCli({"inspect", "a.mdb", "--bogus"}).status, 2);
    EXPECT_EQ(runCli({"dump", "--help"}).status, 0);
}

TEST_F(CliTest, OptionsHelpDashedNamesAndWhatMessagesEcho) {
    for (const char* verb :
         {"inspect", "check", "dump", "convert", "make-template", "make-sample"}) {
        CliRun r = runCli({verb, "--help"});
        EXPECT_EQ(r.status, 0) << verb;
        EXPECT_NE(r.out.find(std::string("Usage: vkdc-cli ") + verb), std::string::npos) << r.out;
    }
    TempDir tmp;
    cli_test::CliEnv here;
    here.cwd = tmp.path();
    // Names that start with "-" follow "--"; without it they are options, and refused.
    ASSERT_EQ(0, runCli({"make-sample", "2.0", "--", "-old.dbb"}, here).status);
    EXPECT_EQ(2, runCli({"convert", "-old.dbb", "-new.dbb"}, here).status);
    CliRun r = runCli({"convert", "--", "-old.dbb", "-new.dbb"}, here);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(0, runCli({"inspect", "--", "-new.dbb"}, here).status);
    // A name as long as a file system allows (255 bytes) is a fine destination.
    const std::string longest = std::string(251, 'n') + ".dbb";
    EXPECT_EQ(0, runCli({"convert", "--", "-old.dbb", longest}, here).status);
    EXPECT_TRUE(std::filesystem::exists(tmp.file(longest)));
    // Control characters in a name are escaped in messages, never echoed to the terminal.
    r = runCli({"convert", "gone\x1B[2J\n.dbb", "x.dbb"}, here);
    EXPECT_EQ(3, r.status);
    EXPECT_NE(r.err.find("gone\\x1B[2J\\n.dbb"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1B'), std::string::npos);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
}

TEST_F(CliTest, FilesThatCannotBeOpened) {
    TempDir tmp;
    const std::string missing = tmp.file("missing.mdb");
    CliRun r = runCli({"inspect", missing});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;

    const std::string junk = tmp.file("junk.mdb");
    std::ofstream(junk) << std::string(8192, 'x');
    r = runCli({"dump", junk, "T"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(junk), std::string::npos) << r.err;

    const std::string empty = tmp.file("empty.mdb");
    std::ofstream{empty};
    EXPECT_EQ(runCli({"inspect", empty}).status, 3);

#ifndef _WIN32
    // A FIFO is refused at once, not waited on.
    const std::string fifo = tmp.file("fifo.mdb");
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    cli_test::CliEnv briefly;
    briefly.timeout_s = 20;
    r = runCli({"inspect", fifo}, briefly);
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("not a regular file (a FIFO)"), std::string::npos) << r.err;
    // Nor is one ever replaced by a file the make verbs write.
    EXPECT_EQ(runCli({"make-template", "2.0", fifo}).status, 3);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
#endif

    REQUIRE_CORPUS();
    r = runCli({"inspect", corpus("jackcess-V2010-testV2010.accdb")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
}

TEST_F(CliTest, Passwords) {
    REQUIRE_CORPUS();
    const std::string file = corpus("mdbreader-V2000_with-password.mdb");

    // Inspection without a password works, says a password is set, and does not print it.
    CliRun r = runCli({"inspect", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("set"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\"password\""), std::string::npos) << r.out;
    r = runCli({"inspect", file, "--show-password"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"password\""), std::string::npos) << r.out;
    EXPECT_EQ(runCli({"inspect", file, "--password", "Password"}).status, 4);
    EXPECT_EQ(runCli({"inspect", file, "--password", "password"}).status, 0);

    // Dumping checks the password; the wrong one is never echoed back.
    r = runCli({"dump", file, "Table1"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    r = runCli({"dump", file, "Table1", "--password=Password"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err.find("Password"), std::string::npos) << r.err;

    // An empty password is a password, however it is spelled.
    EXPECT_EQ(runCli({"dump", file, "Table1", "--password="}).status, 4);
    EXPECT_EQ(runCli({"inspect", "--password=", corpus("mdbreader-V2000_no-password.mdb")}).status,
              0);

    r = runCli({"dump", file, "Table1", "--password", "password"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, testing_support::readFile(dir_ + "/truth/mdbreader-V2000_with-password.mdb/"
                                                      "Table1.csv")
                         .value_or("(no truth file)"));
}

TEST_F(CliTest, InspectListsTablesAndLinks) {
    REQUIRE_CORPUS();
    CliRun r = runCli({"inspect", corpus("jackcess-testIndexCodes-r2009.mdb")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Jet 4"), std::string::npos);
    EXPECT_NE(r.out.find("1252"), std::string::npos);
    EXPECT_NE(r.out.find("Table Table1: 275 rows"), std::string::npos) << r.out;  // TDEF says 274

    r = runCli({"inspect", corpus("ucanaccess-linked.mdb")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Linked table Table1 -> "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("linkee1.mdb"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Table Table1:"), std::string::npos) << r.out;

    r = runCli({"dump", corpus("ucanaccess-linked.mdb"), "Table1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("linked"), std::string::npos) << r.err;
    r = runCli({"dump", corpus("jackcess-V2000-testV2000.mdb"), "NoSuchTable"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Table1"), std::string::npos) << r.err;  // names what exists
}

TEST_F(CliTest, JsonDump) {
    REQUIRE_CORPUS();
    CliRun r =
        runCli({"dump", corpus("jackcess-V2000-testV2000.mdb"), "Table1", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string err;
    auto doc = testing_support::parseJson(r.out, &err);
    ASSERT_TRUE(doc) << err << "\n" << r.out;
    EXPECT_EQ(utf8(member(*doc, "table")), "Table1");
    ASSERT_EQ(items(member(*doc, "columns")).size(), 9u);
    EXPECT_EQ(utf8(member(element(member(*doc, "columns"), 0), "name")), "A");
    EXPECT_EQ(utf8(member(element(member(*doc, "columns"), 0), "type")), "Text");
    const auto& rows = items(member(*doc, "rows"));
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), 9u);
    EXPECT_EQ(utf8(rows[0][0]), "abcdefg");
    EXPECT_EQ(numberText(rows[0][5]), "444.555");
    EXPECT_EQ(utf8(rows[0][6]), "1974-09-21T00:00:00.000");
    EXPECT_EQ(utf8(rows[0][7]), "3.5000");
    EXPECT_TRUE(isTrue(rows[0][8]));
    EXPECT_TRUE(rows[1][8].is_boolean() && !isTrue(rows[1][8]));
}

}  // namespace

namespace {

// convert runs the same core as the windows; here only what the command line adds is checked:
// the verbs around it, version detection, the one-pass run to 3.0 and the exit statuses.
TEST(CliConvert, SamplesConvertThroughEveryRouteWithTheRightStatus) {
    TempDir tmp;
    const std::string v1 = tmp.file("v1.dbb"), v2 = tmp.file("v2.dbb");
    ASSERT_EQ(0, runCli({"make-sample", "1.0", v1, "--rows", "30"}).status);
    ASSERT_EQ(0, runCli({"make-sample", "2.0", v2, "--rows", "30"}).status);

    CliRun r = runCli({"convert", "--verify", v1, tmp.file("a.dbb")});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("version 1.0")) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Table_Contact: 30 read, 30 written, 0 failed"))
        << r.out;

    r = runCli({"convert", "--to", "3.0", "--verify", "--json", v1, tmp.file("b.dbb")});
    EXPECT_EQ(0, r.status) << r.err;
    auto json = testing_support::parseJson(r.out);
    ASSERT_TRUE(json.has_value()) << r.out;
    EXPECT_TRUE(isTrue(member(*json, "ok")));
    // One pass, straight to 3.0.
    ASSERT_EQ(1u, items(member(*json, "steps")).size());
    EXPECT_EQ("1.0-3.0", utf8(member(element(member(*json, "steps"), 0), "pair")));
    // The result is a 3.0 file: converting it again is refused as already current.
    EXPECT_EQ(2, runCli({"convert", tmp.file("b.dbb"), tmp.file("c.dbb")}).status);

    EXPECT_EQ(4, runCli({"convert", "--pair", "2.0-3.0", v1, tmp.file("d.dbb")}).status);
    EXPECT_EQ(3, runCli({"convert", tmp.file("missing.dbb"), tmp.file("e.dbb")}).status);
    r = runCli({"convert", v2, tmp.file("no/such/folder/f.dbb")});
    EXPECT_EQ(6, r.status);
    EXPECT_NE(std::string::npos, r.err.find("no/such/folder")) << r.err;
    EXPECT_EQ(2, runCli({"convert", "--pair", "9.9", v2, tmp.file("g.dbb")}).status);
    EXPECT_EQ(2, runCli({"convert", v2}).status);
    EXPECT_EQ(2, runCli({"make-template", "1.0", tmp.file("t.mdb")}).status);
}

// The check itself is the engine's (tests/jet); here its statuses, text and JSON.
TEST(CliCheck, StatusesFindingsAndJson) {
    TempDir tmp;
    const std::string tpl = tmp.file("t.mdb"), sample = tmp.file("s.dbb");
    ASSERT_EQ(0, runCli({"make-template", "3.0", tpl}).status);
    ASSERT_EQ(0, runCli({"make-sample", "2.0", sample, "--rows", "60"}).status);
    CliRun r = runCli({"check", tpl});
    EXPECT_EQ(0, r.status) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.out.find(": consistent (24 pages, 8 tables")) << r.out;
    EXPECT_EQ(0, runCli({"check", sample, "--password", "7#%2=91@&^408!3"}).status);
    EXPECT_EQ(4, runCli({"check", sample, "--password", "wrong"}).status);
    const std::string junk = tmp.file("junk.mdb");
    std::ofstream(junk) << std::string(8192, 'x');
    EXPECT_EQ(3, runCli({"check", junk}).status);

    ASSERT_TRUE(testing_support::setColumnType(sample, "Table_Category", u"7#%2=91@&^408!3",
                                               "Category", 0x02));
    r = runCli({"check", sample});
    EXPECT_EQ(5, r.status);
    EXPECT_NE(std::string::npos,
              r.out.find("damage: Table_Category: page 20: column Category: a Byte column is 1 "
                         "byte, not 510\n"))
        << r.out;
    r = runCli({"check", "--json", sample});
    EXPECT_EQ(5, r.status);
    auto json = testing_support::parseJson(r.out);
    ASSERT_TRUE(json.has_value()) << r.out;
    EXPECT_FALSE(isTrue(member(*json, "ok")));
    EXPECT_EQ("1", numberText(member(*json, "damage")));
    const auto& finding = element(member(*json, "findings"), 0);
    EXPECT_EQ("columns", utf8(member(finding, "area")));
    EXPECT_EQ("Table_Category", utf8(element(member(finding, "tables"), 0)));
    EXPECT_EQ("20", numberText(member(finding, "page")));
    EXPECT_TRUE(member(finding, "row").is_null());
}

TEST(CliMakeSample, MoreContactsThanFitIn2GBAreRefusedAtOnce) {
    TempDir tmp;
    for (const char* version : {"1.0", "2.0"}) {
        CliRun r = runCli({"make-sample", version, tmp.file("big.dbb"), "--rows", "4000000"});
        EXPECT_EQ(2, r.status);
        EXPECT_NE(
            std::string::npos,
            r.err.find("the converted database would exceed the 2 GB limit of the file format"))
            << r.err;
        EXPECT_NE(std::string::npos, r.err.find("holds at most")) << r.err;
        EXPECT_FALSE(testing_support::readFile(tmp.file("big.dbb")).has_value());
    }
}

}  // namespace
