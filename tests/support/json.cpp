#include "support/json.h"

#include <limits>

#include "jet/value.h"
#include "support/files.h"

namespace testing_support {

std::optional<Json> parseJson(const std::string& text, std::string* error) {
    try {
        return Json::parse(text);
    } catch (const Json::exception& e) {
        if (error)
            *error = e.what();
        return std::nullopt;
    }
}

std::optional<Json> readJsonFile(const std::string& path, std::string* error) {
    auto text = readFile(path);
    if (!text) {
        if (error)
            *error = "cannot read " + path;
        return std::nullopt;
    }
    return parseJson(*text, error);
}

const Json& member(const Json& j, const std::string& key) {
    static const Json kNull;
    if (!j.is_object())
        return kNull;
    auto it = j.find(key);
    return it == j.end() ? kNull : *it;
}

const Json& element(const Json& j, size_t i) {
    static const Json kNull;
    return j.is_array() && i < j.size() ? j[i] : kNull;
}

const Json& items(const Json& j) {
    static const Json kEmpty = Json::array();
    return j.is_array() ? j : kEmpty;
}

std::string utf8(const Json& j) {
    return j.is_string() ? j.get<std::string>() : std::string();
}

std::u16string utf16(const Json& j) {
    return jet::fromUtf8(utf8(j));
}

double number(const Json& j) {
    return j.is_number() ? j.get<double>() : std::numeric_limits<double>::quiet_NaN();
}

std::string numberText(const Json& j) {
    return j.is_number() ? j.dump() : std::string();
}

bool isTrue(const Json& j) {
    return j.is_boolean() && j.get<bool>();
}

bool sameJson(const Json& a, const Json& b) {
    if (a.is_number() && b.is_number())
        return a.get<double>() == b.get<double>();
    if (a.type() != b.type())
        return false;
    if (a.is_array()) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!sameJson(a[i], b[i]))
                return false;
        return true;
    }
    if (a.is_object()) {
        if (a.size() != b.size())
            return false;
        for (const auto& [k, v] : a.items()) {
            if (!b.contains(k) || !sameJson(v, b.at(k)))
                return false;
        }
        return true;
    }
    return a == b;
}

}  // namespace testing_support
