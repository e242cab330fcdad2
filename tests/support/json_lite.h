// A small JSON reader for tests: enough for the corpus truth files and our own dump output.
// Strings are kept as UTF-16 so a lone surrogate or a NUL escaped in the source survives;
// numbers keep their source text so exact comparisons need no second rounding.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct Json {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = Kind::kNull;
    bool boolean = false;
    std::string number;  // source text
    std::u16string string;
    std::vector<Json> array;
    std::vector<std::pair<std::string, Json>> object;  // keys in UTF-8, source order

    bool isNull() const { return kind == Kind::kNull; }
    double asDouble() const { return std::strtod(number.c_str(), nullptr); }
    // Member `key`, or nullptr.
    const Json* find(const std::string& key) const {
        for (const auto& [k, v] : object) {
            if (k == key)
                return &v;
        }
        return nullptr;
    }
    const Json& operator[](const std::string& key) const {
        static const Json kNullJson;
        const Json* v = find(key);
        return v ? *v : kNullJson;
    }
    std::string utf8() const;
};

// Parses `text`; nullopt (with `error` set) on malformed input.
std::optional<Json> parseJson(const std::string& text, std::string* error = nullptr);

// ---- implementation ----

namespace json_detail {

inline void appendUtf8(std::string& out, char32_t cp) {
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

class Parser {
  public:
    explicit Parser(const std::string& s) : s_(s) {}

    bool parse(Json& out, std::string* error) {
        bool ok = value(out, 0);
        skipWs();
        if (ok && pos_ != s_.size())
            ok = fail("trailing characters");
        if (!ok && error)
            *error = error_ + " at byte " + std::to_string(pos_);
        return ok;
    }

  private:
    bool fail(const char* what) {
        if (error_.empty())
            error_ = what;
        return false;
    }
    void skipWs() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0)
            return fail("bad literal");
        pos_ += w.size();
        return true;
    }
    bool hex4(uint32_t& v) {
        if (pos_ + 4 > s_.size())
            return fail("short \\u escape");
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= c - '0';
            else if (c >= 'a' && c <= 'f')
                v |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                v |= c - 'A' + 10;
            else
                return fail("bad \\u escape");
        }
        return true;
    }
    bool string(std::u16string& out) {
        ++pos_;  // opening quote
        while (true) {
            if (pos_ >= s_.size())
                return fail("unterminated string");
            const auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (c == '\\') {
                if (++pos_ >= s_.size())
                    return fail("unterminated escape");
                const char e = s_[pos_++];
                switch (e) {
                    case '"':
                        out.push_back(u'"');
                        break;
                    case '\\':
                        out.push_back(u'\\');
                        break;
                    case '/':
                        out.push_back(u'/');
                        break;
                    case 'b':
                        out.push_back(u'\b');
                        break;
                    case 'f':
                        out.push_back(u'\f');
                        break;
                    case 'n':
                        out.push_back(u'\n');
                        break;
                    case 'r':
                        out.push_back(u'\r');
                        break;
                    case 't':
                        out.push_back(u'\t');
                        break;
                    case 'u': {
                        uint32_t v;
                        if (!hex4(v))
                            return false;
                        out.push_back(static_cast<char16_t>(v));  // surrogates kept as units
                        break;
                    }
                    default:
                        return fail("bad escape");
                }
                continue;
            }
            if (c < 0x20)
                return fail("control character in string");
            // UTF-8 sequence to UTF-16.
            int len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
            if (pos_ + len > s_.size())
                return fail("truncated UTF-8");
            char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
            for (int i = 1; i < len; ++i)
                cp = (cp << 6) | (s_[pos_ + i] & 0x3F);
            pos_ += len;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(cp));
            }
        }
    }
    bool value(Json& out, int depth) {
        if (depth > 64)
            return fail("nesting too deep");
        skipWs();
        if (pos_ >= s_.size())
            return fail("unexpected end");
        const char c = s_[pos_];
        if (c == 'n')
            return literal("null");
        if (c == 't') {
            out.kind = Json::Kind::kBool;
            out.boolean = true;
            return literal("true");
        }
        if (c == 'f') {
            out.kind = Json::Kind::kBool;
            return literal("false");
        }
        if (c == '"') {
            out.kind = Json::Kind::kString;
            return string(out.string);
        }
        if (c == '[') {
            out.kind = Json::Kind::kArray;
            ++pos_;
            skipWs();
            if (pos_ < s_.size() && s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            while (true) {
                out.array.emplace_back();
                if (!value(out.array.back(), depth + 1))
                    return false;
                skipWs();
                if (pos_ < s_.size() && s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < s_.size() && s_[pos_] == ']') {
                    ++pos_;
                    return true;
                }
                return fail("expected , or ]");
            }
        }
        if (c == '{') {
            out.kind = Json::Kind::kObject;
            ++pos_;
            skipWs();
            if (pos_ < s_.size() && s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            while (true) {
                skipWs();
                if (pos_ >= s_.size() || s_[pos_] != '"')
                    return fail("expected a key");
                std::u16string key;
                if (!string(key))
                    return false;
                skipWs();
                if (pos_ >= s_.size() || s_[pos_] != ':')
                    return fail("expected :");
                ++pos_;
                Json v;
                if (!value(v, depth + 1))
                    return false;
                Json k;
                k.string = key;
                out.object.emplace_back(k.utf8(), std::move(v));
                skipWs();
                if (pos_ < s_.size() && s_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < s_.size() && s_[pos_] == '}') {
                    ++pos_;
                    return true;
                }
                return fail("expected , or }");
            }
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            const size_t start = pos_;
            while (pos_ < s_.size() &&
                   std::string("+-0123456789.eE").find(s_[pos_]) != std::string::npos) {
                ++pos_;
            }
            out.kind = Json::Kind::kNumber;
            out.number = s_.substr(start, pos_ - start);
            return true;
        }
        return fail("unexpected character");
    }

    const std::string& s_;
    size_t pos_ = 0;
    std::string error_;
};

}  // namespace json_detail

inline std::string Json::utf8() const {
    std::string out;
    for (size_t i = 0; i < string.size(); ++i) {
        char32_t c = string[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < string.size() && string[i + 1] >= 0xDC00 &&
            string[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (string[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        json_detail::appendUtf8(out, c);
    }
    return out;
}

inline std::optional<Json> parseJson(const std::string& text, std::string* error) {
    Json out;
    json_detail::Parser p(text);
    if (!p.parse(out, error))
        return std::nullopt;
    return out;
}

}  // namespace testing_support
