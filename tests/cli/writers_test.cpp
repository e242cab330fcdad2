// The CSV and JSON forms the CLI writes: quoting rules, NULL against empty text, and the
// escapes that keep text exact.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "cli/common.h"
#include "cli/csv_writer.h"
#include "cli/json_writer.h"
#include "support/json.h"

namespace {

using testing_support::element;
using testing_support::items;
using testing_support::member;
using testing_support::numberText;
using testing_support::utf16;
using testing_support::utf8;

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
    EXPECT_EQ(utf8(member(*doc, "table")), "T \"1\"");
    ASSERT_EQ(items(member(*doc, "columns")).size(), 2u);
    EXPECT_EQ(numberText(member(element(member(*doc, "columns"), 0), "max_chars")), "50");
    EXPECT_EQ(numberText(member(element(member(*doc, "columns"), 1), "scale")), "2");
    ASSERT_EQ(items(member(*doc, "rows")).size(), 2u);
    EXPECT_EQ(utf16(element(element(member(*doc, "rows"), 0), 0)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(utf8(element(element(member(*doc, "rows"), 0), 1)), "12.34");
    EXPECT_TRUE(element(element(member(*doc, "rows"), 1), 0).is_null());

    std::ostringstream empty;
    cli::JsonTableWriter e(empty);
    e.begin("E", {}, jet::JetVersion::kJet3);
    e.end();
    auto edoc = testing_support::parseJson(empty.str(), &err);
    ASSERT_TRUE(edoc) << err << "\n" << empty.str();
    EXPECT_TRUE(items(member(*edoc, "rows")).empty());
}

TEST(Messages, PathsArePrintedWithoutControlCharactersOrBrokenUtf8) {
    // A file name can hold anything but "/" and NUL; what reaches the terminal must not act on it.
    EXPECT_EQ(cli::printable("a\nb\x1B[2Jc\x7F"), "a\\nb\\x1B[2Jc\\x7F");
    EXPECT_EQ(cli::printable("bad\xFF\xC3"), "bad\\xFF\\xC3");
    EXPECT_EQ(cli::printable("\xC2\x9B"), "\\xC2\\x9B");  // C1 control
    EXPECT_EQ(cli::printable("\xD9\x81\xD8\xA7\xD9\x8A\xD9\x84 \xF0\x9F\x98\x80 a\\b"),
              "\xD9\x81\xD8\xA7\xD9\x8A\xD9\x84 \xF0\x9F\x98\x80 a\\b");
    EXPECT_EQ(cli::errorLine("x\ty.mdb", jet::Status::ioError("x\ty.mdb: gone")),
              "vkdc-cli: x\\ty.mdb: gone");
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
