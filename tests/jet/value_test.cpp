// Text forms of cell values: dates under Access's rule, exact currency and decimals, GUIDs,
// shortest floating-point text, and UTF-8/UTF-16 conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "jet/value.h"

namespace {

using jet::formatDateTime;
using jet::formatDateTimeIso;

std::string civilText(const jet::CivilDateTime& c) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d %02d:%02d:%02d.%03d",
                  static_cast<long long>(c.year), c.month, c.day, c.hour, c.minute, c.second,
                  c.millisecond);
    return buf;
}

TEST(OleDate, AccessRuleForNegativeValues) {
    EXPECT_EQ(civilText(jet::oleToCivil(0)), "1899-12-30 00:00:00.000");
    EXPECT_EQ(civilText(jet::oleToCivil(1.5)), "1899-12-31 12:00:00.000");
    // The integer part is the day; the fraction is the time forward from that midnight.
    EXPECT_EQ(civilText(jet::oleToCivil(-1.25)), "1899-12-29 06:00:00.000");
    EXPECT_EQ(civilText(jet::oleToCivil(-0.5)), "1899-12-30 12:00:00.000");
    EXPECT_EQ(civilText(jet::oleToCivil(-94.43)), "1899-09-27 10:19:12.000");
    EXPECT_EQ(civilText(jet::oleToCivil(-1)), "1899-12-29 00:00:00.000");
}

TEST(OleDate, CalendarEdges) {
    EXPECT_EQ(formatDateTime(60), "1900-02-28 00:00:00");  // no phantom 1900-02-29
    EXPECT_EQ(formatDateTime(61), "1900-03-01 00:00:00");
    EXPECT_EQ(formatDateTime(36585), "2000-02-29 00:00:00");
    EXPECT_EQ(formatDateTime(-657434), "0100-01-01 00:00:00");  // Access's earliest date
    EXPECT_EQ(formatDateTime(2958465), "9999-12-31 00:00:00");
    EXPECT_EQ(formatDateTime(2958465.999988426), "9999-12-31 23:59:59");
    EXPECT_EQ(formatDateTime(-2), "1899-12-28 00:00:00");
    EXPECT_EQ(formatDateTime(-109206), "1600-12-31 00:00:00");
}

TEST(OleDate, RoundsToTheNearestSecondAcrossMidnight) {
    const double almost = 86399.6 / 86400.0;  // 23:59:59.6
    EXPECT_EQ(formatDateTime(1 + almost), "1900-01-01 00:00:00");
    EXPECT_EQ(formatDateTime(1 + 86399.4 / 86400.0), "1899-12-31 23:59:59");
    // Before 1899 the time runs forward too, so rounding up still reaches the next day.
    EXPECT_EQ(formatDateTime(-1 - almost), "1899-12-30 00:00:00");
    EXPECT_EQ(formatDateTime(29.82 / 86400.0), "1899-12-30 00:00:30");
    EXPECT_EQ(formatDateTimeIso(1 + 86399.9996 / 86400.0), "1900-01-01T00:00:00.000");
    EXPECT_EQ(formatDateTimeIso(38135.740623275466), "2004-05-28T17:46:29.851");
}

TEST(OleDate, CivilRoundTripsAtMillisecondResolution) {
    // Values in (-1, 0) read the same as their positive twins (day 0, time |x|), so only
    // the positive one comes back; they are left out here.
    EXPECT_EQ(civilText(jet::oleToCivil(-0.75)), civilText(jet::oleToCivil(0.75)));
    const double samples[] = {0,       1.5,       -1.25,     -1.75,         -94.43003082275,
                              38135.7, -657434.5, 2958465.5, 44568.6769112, -36000.999};
    for (double ole : samples) {
        const jet::CivilDateTime c = jet::oleToCivil(ole);
        const double back = jet::civilToOle(c);
        EXPECT_NEAR(back, ole, 1e-8) << ole << " -> " << civilText(c);
        EXPECT_EQ(civilText(jet::oleToCivil(back)), civilText(c)) << ole;
    }
    jet::CivilDateTime c{1805, 6, 12, 6, 0, 0, 0};
    EXPECT_LT(jet::civilToOle(c), -34534.0);
    EXPECT_DOUBLE_EQ(jet::civilToOle(c), -34534.25);
}

TEST(OleDate, GarbageNeverCrashes) {
    for (double d :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), 1e300, -1e300, 1e-300}) {
        EXPECT_FALSE(formatDateTime(d).empty());
        EXPECT_FALSE(formatDateTimeIso(d).empty());
    }
}

TEST(Money, FourDecimalsExactly) {
    EXPECT_EQ(jet::formatMoney({0}), "0.0000");
    EXPECT_EQ(jet::formatMoney({35000}), "3.5000");
    EXPECT_EQ(jet::formatMoney({-1}), "-0.0001");
    EXPECT_EQ(jet::formatMoney({-123400}), "-12.3400");
    EXPECT_EQ(jet::formatMoney({std::numeric_limits<int64_t>::max()}), "922337203685477.5807");
    EXPECT_EQ(jet::formatMoney({std::numeric_limits<int64_t>::min()}), "-922337203685477.5808");
}

jet::Decimal dec(bool neg, uint8_t scale, std::array<uint32_t, 4> words) {
    jet::Decimal d;
    d.negative = neg;
    d.precision = 28;
    d.scale = scale;
    d.words = words;
    return d;
}

TEST(Decimal, ScaleAndWordOrder) {
    EXPECT_EQ(jet::formatDecimal(dec(false, 0, {0, 0, 0, 1})), "1");
    EXPECT_EQ(jet::formatDecimal(dec(false, 0, {0, 0, 1, 0})), "4294967296");
    EXPECT_EQ(jet::formatDecimal(dec(true, 4, {0, 0, 0, 12345})), "-1.2345");
    EXPECT_EQ(jet::formatDecimal(dec(false, 5, {0, 0, 0, 5})), "0.00005");
    EXPECT_EQ(jet::formatDecimal(dec(false, 2, {0, 0, 0, 0})), "0.00");
    EXPECT_EQ(jet::formatDecimal(dec(true, 2, {0, 0, 0, 0})), "0.00");
    const uint32_t m = 0xFFFFFFFF;
    EXPECT_EQ(jet::formatDecimal(dec(false, 0, {m, m, m, m})),
              "340282366920938463463374607431768211455");
    EXPECT_EQ(jet::formatDecimal(dec(true, 28, {m, m, m, m})),
              "-34028236692.0938463463374607431768211455");
}

TEST(Guid, MixedEndianLayout) {
    jet::Guid g;
    g.bytes = {0x3A, 0x30, 0x96, 0xBC, 0xB8, 0x53, 0x4D, 0x47,
               0xAC, 0xC1, 0xD2, 0xEB, 0x8D, 0x0B, 0x09, 0xD5};
    EXPECT_EQ(jet::formatGuid(g), "{BC96303A-53B8-474D-ACC1-D2EB8D0B09D5}");
    EXPECT_EQ(jet::formatHex({0x00, 0xAB, 0x0F, 0xFF}), "00AB0FFF");
    EXPECT_EQ(jet::formatHex({}), "");
}

TEST(Floating, LooksLikeOtherToolsForOrdinaryValues) {
    EXPECT_EQ(jet::formatDouble(444.555), "444.555");
    EXPECT_EQ(jet::formatDouble(0), "0");
    EXPECT_EQ(jet::formatDouble(-0.0), "-0");
    EXPECT_EQ(jet::formatDouble(1e20), "1e+20");
    EXPECT_EQ(jet::formatDouble(1e15), "1000000000000000");
    EXPECT_EQ(jet::formatDouble(1e16), "1e+16");
    EXPECT_EQ(jet::formatDouble(0.0001), "0.0001");
    EXPECT_EQ(jet::formatDouble(0.00001), "1e-05");
    EXPECT_EQ(jet::formatDouble(-94.43), "-94.43");
    EXPECT_EQ(jet::formatDouble(1.5e-300), "1.5e-300");
    EXPECT_EQ(jet::formatFloat(309840992.0f), "3.09841e+08");
    EXPECT_EQ(jet::formatFloat(804983.375f), "804983.4");
    EXPECT_EQ(jet::formatFloat(12345678.0f), "12345678");
    EXPECT_EQ(jet::formatFloat(-0.00035133998608216643f), "-0.00035134");
}

TEST(Floating, ShortestTextReadsBackExactly) {
    const double doubles[] = {0.1 + 0.2,
                              1.0 / 3,
                              -94.43000000000001,
                              123456789012345678.0,
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::denorm_min(),
                              std::numeric_limits<double>::lowest()};
    for (double d : doubles) {
        EXPECT_EQ(std::strtod(jet::formatDouble(d).c_str(), nullptr), d) << jet::formatDouble(d);
    }
    const float floats[] = {43.32450866699219f, 1.0f / 3, -8540981760.0f,
                            std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::denorm_min()};
    for (float f : floats) {
        EXPECT_EQ(std::strtof(jet::formatFloat(f).c_str(), nullptr), f) << jet::formatFloat(f);
    }
    EXPECT_EQ(jet::formatDouble(std::numeric_limits<double>::infinity()), "inf");
}

TEST(Utf, SurrogatesAndInvalidBytes) {
    EXPECT_EQ(jet::toUtf8(u"A\u00E9\u0641"), "A\xC3\xA9\xD9\x81");
    EXPECT_EQ(jet::toUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(jet::toUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(jet::toUtf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
    EXPECT_EQ(jet::toUtf8(std::u16string(1, u'\0')), std::string(1, '\0'));

    EXPECT_EQ(jet::fromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(jet::fromUtf8("a\xFF"
                            "b"),
              u"a\uFFFDb");
    EXPECT_EQ(jet::fromUtf8("\xC0\x80"), u"\uFFFD");          // overlong NUL
    EXPECT_EQ(jet::fromUtf8("\xED\xA0\x80"), u"\uFFFD");      // encoded surrogate
    EXPECT_EQ(jet::fromUtf8("\xE2\x82"), u"\uFFFD");          // truncated
    EXPECT_EQ(jet::fromUtf8("\xF4\x90\x80\x80"), u"\uFFFD");  // above U+10FFFF
    const std::u16string persian = u"\u0645\u062E\u0627\u0637\u0628\u06CC\u0646";
    EXPECT_EQ(jet::fromUtf8(jet::toUtf8(persian)), persian);
}

TEST(Types, NamesAndKnownCodes) {
    EXPECT_EQ(jet::typeName(jet::ColumnType::kText), "Text");
    EXPECT_EQ(jet::typeName(jet::ColumnType::kLong), "Long");
    EXPECT_EQ(jet::typeName(jet::ColumnType::kUnknown0D), "Unknown (0x0D)");
    EXPECT_EQ(jet::typeName(static_cast<jet::ColumnType>(0x12)), "Unknown (0x12)");
    EXPECT_TRUE(jet::isKnownType(0x01));
    EXPECT_TRUE(jet::isKnownType(0x10));
    EXPECT_FALSE(jet::isKnownType(0x00));
    EXPECT_FALSE(jet::isKnownType(0x0E));
    EXPECT_FALSE(jet::isKnownType(0x12));
}

}  // namespace
