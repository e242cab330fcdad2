#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>
#include <type_traits>

namespace cli {
namespace {

void appendEscape(std::string& out, char32_t unit) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(unit));
    out += buf;
}

// The escapes every JSON string needs for code points below 0x80; false if `c` is plain.
bool appendAsciiEscape(std::string& out, char32_t c) {
    switch (c) {
        case '"':
            out += "\\\"";
            return true;
        case '\\':
            out += "\\\\";
            return true;
        case '\n':
            out += "\\n";
            return true;
        case '\r':
            out += "\\r";
            return true;
        case '\t':
            out += "\\t";
            return true;
        case '\b':
            out += "\\b";
            return true;
        case '\f':
            out += "\\f";
            return true;
        default:
            break;
    }
    if (c < 0x20 || c == 0x7F) {
        appendEscape(out, c);
        return true;
    }
    return false;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
}

void appendFloating(std::string& out, double d, const std::string& text) {
    if (std::isnan(d)) {
        out += "\"NaN\"";
    } else if (std::isinf(d)) {
        out += d > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    } else {
        out += text;
    }
}

}  // namespace

void appendJsonString(std::string& out, std::u16string_view s) {
    out.push_back('"');
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            if (!appendAsciiEscape(out, c))
                out.push_back(static_cast<char>(c));
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
                   s[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c == 0x2028 || c == 0x2029) {
            // A lone surrogate has no UTF-8 form; the escape keeps the exact code unit.
            // U+2028/U+2029 are escaped because JavaScript string literals reject them.
            appendEscape(out, c);
        } else {
            appendUtf8(out, c);
        }
    }
    out.push_back('"');
}

void appendJsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || !appendAsciiEscape(out, c))
            out.push_back(ch);
    }
    out.push_back('"');
}

void appendJsonValue(std::string& out, const jet::Value& value) {
    std::visit(
        [&out](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, jet::Null>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t>) {
                out += std::to_string(v);
            } else if constexpr (std::is_same_v<T, jet::Money>) {
                appendJsonString(out, std::string_view(jet::formatMoney(v)));
            } else if constexpr (std::is_same_v<T, float>) {
                appendFloating(out, v, jet::formatFloat(v));
            } else if constexpr (std::is_same_v<T, double>) {
                appendFloating(out, v, jet::formatDouble(v));
            } else if constexpr (std::is_same_v<T, jet::DateTime>) {
                appendJsonString(out, std::string_view(jet::formatDateTimeIso(v.ole)));
            } else if constexpr (std::is_same_v<T, jet::Guid>) {
                appendJsonString(out, std::string_view(jet::formatGuid(v)));
            } else if constexpr (std::is_same_v<T, jet::Decimal>) {
                appendJsonString(out, std::string_view(jet::formatDecimal(v)));
            } else if constexpr (std::is_same_v<T, std::u16string>) {
                appendJsonString(out, std::u16string_view(v));
            } else if constexpr (std::is_same_v<T, jet::Bytes>) {
                appendJsonString(out, std::string_view(jet::formatHex(v)));
            } else {
                static_assert(sizeof(T) == 0, "every Value alternative needs a JSON form");
            }
        },
        value);
}

void appendJsonColumn(std::string& out, const jet::ColumnDef& c, jet::JetVersion version) {
    out += "{\"name\": ";
    appendJsonString(out, std::string_view(c.name));
    out += ", \"type\": ";
    appendJsonString(out, std::string_view(jet::typeName(c.type)));
    out += ", \"type_code\": " + std::to_string(c.type_code);
    out += ", \"size\": " + std::to_string(c.length);
    if (c.type == jet::ColumnType::kText) {
        out += ", \"max_chars\": " + std::to_string(c.maxChars(version));
    }
    if (c.type == jet::ColumnType::kNumeric) {
        out += ", \"precision\": " + std::to_string(c.precision);
        out += ", \"scale\": " + std::to_string(c.scale);
    }
    out += ", \"nullable\": ";
    out += c.isNullable() ? "true" : "false";
    if (c.isAutoNumber())
        out += ", \"autonumber\": true";
    out += "}";
}

void JsonTableWriter::begin(const std::string& table, const std::vector<jet::ColumnDef>& columns,
                            jet::JetVersion version) {
    buf_ = "{\"table\": ";
    appendJsonString(buf_, std::string_view(table));
    buf_ += ",\n \"columns\": [";
    for (size_t i = 0; i < columns.size(); ++i) {
        buf_ += i == 0 ? "\n  " : ",\n  ";
        appendJsonColumn(buf_, columns[i], version);
    }
    buf_ += "],\n \"rows\": [";
    out_ << buf_;
    first_row_ = true;
}

void JsonTableWriter::row(const std::vector<jet::Value>& values) {
    buf_ = first_row_ ? "\n  [" : ",\n  [";
    first_row_ = false;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            buf_ += ", ";
        appendJsonValue(buf_, values[i]);
    }
    buf_ += "]";
    out_ << buf_;
}

void JsonTableWriter::end() {
    out_ << (first_row_ ? "]}\n" : "\n ]}\n");
}

}  // namespace cli
