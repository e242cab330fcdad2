#include "jet/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace jet {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;

// Days from 1970-01-01 to the given proleptic Gregorian date. Works for any year an int64
// day count can hold; months outside 1..12 are not normalised.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;                          // [0, 399]
    const int64_t mp = m > 2 ? m - 3 : m + 9;                   // March = 0
    const int64_t doy = (153 * mp + 2) / 5 + d - 1;             // [0, 365]
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;  // [0, 146096]
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int64_t& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

const int64_t kOleEpochDays = daysFromCivil(1899, 12, 30);

// Beyond this many days from 1899 the value is garbage anyway; clamping keeps every
// intermediate product inside int64 (1e10 days is about 27 million years).
constexpr double kMaxOleDays = 1e10;

// Splits an OLE date by Access's rule into a day index (days since 1970-01-01) and the time
// of day rounded to a multiple of `unit_ms`. A time that rounds up to 24:00 moves to the
// start of the next calendar day.
void splitOle(double ole, int64_t unit_ms, int64_t& day, int64_t& ms_of_day) {
    if (std::isnan(ole))
        ole = 0;
    if (ole > kMaxOleDays)
        ole = kMaxOleDays;
    if (ole < -kMaxOleDays)
        ole = -kMaxOleDays;
    const double whole = std::trunc(ole);
    const double frac = std::fabs(ole - whole);  // the time of day, whatever the sign
    int64_t units = std::llround(frac * static_cast<double>(kMsPerDay / unit_ms));
    ms_of_day = units * unit_ms;
    day = static_cast<int64_t>(whole) + kOleEpochDays;
    if (ms_of_day >= kMsPerDay) {
        ms_of_day -= kMsPerDay;
        ++day;
    }
}

CivilDateTime civilFrom(int64_t day, int64_t ms_of_day) {
    CivilDateTime c;
    civilFromDays(day, c.year, c.month, c.day);
    c.hour = static_cast<int>(ms_of_day / 3'600'000);
    c.minute = static_cast<int>(ms_of_day / 60'000 % 60);
    c.second = static_cast<int>(ms_of_day / 1000 % 60);
    c.millisecond = static_cast<int>(ms_of_day % 1000);
    return c;
}

std::string formatDate(const CivilDateTime& c) {
    char buf[64];
    // Years outside 0..9999 cannot come from Access, but a damaged cell must still print.
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d", static_cast<long long>(c.year), c.month,
                  c.day);
    return buf;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Lays out shortest round-trip digits the way printf's %.<precision>g does, so ordinary
// values print as other Jet tools print them (444.555, 1e+20, 3.0984099e+08) while every
// value still reads back exactly. `sci` is std::to_chars scientific output.
std::string layoutLikeG(const char* sci, size_t len, int precision) {
    std::string s(sci, len);
    if (s.find_first_not_of("-0123456789.e+") != std::string::npos)
        return s;  // inf, nan
    const size_t e = s.find('e');
    if (e == std::string::npos)
        return s;
    const int exp10 = std::stoi(s.substr(e + 1));
    std::string mantissa = s.substr(0, e);
    std::string sign;
    if (!mantissa.empty() && mantissa[0] == '-') {
        sign = "-";
        mantissa.erase(0, 1);
    }
    std::string digits;
    for (char ch : mantissa) {
        if (ch != '.')
            digits.push_back(ch);
    }
    if (exp10 < -4 || exp10 >= precision) {
        std::string out = sign + digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        char ebuf[16];
        std::snprintf(ebuf, sizeof ebuf, "e%c%02d", exp10 < 0 ? '-' : '+', std::abs(exp10));
        return out + ebuf;
    }
    if (exp10 < 0)
        return sign + "0." + std::string(static_cast<size_t>(-exp10 - 1), '0') + digits;
    const size_t int_len = static_cast<size_t>(exp10) + 1;
    if (digits.size() <= int_len)
        return sign + digits + std::string(int_len - digits.size(), '0');
    return sign + digits.substr(0, int_len) + "." + digits.substr(int_len);
}

}  // namespace

uint32_t typeSize(ColumnType t) {
    switch (t) {
        case ColumnType::kByte:
            return 1;
        case ColumnType::kInt:
            return 2;
        case ColumnType::kLong:
        case ColumnType::kFloat:
            return 4;
        case ColumnType::kMoney:
        case ColumnType::kDouble:
        case ColumnType::kDateTime:
            return 8;
        case ColumnType::kGuid:
            return 16;
        case ColumnType::kNumeric:
            return 17;
        default:
            return 0;
    }
}

std::string typeName(ColumnType t) {
    switch (t) {
        case ColumnType::kBoolean:
            return "Boolean";
        case ColumnType::kByte:
            return "Byte";
        case ColumnType::kInt:
            return "Integer";
        case ColumnType::kLong:
            return "Long";
        case ColumnType::kMoney:
            return "Currency";
        case ColumnType::kFloat:
            return "Single";
        case ColumnType::kDouble:
            return "Double";
        case ColumnType::kDateTime:
            return "DateTime";
        case ColumnType::kBinary:
            return "Binary";
        case ColumnType::kText:
            return "Text";
        case ColumnType::kOle:
            return "OLE";
        case ColumnType::kMemo:
            return "Memo";
        case ColumnType::kGuid:
            return "GUID";
        case ColumnType::kNumeric:
            return "Decimal";
        case ColumnType::kUnknown0D:
        case ColumnType::kUnknown11:
            break;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "Unknown (0x%02X)", static_cast<unsigned>(t));
    return buf;
}

bool isKnownType(uint8_t code) {
    // Every code ColumnType names, including the two whose values are kept as raw bytes.
    return (code >= 0x01 && code <= 0x0D) || code == 0x0F || code == 0x10 || code == 0x11;
}

std::string toUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string fromUtf8(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i];
        char32_t cp;
        size_t len;
        char32_t min;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F, len = 2, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F, len = 3, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07, len = 4, min = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        size_t k = 1;
        while (k < len && i + k < n && (p[i + k] & 0xC0) == 0x80) {
            cp = (cp << 6) | (p[i + k] & 0x3F);
            ++k;
        }
        // Truncated, overlong, surrogate or out-of-range sequences each give one U+FFFD for
        // the bytes consumed so far.
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

CivilDateTime oleToCivil(double ole) {
    int64_t day, ms;
    splitOle(ole, 1, day, ms);
    return civilFrom(day, ms);
}

double civilToOle(const CivilDateTime& c) {
    const int64_t day = daysFromCivil(c.year, c.month, c.day) - kOleEpochDays;
    const int64_t ms =
        ((static_cast<int64_t>(c.hour) * 60 + c.minute) * 60 + c.second) * 1000 + c.millisecond;
    const double frac = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
    // Access's rule: before 1899-12-30 the time is counted away from zero.
    return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

std::string formatDateTime(double ole) {
    int64_t day, ms;
    splitOle(ole, 1000, day, ms);
    const CivilDateTime c = civilFrom(day, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", c.hour, c.minute, c.second);
    return formatDate(c) + buf;
}

std::string formatDateTimeIso(double ole) {
    const CivilDateTime c = oleToCivil(ole);
    char buf[32];
    std::snprintf(buf, sizeof buf, "T%02d:%02d:%02d.%03d", c.hour, c.minute, c.second,
                  c.millisecond);
    return formatDate(c) + buf;
}

std::string formatMoney(const Money& m) {
    // Unsigned magnitude: negating INT64_MIN as a signed value would overflow.
    const bool neg = m.scaled < 0;
    const uint64_t mag =
        neg ? 0 - static_cast<uint64_t>(m.scaled) : static_cast<uint64_t>(m.scaled);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", neg ? "-" : "",
                  static_cast<unsigned long long>(mag / 10000),
                  static_cast<unsigned long long>(mag % 10000));
    return buf;
}

std::string formatDecimal(const Decimal& d) {
    unsigned __int128 mag = 0;
    for (uint32_t w : d.words)
        mag = (mag << 32) | w;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mag % 10)));
        mag /= 10;
    } while (mag != 0);
    const bool zero = digits == "0";
    const size_t scale = d.scale;
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.size() - scale, 1, '.');
    }
    // A negative zero is still zero; printing "-0.00" would only confuse.
    return (d.negative && !zero) ? "-" + digits : digits;
}

std::string formatGuid(const Guid& g) {
    const auto& b = g.bytes;
    // Data1, Data2 and Data3 are little-endian; the last 8 bytes print in stored order.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.push_back('-');
        out.push_back(kHexDigits[b[order[i]] >> 4]);
        out.push_back(kHexDigits[b[order[i]] & 0xF]);
    }
    out.push_back('}');
    return out;
}

std::string formatHex(const Bytes& b) {
    std::string out;
    out.reserve(b.size() * 2);
    for (uint8_t x : b) {
        out.push_back(kHexDigits[x >> 4]);
        out.push_back(kHexDigits[x & 0xF]);
    }
    return out;
}

std::string formatFloat(float f) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, f, std::chars_format::scientific);
    return layoutLikeG(buf, static_cast<size_t>(r.ptr - buf), 8);
}

std::string formatDouble(double d) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    return layoutLikeG(buf, static_cast<size_t>(r.ptr - buf), 16);
}

}  // namespace jet
