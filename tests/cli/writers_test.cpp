// The CSV and JSON forms the CLI writes: quoting rules, NULL against empty text, and the
// escapes that keep text exact.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "cli/csv_writer.h"
#include "cli/json_writer.h"
#include "cli/options.h"
#include "support/json_lite.h"

namespace {

std::string csv(const jet::Value& v) {
    std::string out;
    cli::appendCsvField(out, v);
    return out;
}

std::string json(const jet::Value& v) {
    std::string out;
    cli::appendJsonValue(out, v);
    return out;
}

TEST(CsvWriter, QuotesTextLikeTypesOnly) {
    EXPECT_EQ(csv(jet::Null{}), "");
    EXPECT_EQ(csv(std::u16string()), "\"\"");
    EXPECT_EQ(csv(std::u16string(u"say \"hi\",\r\nbye")), "\"say \"\"hi\"\",\r\nbye\"");
    EXPECT_EQ(csv(true), "1");
    EXPECT_EQ(csv(false), "0");
    EXPECT_EQ(csv(uint8_t{255}), "255");
    EXPECT_EQ(csv(int16_t{-32768}), "-32768");
    EXPECT_EQ(csv(int32_t{-2147483647 - 1}), "-2147483648");
    EXPECT_EQ(csv(jet::Money{35000}), "3.5000");
    EXPECT_EQ(csv(444.555), "444.555");
    EXPECT_EQ(csv(jet::DateTime{27293}), "\"1974-09-21 00:00:00\"");
    EXPECT_EQ(csv(jet::Bytes{0x01, 0xAB}), "\"01AB\"");
    EXPECT_EQ(csv(jet::Bytes{}), "\"\"");
    jet::Guid g;
    g.bytes[0] = 0x01;
    EXPECT_EQ(csv(g), "\"{00000001-0000-0000-0000-000000000000}\"");
}

TEST(CsvWriter, TextIsUtf8AndLoneSurrogatesAreReplaced) {
    EXPECT_EQ(csv(std::u16string(u"\u0633\u0644\u0627\u0645")),
              "\"\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85\"");
    EXPECT_EQ(csv(std::u16string{u'a', char16_t(0xDBFF)}), "\"a\xEF\xBF\xBD\"");
}

TEST(CsvWriter, HeaderAndRows) {
    std::vector<jet::ColumnDef> cols(3);
    cols[0].name = "Id No";
    cols[1].name = "a,b";
    cols[2].name = "say \"x\"";
    std::string out;
    cli::appendCsvHeader(out, cols);
    EXPECT_EQ(out, "Id No,\"a,b\",\"say \"\"x\"\"\"\n");
    out.clear();
    cli::appendCsvRow(out, {jet::Null{}, std::u16string(), int32_t{7}});
    EXPECT_EQ(out, ",\"\",7\n");
}

TEST(JsonWriter, ExactText) {
    EXPECT_EQ(json(std::u16string(u"a\"b\\c")), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(json(std::u16string(u"\n\t\x01")), "\"\\n\\t\\u0001\"");
    EXPECT_EQ(json(std::u16string(1, u'\0')), "\"\\u0000\"");
    // A lone surrogate is kept as its escape; a proper pair becomes UTF-8.
    EXPECT_EQ(json(std::u16string{u'x', char16_t(0xD83D)}), "\"x\\uD83D\"");
    EXPECT_EQ(json(std::u16string(u"\U0001F600")), "\"\xF0\x9F\x98\x80\"");
    EXPECT_EQ(json(std::u16string(u"\u00E9\u2028")), "\"\xC3\xA9\\u2028\"");
}

TEST(JsonWriter, OtherTypes) {
    EXPECT_EQ(json(jet::Null{}), "null");
    EXPECT_EQ(json(true), "true");
    EXPECT_EQ(json(int16_t{-5}), "-5");
    EXPECT_EQ(json(jet::Money{-1}), "\"-0.0001\"");
    EXPECT_EQ(json(1e20), "1e+20");
    EXPECT_EQ(json(0.5f), "0.5");
    EXPECT_EQ(json(std::numeric_limits<double>::quiet_NaN()), "\"NaN\"");
    EXPECT_EQ(json(-std::numeric_limits<float>::infinity()), "\"-Infinity\"");
    EXPECT_EQ(json(jet::DateTime{1.5}), "\"1899-12-31T12:00:00.000\"");
    EXPECT_EQ(json(jet::Bytes{0xDE, 0xAD}), "\"DEAD\"");
}

TEST(JsonWriter, TableStreamParsesBack) {
    std::vector<jet::ColumnDef> cols(2);
    cols[0].name = "Name";
    cols[0].type = jet::ColumnType::kText;
    cols[0].length = 100;
    cols[1].name = "Amount";
    cols[1].type = jet::ColumnType::kNumeric;
    cols[1].length = 17;
    cols[1].precision = 18;
    cols[1].scale = 2;
    std::ostringstream out;
    cli::JsonTableWriter w(out);
    w.begin("T \"1\"", cols, jet::JetVersion::kJet4);
    jet::Decimal d;
    d.scale = 2;
    d.words = {0, 0, 0, 1234};
    w.row({std::u16string(u"a\0b", 3), d});
    w.row({jet::Null{}, jet::Null{}});
    w.end();

    std::string err;
    auto doc = testing_support::parseJson(out.str(), &err);
    ASSERT_TRUE(doc) << err << "\n" << out.str();
    EXPECT_EQ((*doc)["table"].utf8(), "T \"1\"");
    ASSERT_EQ((*doc)["columns"].array.size(), 2u);
    EXPECT_EQ((*doc)["columns"].array[0]["max_chars"].number, "50");
    EXPECT_EQ((*doc)["columns"].array[1]["scale"].number, "2");
    ASSERT_EQ((*doc)["rows"].array.size(), 2u);
    EXPECT_EQ((*doc)["rows"].array[0].array[0].string, std::u16string(u"a\0b", 3));
    EXPECT_EQ((*doc)["rows"].array[0].array[1].utf8(), "12.34");
    EXPECT_TRUE((*doc)["rows"].array[1].array[0].isNull());

    std::ostringstream empty;
    cli::JsonTableWriter e(empty);
    e.begin("E", {}, jet::JetVersion::kJet3);
    e.end();
    auto edoc = testing_support::parseJson(empty.str(), &err);
    ASSERT_TRUE(edoc) << err << "\n" << empty.str();
    EXPECT_TRUE((*edoc)["rows"].array.empty());
}

TEST(Options, ParsesValuesAndRejectsTheRest) {
    auto o = cli::parseOptions({"f.mdb", "--password", "p w", "T", "--format=json"},
                               {.password = true, .format = true});
    ASSERT_TRUE(o) << o.status().message();
    EXPECT_EQ(o->positional, (std::vector<std::string>{"f.mdb", "T"}));
    EXPECT_EQ(o->password, "p w");
    EXPECT_EQ(o->format, "json");

    // An empty password is a password; "--" lets a file name start with a dash.
    o = cli::parseOptions({"--password=", "--", "--odd.mdb"}, {.password = true});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->password, "");
    EXPECT_EQ(o->positional, std::vector<std::string>{"--odd.mdb"});

    EXPECT_FALSE(cli::parseOptions({"--password"}, {.password = true}));
    EXPECT_FALSE(cli::parseOptions({"--format", "xml"}, {.format = true}));
    EXPECT_FALSE(cli::parseOptions({"--show-password"}, {.password = true}));
    EXPECT_FALSE(cli::parseOptions({"--bogus"}, {}));
}

TEST(Options, ExitCodesAndErrorLines) {
    EXPECT_EQ(cli::exitCodeFor(jet::Status::wrongPassword("x")), cli::kExitWrongPassword);
    EXPECT_EQ(cli::exitCodeFor(jet::Status::ioError("x")), cli::kExitCannotOpen);
    EXPECT_EQ(cli::exitCodeFor(jet::Status::unsupportedVersion("x")), cli::kExitCannotOpen);
    EXPECT_EQ(cli::exitCodeFor(jet::Status::notFound("x")), cli::kExitUsage);
    // The engine's I/O messages already start with the path; it is named once.
    EXPECT_EQ(cli::errorLine("a.mdb", jet::Status::ioError("a.mdb: No such file or directory")),
              "vkdc-cli: a.mdb: No such file or directory");
    EXPECT_EQ(cli::errorLine("a.mdb", jet::Status::notJet("not Jet")), "vkdc-cli: a.mdb: not Jet");
}

}  // namespace
