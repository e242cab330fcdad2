// Column types and cell values, with their exact decoded form.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

enum class ColumnType : uint8_t {
    kBoolean = 0x01,
    kByte = 0x02,
    kInt = 0x03,    // Integer, 16-bit
    kLong = 0x04,   // Long Integer / AutoNumber, 32-bit
    kMoney = 0x05,  // Currency, int64 / 10000
    kFloat = 0x06,  // Single
    kDouble = 0x07,
    kDateTime = 0x08,  // OLE date
    kBinary = 0x09,
    kText = 0x0A,
    kOle = 0x0B,   // Long Binary
    kMemo = 0x0C,  // Long Text
    kUnknown0D = 0x0D,
    kGuid = 0x0F,
    kNumeric = 0x10,  // Decimal, Jet 4 only
    kUnknown11 = 0x11,
};

// "Text", "Memo", "Long", ... as Access names them; "Unknown (0xNN)" otherwise.
std::string typeName(ColumnType t);
// The bytes a value of a fixed-size type takes in a row: 1 for Byte up to 17 for Decimal; 0
// for Boolean (its value is the null-mask bit) and for types whose size is the column's own.
uint32_t typeSize(ColumnType t);
// Whether values of the type live in the fixed area of a row (booleans live in the mask).
bool isKnownType(uint8_t code);

struct Null {
    bool operator==(const Null&) const = default;
};
struct Money {
    int64_t scaled = 0;  // value * 10000
    bool operator==(const Money&) const = default;
};
struct DateTime {
    double ole = 0;  // days since 1899-12-30, Access's sign rule for negative values
    bool operator==(const DateTime&) const = default;
};
struct Guid {
    std::array<uint8_t, 16> bytes{};  // as stored: Data1 LE, Data2 LE, Data3 LE, 8 bytes
    bool operator==(const Guid&) const = default;
};
struct Decimal {
    bool negative = false;
    uint8_t precision = 0;
    uint8_t scale = 0;
    std::array<uint32_t, 4> words{};  // 128-bit magnitude, most significant word first
    bool operator==(const Decimal&) const = default;
};
using Bytes = std::vector<uint8_t>;

// One cell. Text and memo are UTF-16 exactly as stored (a NUL or a lone surrogate stays).
// Binary, OLE and the unknown types are raw bytes.
using Value = std::variant<Null, bool, uint8_t, int16_t, int32_t, Money, float, double, DateTime,
                           Guid, Decimal, std::u16string, Bytes>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<Null>(v);
}

// ---- Text forms shared by every front end ----

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string toUtf8(const std::u16string& s);
// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string fromUtf8(const std::string& s);

struct CivilDateTime {
    int64_t year = 0;
    int month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
// Splits an OLE date by Access's rule: for negative values the integer part is the day and
// the fraction's magnitude is the time of day. Rounds to the millisecond.
CivilDateTime oleToCivil(double ole);
// Inverse of oleToCivil (milliseconds included).
double civilToOle(const CivilDateTime& c);
// "YYYY-MM-DD HH:MM:SS", rounded to the nearest second.
std::string formatDateTime(double ole);
// "YYYY-MM-DDTHH:MM:SS.mmm".
std::string formatDateTimeIso(double ole);

std::string formatMoney(const Money& m);      // "-12.3400": always 4 decimals
std::string formatDecimal(const Decimal& d);  // scale decimals, "-" for negatives
std::string formatGuid(const Guid& g);        // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::string formatHex(const Bytes& b);        // upper-case hex, no separators
std::string formatFloat(float f);             // shortest text that reads back exactly
std::string formatDouble(double d);           // shortest text that reads back exactly

}  // namespace jet
