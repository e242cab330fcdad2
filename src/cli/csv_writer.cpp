#include "cli/csv_writer.h"

#include <type_traits>

namespace cli {

void appendCsvQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void appendCsvField(std::string& out, const jet::Value& value) {
    std::visit(
        [&out](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, jet::Null>) {
                // Nothing: an empty, unquoted field.
            } else if constexpr (std::is_same_v<T, bool>) {
                out.push_back(v ? '1' : '0');
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t>) {
                out += std::to_string(v);
            } else if constexpr (std::is_same_v<T, jet::Money>) {
                out += jet::formatMoney(v);
            } else if constexpr (std::is_same_v<T, float>) {
                out += jet::formatFloat(v);
            } else if constexpr (std::is_same_v<T, double>) {
                out += jet::formatDouble(v);
            } else if constexpr (std::is_same_v<T, jet::DateTime>) {
                appendCsvQuoted(out, jet::formatDateTime(v.ole));
            } else if constexpr (std::is_same_v<T, jet::Guid>) {
                appendCsvQuoted(out, jet::formatGuid(v));
            } else if constexpr (std::is_same_v<T, jet::Decimal>) {
                out += jet::formatDecimal(v);
            } else if constexpr (std::is_same_v<T, std::u16string>) {
                appendCsvQuoted(out, jet::toUtf8(v));
            } else if constexpr (std::is_same_v<T, jet::Bytes>) {
                appendCsvQuoted(out, jet::formatHex(v));
            } else {
                static_assert(sizeof(T) == 0, "every Value alternative needs a CSV form");
            }
        },
        value);
}

void appendCsvHeader(std::string& out, const std::vector<jet::ColumnDef>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        const std::string& name = columns[i].name;
        if (name.find_first_of(",\"\r\n") != std::string::npos) {
            appendCsvQuoted(out, name);
        } else {
            out += name;
        }
    }
    out.push_back('\n');
}

void appendCsvRow(std::string& out, const std::vector<jet::Value>& row) {
    for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        appendCsvField(out, row[i]);
    }
    out.push_back('\n');
}

}  // namespace cli
