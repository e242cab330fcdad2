#include "jet/index_key.h"

#include <cstdio>

namespace jet {
namespace {

constexpr uint8_t kKeyValueFollows = 0x7F;

// Sort codes of the "General (legacy)" collation for U+0020..U+007E; 0 marks characters that
// need the extended tables (apostrophe, hyphen). Two-byte codes are 0x2B followed by `second`.
struct TextCode {
    uint8_t first;
    uint8_t second;  // 0 when the code is a single byte
};

// clang-format off
constexpr TextCode kAsciiCodes[95] = {
    {0x07, 0}, {0x09, 0}, {0x0A, 0}, {0x0C, 0}, {0x0E, 0}, {0x10, 0}, {0x12, 0}, {0, 0},  // sp-'
    {0x14, 0}, {0x16, 0}, {0x18, 0}, {0x2C, 0}, {0x1A, 0}, {0, 0}, {0x1C, 0}, {0x1E, 0},  // (-/
    {0x36, 0}, {0x38, 0}, {0x3A, 0}, {0x3C, 0}, {0x3E, 0}, {0x40, 0}, {0x42, 0}, {0x44, 0},  // 0-7
    {0x46, 0}, {0x48, 0}, {0x20, 0}, {0x22, 0}, {0x2E, 0}, {0x30, 0}, {0x32, 0}, {0x24, 0},  // 8-?
    {0x26, 0}, {0x4A, 0}, {0x4C, 0}, {0x4D, 0}, {0x4F, 0}, {0x51, 0}, {0x53, 0}, {0x55, 0},  // @-G
    {0x57, 0}, {0x59, 0}, {0x5B, 0}, {0x5C, 0}, {0x5E, 0}, {0x60, 0}, {0x62, 0}, {0x64, 0},  // H-O
    {0x66, 0}, {0x68, 0}, {0x69, 0}, {0x6B, 0}, {0x6D, 0}, {0x6F, 0}, {0x71, 0}, {0x73, 0},  // P-W
    {0x75, 0}, {0x76, 0}, {0x78, 0}, {0x27, 0}, {0x29, 0}, {0x2A, 0}, {0x2B, 0x02},          // X-^
    {0x2B, 0x03}, {0x2B, 0x07},                                                             // _ `
    {0x4A, 0}, {0x4C, 0}, {0x4D, 0}, {0x4F, 0}, {0x51, 0}, {0x53, 0}, {0x55, 0},             // a-g
    {0x57, 0}, {0x59, 0}, {0x5B, 0}, {0x5C, 0}, {0x5E, 0}, {0x60, 0}, {0x62, 0}, {0x64, 0},  // h-o
    {0x66, 0}, {0x68, 0}, {0x69, 0}, {0x6B, 0}, {0x6D, 0}, {0x6F, 0}, {0x71, 0}, {0x73, 0},  // p-w
    {0x75, 0}, {0x76, 0}, {0x78, 0}, {0x2B, 0x09}, {0x2B, 0x0B}, {0x2B, 0x0D}, {0x2B, 0x0F},  // x-~
};
// clang-format on

// Jet indexes at most this many characters of a text value.
constexpr size_t kMaxIndexedChars = 255;

}  // namespace

void appendLongKey(std::vector<uint8_t>& key, int32_t value) {
    const uint32_t u = static_cast<uint32_t>(value) ^ 0x80000000u;
    key.push_back(kKeyValueFollows);
    for (int shift = 24; shift >= 0; shift -= 8)
        key.push_back(static_cast<uint8_t>(u >> shift));
}

Status appendGeneralLegacyTextKey(std::vector<uint8_t>& key, const std::u16string& text) {
    size_t end = std::min(text.size(), kMaxIndexedChars);
    while (end > 0 && text[end - 1] == u' ')
        --end;
    std::vector<uint8_t> out{kKeyValueFollows};
    for (size_t i = 0; i < end; ++i) {
        const char16_t c = text[i];
        const TextCode code = (c >= 0x20 && c <= 0x7E) ? kAsciiCodes[c - 0x20] : TextCode{0, 0};
        if (code.first == 0) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(c));
            return Status::notSupported(std::string("the character ") + hex +
                                        " has no index sort code in this engine (only printable "
                                        "ASCII except ' and - is supported in indexed text)");
        }
        out.push_back(code.first);
        if (code.second)
            out.push_back(code.second);
    }
    out.push_back(0x01);  // end of the character codes
    out.push_back(0x00);  // no extra (case/accent) codes
    key.insert(key.end(), out.begin(), out.end());
    return Status::ok();
}

void appendEntryRowId(std::vector<uint8_t>& entry, uint32_t page, uint8_t row) {
    entry.push_back(static_cast<uint8_t>(page >> 16));
    entry.push_back(static_cast<uint8_t>(page >> 8));
    entry.push_back(static_cast<uint8_t>(page));
    entry.push_back(row);
}

}  // namespace jet
