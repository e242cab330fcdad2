#include "store/value_text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vkdc {
namespace {

using jet::ColumnType;
using jet::Status;
using jet::Value;

Status bad(const jet::ColumnDef& col, const std::string& text, const std::string& why) {
    return Status::invalidArgument("column " + col.name + ": \"" + text + "\" " + why);
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool parseInt(const std::string& s, int64_t& out) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end;
}

bool equalsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    }
    return i == a.size() && b[i] == 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

jet::Result<jet::Bytes> parseHex(const std::string& s) {
    if (s.size() % 2)
        return Status::invalidArgument("has an odd number of hex digits");
    jet::Bytes out;
    out.reserve(s.size() / 2);
    for (size_t i = 0; i < s.size(); i += 2) {
        int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
        if (hi < 0 || lo < 0)
            return Status::invalidArgument("is not hexadecimal");
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

// "123.45" with at most `scale` decimals into an integer scaled by 10^scale.
bool parseScaled(const std::string& s, int scale, int64_t& out) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        neg = s[i++] == '-';
    __int128 v = 0;
    int decimals = -1;
    bool digits = false;
    for (; i < s.size(); ++i) {
        if (s[i] == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (s[i] < '0' || s[i] > '9')
            return false;
        if (decimals >= 0 && ++decimals > scale)
            return false;
        v = v * 10 + (s[i] - '0');
        digits = true;
        if (v > (static_cast<__int128>(1) << 64))
            return false;
    }
    if (!digits)
        return false;
    for (int k = std::max(decimals, 0); k < scale; ++k)
        v *= 10;
    if (neg)
        v = -v;
    if (v > std::numeric_limits<int64_t>::max() || v < std::numeric_limits<int64_t>::min()) {
        return false;
    }
    out = static_cast<int64_t>(v);
    return true;
}

bool parseDateTime(const std::string& s, double& ole) {
    jet::CivilDateTime c;
    int n = 0;
    long long y = 0;
    int mo = 0, d = 0, h = 0, mi = 0, se = 0;
    if (std::sscanf(s.c_str(), "%lld-%d-%d %d:%d:%d%n", &y, &mo, &d, &h, &mi, &se, &n) == 6 &&
        static_cast<size_t>(n) == s.size()) {
    } else if (std::sscanf(s.c_str(), "%lld-%d-%d%n", &y, &mo, &d, &n) == 3 &&
               static_cast<size_t>(n) == s.size()) {
        h = mi = se = 0;
    } else {
        return false;
    }
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 ||
        se > 59 || h < 0 || mi < 0 || se < 0) {
        return false;
    }
    c.year = y;
    c.month = mo;
    c.day = d;
    c.hour = h;
    c.minute = mi;
    c.second = se;
    ole = jet::civilToOle(c);
    // Reject dates such as 02-31 that the calendar would silently move.
    jet::CivilDateTime back = jet::oleToCivil(ole);
    return back.year == y && back.month == mo && back.day == d;
}

}  // namespace

std::string valueToText(const Value& v) {
    struct Visitor {
        std::string operator()(const jet::Null&) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(uint8_t x) const { return std::to_string(x); }
        std::string operator()(int16_t x) const { return std::to_string(x); }
        std::string operator()(int32_t x) const { return std::to_string(x); }
        std::string operator()(const jet::Money& m) const { return jet::formatMoney(m); }
        std::string operator()(float f) const { return jet::formatFloat(f); }
        std::string operator()(double d) const { return jet::formatDouble(d); }
        std::string operator()(const jet::DateTime& d) const { return jet::formatDateTime(d.ole); }
        std::string operator()(const jet::Guid& g) const { return jet::formatGuid(g); }
        std::string operator()(const jet::Decimal& d) const { return jet::formatDecimal(d); }
        std::string operator()(const std::u16string& s) const { return jet::toUtf8(s); }
        std::string operator()(const jet::Bytes& b) const { return jet::formatHex(b); }
    };
    return std::visit(Visitor{}, v);
}

jet::Result<Value> valueFromText(const jet::ColumnDef& col, const std::string& text) {
    if (col.isText())
        return Value(jet::fromUtf8(text));
    const std::string s = trimmed(text);
    if (s.empty()) {
        if (col.type == ColumnType::kBoolean)
            return Value(false);
        return Value(jet::Null{});
    }
    switch (col.type) {
        case ColumnType::kBoolean:
            if (equalsNoCase(s, "true") || equalsNoCase(s, "yes") || equalsNoCase(s, "on") ||
                s == "1" || s == "-1") {
                return Value(true);
            }
            if (equalsNoCase(s, "false") || equalsNoCase(s, "no") || equalsNoCase(s, "off") ||
                s == "0") {
                return Value(false);
            }
            return bad(col, text, "is not a yes/no value");
        case ColumnType::kByte:
        case ColumnType::kInt:
        case ColumnType::kLong: {
            int64_t x;
            if (!parseInt(s, x))
                return bad(col, text, "is not a whole number");
            const int64_t lo = col.type == ColumnType::kByte  ? 0
                               : col.type == ColumnType::kInt ? INT16_MIN
                                                              : INT32_MIN;
            const int64_t hi = col.type == ColumnType::kByte  ? 255
                               : col.type == ColumnType::kInt ? INT16_MAX
                                                              : INT32_MAX;
            if (x < lo || x > hi) {
                return bad(col, text,
                           "is out of range " + std::to_string(lo) + ".." + std::to_string(hi));
            }
            if (col.type == ColumnType::kByte)
                return Value(static_cast<uint8_t>(x));
            if (col.type == ColumnType::kInt)
                return Value(static_cast<int16_t>(x));
            return Value(static_cast<int32_t>(x));
        }
        case ColumnType::kMoney: {
            int64_t scaled;
            if (!parseScaled(s, 4, scaled)) {
                return bad(col, text, "is not a currency amount with at most 4 decimals");
            }
            return Value(jet::Money{scaled});
        }
        case ColumnType::kFloat:
        case ColumnType::kDouble: {
            char* end = nullptr;
            errno = 0;
            const double d = std::strtod(s.c_str(), &end);
            if (end != s.c_str() + s.size() || !std::isfinite(d)) {
                return bad(col, text, "is not a number");
            }
            if (col.type == ColumnType::kDouble)
                return Value(d);
            // The nearest Single to the decimal text, as Access reads it; a text that only
            // names a value beyond the Single range is refused.
            const float f = std::strtof(s.c_str(), nullptr);
            if (!std::isfinite(f))
                return bad(col, text, "is beyond the range of a Single column");
            return Value(f);
        }
        case ColumnType::kDateTime: {
            double ole;
            if (!parseDateTime(s, ole)) {
                return bad(col, text, "is not a date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)");
            }
            return Value(jet::DateTime{ole});
        }
        case ColumnType::kGuid: {
            std::string hex;
            for (char c : s)
                if (c != '{' && c != '}' && c != '-')
                    hex.push_back(c);
            auto bytes = parseHex(hex);
            if (!bytes || bytes->size() != 16)
                return bad(col, text, "is not a GUID");
            jet::Guid g;
            // Text order is Data1..Data3 big-endian; storage is little-endian for those.
            const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            for (int i = 0; i < 16; ++i)
                g.bytes[i] = (*bytes)[order[i]];
            return Value(g);
        }
        case ColumnType::kBinary:
        case ColumnType::kOle: {
            auto bytes = parseHex(s);
            if (!bytes)
                return bad(col, text, bytes.status().message());
            return Value(std::move(bytes).value());
        }
        default:
            return bad(col, text,
                       "cannot be stored in a column of type " + jet::typeName(col.type));
    }
}

namespace {

// True when `value` (of a column of type `from`) goes into `col` as it is.
bool carriedAsIs(ColumnType from, const Value& value, const jet::ColumnDef& col) {
    const bool same = from == col.type ||
                      (col.isText() && (from == ColumnType::kText || from == ColumnType::kMemo));
    return (same || jet::isNull(value)) &&
           !(jet::isNull(value) && col.type == ColumnType::kBoolean);
}

}  // namespace

jet::Result<Value> convertValue(ColumnType from, const Value& value, const jet::ColumnDef& col) {
    if (carriedAsIs(from, value, col))
        return value;
    if (jet::isNull(value))
        return Value(false);  // a Boolean column has no NULL
    return valueFromText(col, valueToText(value));
}

bool carriesAsIs(ColumnType from, const jet::ColumnDef& col) {
    return from == col.type && col.type != ColumnType::kBoolean;  // a Boolean has no NULL
}

jet::Result<Value> convertValue(ColumnType from, Value&& value, const jet::ColumnDef& col) {
    if (carriedAsIs(from, value, col))
        return std::move(value);
    return convertValue(from, static_cast<const Value&>(value), col);
}

}  // namespace vkdc
