#include "jet/properties.h"

#include <cstring>

#include "jet/bytes.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr uint8_t kMagic[4] = {'M', 'R', '2', 0};
constexpr uint16_t kNameList = 0x0080;
constexpr uint16_t kObjectValues = 0x0000;
constexpr uint16_t kColumnValues = 0x0001;
constexpr uint8_t kDdlProperty = 0x01;  // enforced by the engine, not just the Access UI
constexpr uint8_t kTypeBoolean = 0x01;

void push16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void push32(std::vector<uint8_t>& b, uint32_t v) {
    push16(b, static_cast<uint16_t>(v));
    push16(b, static_cast<uint16_t>(v >> 16));
}
void pushText(std::vector<uint8_t>& b, const std::u16string& s) {
    push16(b, static_cast<uint16_t>(2 * s.size()));
    for (char16_t c : s)
        push16(b, c);
}

}  // namespace

std::vector<uint8_t> buildRequiredProperties(const std::vector<std::u16string>& required) {
    if (required.empty())
        return {};
    std::vector<uint8_t> b(kMagic, kMagic + 4);
    const std::u16string name = u"Required";
    push32(b, static_cast<uint32_t>(6 + 2 + 2 * name.size()));
    push16(b, kNameList);
    pushText(b, name);
    for (const auto& column : required) {
        const uint32_t block = static_cast<uint32_t>(4 + 2 + 2 * column.size());
        const uint32_t entry = 9;
        push32(b, 6 + block + entry);
        push16(b, kColumnValues);
        push32(b, block);
        pushText(b, column);
        push16(b, static_cast<uint16_t>(entry));
        b.push_back(kDdlProperty);
        b.push_back(kTypeBoolean);
        push16(b, 0);  // name index: "Required"
        push16(b, 1);
        b.push_back(1);
    }
    return b;
}

Result<std::map<std::u16string, ColumnRules>> parseColumnRules(const std::vector<uint8_t>& b) {
    std::map<std::u16string, ColumnRules> rules;
    if (b.empty())
        return rules;
    auto corrupt = [](const std::string& what) {
        return Status::corrupt("property blob: " + what);
    };
    if (b.size() < 4 || std::memcmp(b.data(), kMagic, 4) != 0) {
        return corrupt("does not start with MR2");
    }
    std::vector<std::u16string> names;
    size_t pos = 4;
    while (pos < b.size()) {
        if (b.size() - pos < 6)
            return corrupt("truncated chunk header");
        const uint32_t len = le32(b.data() + pos);
        const uint16_t kind = le16(b.data() + pos + 4);
        if (len < 6 || len > b.size() - pos)
            return corrupt("chunk length out of range");
        const size_t end = pos + len;
        size_t p = pos + 6;
        if (kind == kNameList) {
            while (p < end) {
                if (end - p < 2)
                    return corrupt("truncated name");
                const uint16_t n = le16(b.data() + p);
                if (n > end - p - 2)
                    return corrupt("name runs out of its chunk");
                names.push_back(decodeJet4Text(b.data() + p + 2, n));
                p += 2 + n;
            }
        } else if (kind == kObjectValues || kind == kColumnValues) {
            if (end - p < 6)
                return corrupt("truncated value chunk");
            const uint32_t block = le32(b.data() + p);
            const uint16_t n = le16(b.data() + p + 4);
            if (block < 6 || block > end - p || n > block - 6)
                return corrupt("bad object name");
            const std::u16string object = decodeJet4Text(b.data() + p + 6, n);
            p += block;
            while (p < end) {
                if (end - p < 8)
                    return corrupt("truncated property");
                const uint16_t elen = le16(b.data() + p);
                const uint8_t type = b[p + 3];
                const uint16_t name_index = le16(b.data() + p + 4);
                const uint16_t vlen = le16(b.data() + p + 6);
                if (elen < 8 || elen > end - p || vlen > elen - 8) {
                    return corrupt("property runs out of its chunk");
                }
                if (kind == kColumnValues && name_index < names.size() && type == kTypeBoolean &&
                    vlen >= 1) {
                    const bool value = b[p + 8] != 0;
                    if (names[name_index] == u"Required")
                        rules[object].required = value;
                    if (names[name_index] == u"AllowZeroLength") {
                        rules[object].allow_zero_length = value;
                    }
                }
                p += elen;
            }
        }
        pos = end;
    }
    return rules;
}

}  // namespace jet
