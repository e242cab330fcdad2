// JSON for tests, through nlohmann/json: parsing the corpus truth files, mdb-reader's dumps and
// our own output, with a few accessors that keep assertions short and never throw.
#pragma once

#include <nlohmann/json.hpp>

#include <limits>
#include <optional>
#include <string>

#include "jet/value.h"

namespace testing_support {

// Objects keep their members in source order.
using Json = nlohmann::ordered_json;

// Parses `text`, which must hold exactly one JSON value; nullopt (with `error` set) otherwise.
inline std::optional<Json> parseJson(const std::string& text, std::string* error = nullptr) {
    try {
        return Json::parse(text);
    } catch (const Json::exception& e) {
        if (error)
            *error = e.what();
        return std::nullopt;
    }
}

// The member `key` of an object, or null when there is none (or `j` is no object).
inline const Json& member(const Json& j, const std::string& key) {
    static const Json kNull;
    if (!j.is_object())
        return kNull;
    auto it = j.find(key);
    return it == j.end() ? kNull : *it;
}

// Element `i` of an array, or null.
inline const Json& element(const Json& j, size_t i) {
    static const Json kNull;
    return j.is_array() && i < j.size() ? j[i] : kNull;
}

// The elements of an array (an empty one for anything else), for range loops and sizes.
inline const Json& items(const Json& j) {
    static const Json kEmpty = Json::array();
    return j.is_array() ? j : kEmpty;
}

// A string's text in UTF-8 or UTF-16; empty for anything else.
inline std::string utf8(const Json& j) {
    return j.is_string() ? j.get<std::string>() : std::string();
}
inline std::u16string utf16(const Json& j) {
    return jet::fromUtf8(utf8(j));
}

// A number as a double (NaN for anything else), and as JSON text ("4", "1.5").
inline double number(const Json& j) {
    return j.is_number() ? j.get<double>() : std::numeric_limits<double>::quiet_NaN();
}
inline std::string numberText(const Json& j) {
    return j.is_number() ? j.dump() : std::string();
}

}  // namespace testing_support
