// Text forms of values: what a bound field shows and what it accepts, with nothing lost.
#include <gtest/gtest.h>

#include "store/value_text.h"

namespace vkdc {
namespace {

using jet::ColumnType;
using jet::Value;

jet::ColumnDef column(ColumnType t, const char* name = "C") {
    jet::ColumnDef c;
    c.name = name;
    c.type = t;
    c.length = t == ColumnType::kText ? 510 : 0;
    return c;
}

TEST(ValueText, EveryTypeReadsBackFromItsOwnText) {
    jet::Guid g;
    for (int i = 0; i < 16; ++i)
        g.bytes[i] = static_cast<uint8_t>(i * 17);
    const std::vector<std::pair<ColumnType, Value>> cases = {
        {ColumnType::kBoolean, Value(true)},
        {ColumnType::kByte, Value(uint8_t{255})},
        {ColumnType::kInt, Value(int16_t{-32768})},
        {ColumnType::kLong, Value(int32_t{2147483647})},
        {ColumnType::kMoney, Value(jet::Money{-123456789})},
        {ColumnType::kFloat, Value(0.1f)},
        {ColumnType::kDouble, Value(1.0 / 3.0)},
        {ColumnType::kDateTime, Value(jet::DateTime{45000.5})},
        {ColumnType::kGuid, Value(g)},
        {ColumnType::kOle, Value(jet::Bytes{0x00, 0xFF, 0x10})},
        {ColumnType::kText, Value(std::u16string(u"  \u0633\u0644\u0627\u0645\u200C \U0001F600 "))},
    };
    for (const auto& [type, v] : cases) {
        const std::string text = valueToText(v);
        auto back = valueFromText(column(type), text);
        ASSERT_TRUE(back.isOk()) << text << ": " << back.status().toString();
        EXPECT_TRUE(*back == v) << "type " << jet::typeName(type) << " text " << text;
    }
    EXPECT_EQ("-12345.6789", valueToText(Value(jet::Money{-123456789})));
    EXPECT_EQ("True", valueToText(Value(true)));
    EXPECT_EQ("2023-03-15 12:00:00", valueToText(Value(jet::DateTime{45000.5})));
}

TEST(ValueText, RefusesWhatTheColumnCannotHoldAndNamesIt) {
    struct Case {
        ColumnType type;
        const char* text;
    };
    for (const Case& c :
         {Case{ColumnType::kByte, "256"}, Case{ColumnType::kInt, "40000"},
          Case{ColumnType::kLong, "12x"}, Case{ColumnType::kMoney, "1.23456"},
          Case{ColumnType::kFloat, "1e39"}, Case{ColumnType::kDateTime, "2023-02-30"},
          Case{ColumnType::kBoolean, "maybe"}, Case{ColumnType::kOle, "ABC"},
          Case{ColumnType::kGuid, "{1234}"}}) {
        auto v = valueFromText(column(c.type, "Amount"), c.text);
        ASSERT_FALSE(v.isOk()) << c.text;
        EXPECT_EQ(jet::Status::Code::kInvalidArgument, v.status().code());
        EXPECT_NE(std::string::npos, v.status().message().find("Amount")) << v.status().message();
    }
}

TEST(ValueText, EmptyTextIsNoValueExceptInTextColumns) {
    EXPECT_TRUE(jet::isNull(*valueFromText(column(ColumnType::kLong), "")));
    EXPECT_TRUE(jet::isNull(*valueFromText(column(ColumnType::kDateTime), "  ")));
    auto text = valueFromText(column(ColumnType::kText), "");
    ASSERT_TRUE(std::holds_alternative<std::u16string>(*text));
    EXPECT_TRUE(std::get<std::u16string>(*text).empty());
}

TEST(ValueText, SameTypeCopiesAreExactAndOthersGoThroughText) {
    const jet::Bytes blob(5000, 0xAB);
    auto ole = convertValue(ColumnType::kOle, Value(blob), column(ColumnType::kOle));
    ASSERT_TRUE(ole.isOk());
    EXPECT_TRUE(*ole == Value(blob));

    const Value precise(jet::DateTime{45000.123456789});
    auto dt = convertValue(ColumnType::kDateTime, precise, column(ColumnType::kDateTime));
    EXPECT_TRUE(*dt == precise);  // no rounding to seconds on the way

    auto memo =
        convertValue(ColumnType::kText, Value(std::u16string(u"x")), column(ColumnType::kMemo));
    EXPECT_TRUE(*memo == Value(std::u16string(u"x")));

    auto num =
        convertValue(ColumnType::kText, Value(std::u16string(u" 42 ")), column(ColumnType::kLong));
    ASSERT_TRUE(num.isOk());
    EXPECT_TRUE(*num == Value(int32_t{42}));
    EXPECT_TRUE(jet::isNull(
        *convertValue(ColumnType::kText, Value(jet::Null{}), column(ColumnType::kText))));
}

}  // namespace
}  // namespace vkdc
