// A small RFC 4180 reader for tests. Keeps whether each field was quoted, because our CSV
// tells NULL (empty, unquoted) from the empty text ("") by exactly that.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct CsvField {
    std::string text;
    bool quoted = false;

    // The field as it appears in the file: quotes doubled inside a quoted field.
    std::string encoded() const {
        if (!quoted)
            return text;
        std::string out = "\"";
        for (char c : text) {
            if (c == '"')
                out.push_back('"');
            out.push_back(c);
        }
        return out + "\"";
    }
};
using CsvRow = std::vector<CsvField>;

// Splits `text` into rows. Line ends are LF or CRLF outside quotes; inside quotes CR and LF
// are data. Returns false if a quoted field never ends.
inline bool parseCsv(const std::string& text, std::vector<CsvRow>& rows) {
    rows.clear();
    CsvRow row;
    CsvField field;
    size_t i = 0;
    const size_t n = text.size();
    bool at_field_start = true;
    auto endField = [&] {
        row.push_back(std::move(field));
        field = CsvField{};
        at_field_start = true;
    };
    while (i < n) {
        const char c = text[i];
        if (at_field_start && c == '"') {
            field.quoted = true;
            at_field_start = false;
            ++i;
            while (true) {
                if (i >= n)
                    return false;
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field.text.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.text.push_back(text[i++]);
            }
            continue;
        }
        at_field_start = false;
        if (c == ',') {
            endField();
            ++i;
        } else if (c == '\n' || (c == '\r' && i + 1 < n && text[i + 1] == '\n')) {
            endField();
            rows.push_back(std::move(row));
            row.clear();
            i += c == '\r' ? 2 : 1;
        } else {
            field.text.push_back(c);
            ++i;
        }
    }
    if (!at_field_start || !row.empty()) {
        endField();
        rows.push_back(std::move(row));
    }
    return true;
}

}  // namespace testing_support
