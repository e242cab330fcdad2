#include "cli/common.h"

#include <cstdio>

namespace cli {

int exitCodeFor(const jet::Status& status) {
    switch (status.code()) {
        case jet::Status::Code::kOk:
            return kExitOk;
        case jet::Status::Code::kWrongPassword:
            return kExitWrongPassword;
        case jet::Status::Code::kNotFound:
        case jet::Status::Code::kInvalidArgument:
            return kExitUsage;
        default:
            return kExitCannotOpen;
    }
}

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0.
size_t utf8Length(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const auto cont = [&](size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
    const unsigned char c = b(0);
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (!cont(1) || !cont(2))
            return 0;
        if (c == 0xE0 && b(1) < 0xA0)
            return 0;  // overlong
        if (c == 0xED && b(1) >= 0xA0)
            return 0;  // a surrogate
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3))
            return 0;
        if (c == 0xF0 && b(1) < 0x90)
            return 0;
        if (c == 0xF4 && b(1) >= 0x90)
            return 0;
        return 4;
    }
    return 0;
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = utf8Length(text.substr(i));
        if (n > 1) {
            // C1 controls (U+0080..U+009F) act on terminals too.
            const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (!c1) {
                out.append(text.substr(i, n));
                i += n;
                continue;
            }
        }
        if (n == 1 && c >= 0x20 && c != 0x7F) {
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
        ++i;
    }
    return out;
}

std::string errorLine(const std::string& file, const jet::Status& status) {
    std::string msg = status.message();
    const std::string prefix = file + ": ";
    if (msg.compare(0, prefix.size(), prefix) == 0)
        msg.erase(0, prefix.size());
    if (msg.empty())
        msg = jet::codeName(status.code());
    return "vkdc-cli: " + printable(file + ": " + msg);
}

}  // namespace cli
