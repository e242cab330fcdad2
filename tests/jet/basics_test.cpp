// Low-level building blocks checked against values taken from real files.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "jet/bytes.h"
#include "jet/header.h"
#include "jet/rc4.h"
#include "jet/text.h"

namespace jet {
namespace {

TEST(Rc4, HeaderMaskKeystreamMatchesRealFiles) {
    // The first bytes of the keystream Jet uses for the header range.
    uint8_t buf[16] = {};
    rc4Apply(0x6B39DAC7, buf, sizeof buf);
    const uint8_t expected[16] = {0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55,
                                  0xEB, 0xA9, 0x67, 0x72, 0x43, 0x3F, 0x00, 0x9C};
    EXPECT_EQ(0, std::memcmp(buf, expected, 16));
}

TEST(Header, PasswordMaskAndSidKeyOfAKnownFile) {
    // Decoded header bytes of an Access 2000 file whose password is "password".
    std::vector<uint8_t> page(4096, 0);
    page[0] = 0;
    page[1] = 1;
    std::memcpy(page.data() + 4, "Standard Jet DB", 15);
    page[0x14] = 1;
    const uint8_t pw[16] = {0x68, 0xAE, 0x61, 0x00, 0x6B, 0xAE, 0x73, 0x00,
                            0x6F, 0xAE, 0x6F, 0x00, 0x6A, 0xAE, 0x64, 0x00};
    std::memcpy(page.data() + 0x42, pw, 16);
    for (int i = 16; i < 40; i += 4) {
        page[0x42 + i] = 0x18;
        page[0x42 + i + 1] = 0xAE;
    }
    const uint8_t tail[16] = {0xA6, 0x11, 0x00, 0x00, 0x09, 0x04, 0x00, 0x00,
                              0x9B, 0xBF, 0x57, 0xA9, 0x15, 0xC3, 0xE5, 0x40};
    std::memcpy(page.data() + 0x6A, tail, 16);
    EXPECT_EQ(0xA1779E24u, sidMaskKey(page.data()));

    toggleHeaderMask(JetVersion::kJet4, page.data());
    auto h = parseHeader(page.data(), page.size());
    ASSERT_TRUE(h.isOk()) << h.status().toString();
    EXPECT_EQ(u"password", h->password());
    EXPECT_TRUE(h->passwordMatches(u"password"));
    EXPECT_FALSE(h->passwordMatches(u"Password"));
    EXPECT_FALSE(h->passwordMatches(u""));
    EXPECT_EQ(1033, h->sort_order);
}

TEST(Header, BuiltHeaderRoundTripsPersianAndLongPasswords) {
    const std::u16string persian = u"\u0631\u0645\u0632 \u0648\u0631\u0648\u062F";
    for (const std::u16string& pw : {std::u16string(), persian, std::u16string(20, u'x')}) {
        auto page = buildJet4Header(1256, 1033, 46000.25, pw);
        ASSERT_TRUE(page.isOk());
        auto h = parseHeader(page->data(), page->size());
        ASSERT_TRUE(h.isOk());
        EXPECT_EQ(pw, h->password());
        EXPECT_EQ(!pw.empty(), h->hasPassword());
        EXPECT_EQ(1256, h->code_page);
        EXPECT_DOUBLE_EQ(46000.25, h->creation_date);
    }
    EXPECT_FALSE(buildJet4Header(1252, 1033, 46000, std::u16string(21, u'x')).isOk());
}

TEST(Header, RefusesWhatIsNotJet) {
    std::vector<uint8_t> page(4096, 0);
    EXPECT_EQ(Status::Code::kNotJet, parseHeader(page.data(), page.size()).status().code());
    page[1] = 1;
    std::memcpy(page.data() + 4, "Standard ACE DB", 15);
    page[0x14] = 3;
    auto h = parseHeader(page.data(), page.size());
    EXPECT_EQ(Status::Code::kUnsupportedVersion, h.status().code());
    EXPECT_NE(std::string::npos, h.status().message().find("Access 2010"));
}

TEST(Text, CompressedUnicodeTogglesAndEndsInEitherMode) {
    // "ab" compressed, then a switch to two-byte mode for U+0627 U+0628.
    const uint8_t v[] = {0xFF, 0xFE, 'a', 'b', 0x00, 0x27, 0x06, 0x28, 0x06};
    EXPECT_EQ(u"ab\u0627\u0628", decodeJet4Text(v, sizeof v));
    const uint8_t back[] = {0xFF, 0xFE, 0x00, 0x27, 0x06, 0x00, 'z'};
    EXPECT_EQ(u"\u0627z", decodeJet4Text(back, sizeof back));
    const uint8_t plain[] = {'h', 0, 'i', 0};
    EXPECT_EQ(u"hi", decodeJet4Text(plain, sizeof plain));
    EXPECT_EQ(u"", decodeJet4Text(nullptr, 0));  // an empty MEMO's bytes
}

}  // namespace
}  // namespace jet
