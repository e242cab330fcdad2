#include "store/connection_string.h"

#include <algorithm>
#include <cctype>

namespace vkdc {
namespace {

const char kPasswordKeyword[] = ";Jet OLEDB:Database Password=";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// The password text of one side: keyword in front, semicolon behind.
std::string passwordPart(const std::string& password) {
    return kPasswordKeyword + quoteConnectionValue(password) + ";";
}

}  // namespace

std::string quoteConnectionValue(const std::string& value) {
    const bool needs = value.find(';') != std::string::npos ||
                       (!value.empty() && (value.front() == '"' || value.front() == '\'' ||
                                           isBlank(value.front()) || isBlank(value.back())));
    if (!needs)
        return value;
    const char q =
        value.find('"') != std::string::npos && value.find('\'') == std::string::npos ? '\'' : '"';
    std::string out(1, q);
    for (char c : value) {
        out.push_back(c);
        if (c == q)
            out.push_back(q);
    }
    out.push_back(q);
    return out;
}

std::string sourceConnectionString(const VersionPair& pair, const std::string& source_path) {
    return std::string("Provider=") + kProvider +
           ";Data Source=" + quoteConnectionValue(source_path) + passwordPart(pair.source_password);
}

std::string templateConnectionString(const VersionPair& pair, const std::string& folder) {
    // The folder is quoted on its own when needed; the file name suffix never needs it.
    std::string path = folder + "/" + pair.template_file;
    return std::string("Provider=") + kProvider + ";Data Source=" + quoteConnectionValue(path) +
           ";" + passwordPart(pair.target_password);
}

std::string ConnectionProperties::get(const std::string& keyword) const {
    auto it = values.find(lower(keyword));
    return it == values.end() ? std::string() : it->second;
}

jet::Result<ConnectionProperties> parseConnectionString(const std::string& text) {
    ConnectionProperties props;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Keyword, up to "=".
        size_t seg_start = i;
        while (i < n && text[i] != '=' && text[i] != ';')
            ++i;
        if (i >= n || text[i] == ';') {
            if (!trim(text.substr(seg_start, i - seg_start)).empty()) {
                return jet::Status::invalidArgument("connection string segment \"" +
                                                    text.substr(seg_start, i - seg_start) +
                                                    "\" has no \"=\"");
            }
            ++i;  // empty segment
            continue;
        }
        const std::string key = lower(trim(text.substr(seg_start, i - seg_start)));
        ++i;  // past '='
        while (i < n && isBlank(text[i]))
            ++i;
        std::string value;
        if (i < n && (text[i] == '"' || text[i] == '\'')) {
            const char q = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == q) {
                    if (i + 1 < n && text[i + 1] == q) {
                        value.push_back(q);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value.push_back(text[i++]);
            }
            if (!closed) {
                return jet::Status::invalidArgument("connection string value of \"" + key +
                                                    "\" has no closing quote");
            }
            while (i < n && isBlank(text[i]))
                ++i;
            if (i < n && text[i] != ';') {
                return jet::Status::invalidArgument("connection string value of \"" + key +
                                                    "\" has text after its closing quote");
            }
        } else {
            size_t v_start = i;
            while (i < n && text[i] != ';')
                ++i;
            value = trim(text.substr(v_start, i - v_start));
        }
        if (key.empty()) {
            return jet::Status::invalidArgument("connection string has a value without a keyword");
        }
        props.values[key] = value;
        if (i < n)
            ++i;  // past ';'
    }
    return props;
}

}  // namespace vkdc
