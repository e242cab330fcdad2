// JSON for tests, through nlohmann/json: parsing the corpus truth files, mdb-reader's dumps and
// our own output, with accessors that keep assertions short and never throw. The parsing and
// the accessors are compiled once, in json.cpp: nlohmann's parser is costly to instantiate,
// and most so under the sanitizers.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace testing_support {

// Objects keep their members in source order.
using Json = nlohmann::ordered_json;

// Parses `text`, which must hold exactly one JSON value; nullopt (with `error` set) otherwise.
std::optional<Json> parseJson(const std::string& text, std::string* error = nullptr);
std::optional<Json> readJsonFile(const std::string& path, std::string* error = nullptr);

// The member `key` of an object, or null when there is none (or `j` is no object).
const Json& member(const Json& j, const std::string& key);
// Element `i` of an array, or null.
const Json& element(const Json& j, size_t i);
// The elements of an array (an empty one for anything else), for range loops and sizes.
const Json& items(const Json& j);

// A string's text in UTF-8 or UTF-16; empty for anything else.
std::string utf8(const Json& j);
std::u16string utf16(const Json& j);
// A number as a double (NaN for anything else), and as JSON text ("4", "1.5"; empty for
// anything else).
double number(const Json& j);
std::string numberText(const Json& j);
// True for the JSON literal true.
bool isTrue(const Json& j);
// Values equal as JSON: numbers by value, object members in any order.
bool sameJson(const Json& a, const Json& b);

}  // namespace testing_support
