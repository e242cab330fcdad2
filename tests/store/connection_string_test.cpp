// Connection strings: the exact shapes the converters build, and parsing as the provider does.
#include <gtest/gtest.h>

#include "store/connection_string.h"
#include "store/version_pair.h"

namespace vkdc {
namespace {

TEST(ConnectionString, BuildsBothShapesExactly) {
    const VersionPair& p23 = versionPair(PairId::k20to30);
    EXPECT_EQ(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/home/u/VKDB.dbb;"
        "Jet OLEDB:Database Password=7#%2=91@&^408!3;",
        sourceConnectionString(p23, "/home/u/VKDB.dbb"));
    EXPECT_EQ(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/vkdc/VKDB23.mdb;;"
        "Jet OLEDB:Database Password=7#%2=91@&^408!3;",
        templateConnectionString(p23, "/opt/vkdc"));
    const VersionPair& p12 = versionPair(PairId::k10to20);
    EXPECT_EQ(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/b/Velkor-DB.dbb;"
        "Jet OLEDB:Database Password=Qe4^wT*9pLr2Zk8;",
        sourceConnectionString(p12, "/b/Velkor-DB.dbb"));
    EXPECT_EQ(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/vkdc/VKDB12.mdb;;"
        "Jet OLEDB:Database Password=7#%2=91@&^408!3;",
        templateConnectionString(p12, "/opt/vkdc"));
}

TEST(ConnectionString, ParsesTheDoubleSemicolonAndAnyKeywordCase) {
    auto props =
        parseConnectionString(templateConnectionString(versionPair(PairId::k20to30), "/opt/vkdc"));
    ASSERT_TRUE(props.isOk()) << props.status().toString();
    EXPECT_EQ("Microsoft.Jet.OLEDB.4.0", props->provider());
    EXPECT_EQ("/opt/vkdc/VKDB23.mdb", props->dataSource());
    EXPECT_EQ("7#%2=91@&^408!3", props->password());

    auto lower = parseConnectionString(" provider = x ;DATA SOURCE=/a b/c.mdb ;;; ");
    ASSERT_TRUE(lower.isOk());
    EXPECT_EQ("x", lower->provider());
    EXPECT_EQ("/a b/c.mdb", lower->dataSource());
}

TEST(ConnectionString, PathsThatTheProviderWouldMisreadAreQuotedAndComeBackWhole) {
    const VersionPair& p = versionPair(PairId::k20to30);
    for (const std::string path : {"/tmp/a;b/VKDB.dbb", "/tmp/it's \"here\"/x.dbb",
                                   "\"/tmp/quoted.dbb", " /tmp/lead", "/tmp/trail ", "'x;'"}) {
        auto props = parseConnectionString(sourceConnectionString(p, path));
        ASSERT_TRUE(props.isOk()) << path << ": " << props.status().toString();
        EXPECT_EQ(path, props->dataSource());
        EXPECT_EQ(p.source_password, props->password());
    }
    // An ordinary path stays exactly as typed.
    EXPECT_EQ("/tmp/plain path.dbb", quoteConnectionValue("/tmp/plain path.dbb"));
}

TEST(ConnectionString, MalformedTextIsAnErrorNotAGuess) {
    EXPECT_FALSE(parseConnectionString("Provider=x;Data Source=\"/unclosed").isOk());
    EXPECT_FALSE(parseConnectionString("Provider=x;junk;").isOk());
    EXPECT_FALSE(parseConnectionString("Data Source=\"a\"b;").isOk());
    EXPECT_FALSE(parseConnectionString("=value").isOk());
    EXPECT_TRUE(parseConnectionString("").isOk());
}

TEST(VersionPairs, FieldPairsFollowTheTargetColumnsAndSkipMissingBoxes) {
    const VersionPair& p23 = versionPair(PairId::k20to30);
    const auto& site = p23.tables[1].fields;
    ASSERT_EQ(15u, site.size());
    std::vector<std::string> blanks;
    for (const auto& f : site) {
        if (f.isBlank()) {
            blanks.push_back(f.target_column);
        } else {
            EXPECT_EQ(f.target_column, *f.source_column);
            EXPECT_EQ("c" + f.new_box.substr(1), *f.old_box);
        }
    }
    EXPECT_EQ((std::vector<std::string>{"Telegram", "Instagram", "Linkedin"}), blanks);
    EXPECT_EQ("d15", site.back().new_box);
    EXPECT_EQ("Tozihat", site.back().target_column);

    const auto& site12 = versionPair(PairId::k10to20).tables[1].fields;
    ASSERT_EQ(15u, site12.size());
    for (size_t i = 0; i < 11; ++i)
        EXPECT_FALSE(site12[i].isBlank());
    for (size_t i = 11; i < 15; ++i)
        EXPECT_TRUE(site12[i].isBlank());

    EXPECT_EQ((std::vector<std::string>{"User_Old", "User_New", "Site_Old", "Site_New", "Cats_Old",
                                        "Cats_New", "Cont_Old", "Cont_New"}),
              p23.controlsInOrder());
    EXPECT_EQ("Adodc8", versionPair(PairId::k10to20).controlsInOrder().back());
}

}  // namespace
}  // namespace vkdc
