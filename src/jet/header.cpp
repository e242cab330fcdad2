#include "jet/header.h"

#include <cmath>
#include <cstring>

#include "jet/bytes.h"
#include "jet/codepage.h"
#include "jet/rc4.h"

namespace jet {
namespace {

constexpr uint32_t kHeaderMaskKey = 0x6B39DAC7;
constexpr size_t kMaskStart = 0x18;
constexpr size_t kPasswordOffset = 0x42;
constexpr size_t kCodePageOffset = 0x3C;
constexpr size_t kDbKeyOffset = 0x3E;
constexpr size_t kJet3SortOffset = 0x3A;
constexpr size_t kJet4SortOffset = 0x6E;
constexpr size_t kDateOffset = 0x72;
constexpr size_t kVersionOffset = 0x14;

const char* aceName(uint8_t v) {
    switch (v) {
        case 2:
            return "Access 2007 (ACE 12)";
        case 3:
            return "Access 2010 (ACE 14)";
        case 4:
            return "Access 2013 (ACE 15)";
        case 5:
            return "Access 2016 (ACE 16)";
        case 6:
            return "Access 2019 (ACE 17)";
        default:
            return nullptr;
    }
}

}  // namespace

void toggleHeaderMask(JetVersion version, uint8_t* page0) {
    rc4Apply(kHeaderMaskKey, page0 + kMaskStart, formatFor(version).header_mask_len);
}

std::array<uint8_t, 4> passwordDateMask(double creation_date) {
    // Truncation toward zero, as Jet does; every real date is after 1899-12-30 anyway.
    int32_t m = 0;
    if (std::isfinite(creation_date) && creation_date > -2147483648.0 &&
        creation_date < 2147483648.0) {
        m = static_cast<int32_t>(creation_date);
    }
    uint32_t u = static_cast<uint32_t>(m);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

Result<Header> parseHeader(const uint8_t* raw, size_t len) {
    if (len < 0x20 || raw[0] != kPageHeader || raw[1] != 0x01) {
        return Status::notJet("the first page is not a Jet database header");
    }
    char engine[16] = {};
    std::memcpy(engine, raw + 4, 15);
    const std::string eng(engine);
    const uint8_t v = raw[kVersionOffset];
    if (eng == "Standard ACE DB" || (eng == "Standard Jet DB" && aceName(v))) {
        const char* n = aceName(v);
        return Status::unsupportedVersion(std::string("this is an ") +
                                          (n ? n : "Access 2007 or later") +
                                          " .accdb database; only Jet 3 and Jet 4 (.mdb) "
                                          "databases are supported");
    }
    if (eng == "MSISAM Database") {
        return Status::unsupportedVersion("this is an MSISAM (Microsoft Money) database");
    }
    if (eng != "Standard Jet DB") {
        return Status::notJet("the header does not name the Jet engine");
    }
    if (v > 1) {
        return Status::unsupportedVersion("unknown Jet version byte " + std::to_string(v));
    }
    Header h;
    h.version = v == 0 ? JetVersion::kJet3 : JetVersion::kJet4;
    const Format& f = h.format();
    h.page_size = f.page_size;
    if (len < kMaskStart + f.header_mask_len) {
        return Status::corrupt("page 0: header is truncated");
    }
    std::array<uint8_t, 128> dec{};
    std::memcpy(dec.data(), raw + kMaskStart, f.header_mask_len);
    rc4Apply(kHeaderMaskKey, dec.data(), f.header_mask_len);
    auto at = [&](size_t off) { return dec.data() + (off - kMaskStart); };

    h.code_page = le16(at(kCodePageOffset));
    h.db_key = le32(at(kDbKeyOffset));
    if (h.version == JetVersion::kJet3) {
        h.sort_order = le16(at(kJet3SortOffset));
        h.sort_version = 0;
        std::memcpy(h.password_plain.data(), at(kPasswordOffset), 20);
    } else {
        h.sort_order = le16(at(kJet4SortOffset));
        h.sort_version = at(kJet4SortOffset)[3];
        h.creation_date = leDouble(at(kDateOffset));
        const auto mask = passwordDateMask(h.creation_date);
        for (size_t i = 0; i < 40; ++i)
            h.password_plain[i] = at(kPasswordOffset)[i] ^ mask[i % 4];
    }
    return h;
}

bool Header::hasPassword() const {
    for (uint8_t b : password_plain)
        if (b)
            return true;
    return false;
}

std::u16string Header::password() const {
    std::u16string out;
    if (version == JetVersion::kJet4) {
        for (size_t i = 0; i + 1 < 40; i += 2) {
            char16_t c = static_cast<char16_t>(password_plain[i] | (password_plain[i + 1] << 8));
            if (c == 0)
                break;
            out.push_back(c);
        }
    } else {
        for (size_t i = 0; i < 20; ++i) {
            if (password_plain[i] == 0)
                break;
            out.push_back(codePageToUnicode(code_page, password_plain[i]));
        }
    }
    return out;
}

bool Header::passwordMatches(const std::u16string& candidate) const {
    return password() == candidate;
}

uint32_t sidMaskKey(const uint8_t* page0) {
    uint8_t r[80];
    std::memcpy(r, page0 + kPasswordOffset, 80);
    const auto mask = passwordDateMask(leDouble(page0 + kDateOffset));
    for (size_t i = 0; i < 40; ++i)
        r[i] ^= mask[i % 4];
    uint32_t k = le32(page0 + kDateOffset);
    for (uint32_t i = 0; i < 40; ++i)
        k ^= static_cast<uint32_t>(r[2 * i]) << (i % 24);
    return k;
}

Result<std::vector<uint8_t>> buildJet4Header(uint16_t code_page, uint16_t sort_order,
                                             double creation_date, const std::u16string& password) {
    if (password.size() > 20) {
        return Status::invalidArgument("a database password has at most 20 characters, got " +
                                       std::to_string(password.size()));
    }
    std::vector<uint8_t> p(4096, 0);
    p[0] = 0x00;
    p[1] = 0x01;
    std::memcpy(p.data() + 4, "Standard Jet DB", 15);
    put32(p.data() + kVersionOffset, 1);
    const uint32_t words[6] = {0x100, 0x101, 2, 3, 4, 5};
    for (int i = 0; i < 6; ++i)
        put32(p.data() + kMaskStart + 4 * i, words[i]);
    put16(p.data() + kCodePageOffset, code_page);
    put32(p.data() + kDbKeyOffset, 0);
    put16(p.data() + kJet4SortOffset, sort_order);
    putDouble(p.data() + kDateOffset, creation_date);
    const auto mask = passwordDateMask(creation_date);
    for (size_t i = 0; i < 40; ++i) {
        uint8_t b = 0;
        if (i / 2 < password.size()) {
            char16_t c = password[i / 2];
            b = (i % 2 == 0) ? static_cast<uint8_t>(c) : static_cast<uint8_t>(c >> 8);
        }
        p[kPasswordOffset + i] = b ^ mask[i % 4];
    }
    // Constants outside the masked range that every engine-made Jet 4 file carries.
    const uint8_t tail[8] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};
    std::memcpy(p.data() + 0x98, tail, 8);
    p[0xE00] = 0x01;
    p[0xE01] = 0x01;
    for (size_t off = 0xE02; off < 0x1000; off += 2) {
        p[off] = 0x00;
        p[off + 1] = 0x01;
    }
    toggleHeaderMask(JetVersion::kJet4, p.data());
    return p;
}

}  // namespace jet
