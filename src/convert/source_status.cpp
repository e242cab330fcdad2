#include "convert/source_status.h"

#include <algorithm>
#include <cctype>

namespace vkdc {

Problem sourceProblemOf(const jet::Status& st) {
    switch (st.code()) {
        case jet::Status::Code::kIoError:
            return Problem::kSourceUnreadable;
        case jet::Status::Code::kUnsupportedVersion:
            return Problem::kSourceUnsupported;
        case jet::Status::Code::kWrongPassword:
            return Problem::kSourceWrongVersion;
        default:
            return Problem::kSourceInvalid;
    }
}

std::string about(const std::string& path, const std::string& why) {
    return why.rfind(path + ": ", 0) == 0 ? why : path + ": " + why;
}

bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool hasColumn(const jet::TableDef& def, const std::string& name) {
    return std::any_of(def.columns.begin(), def.columns.end(),
                       [&](const jet::ColumnDef& c) { return sameName(c.name, name); });
}

}  // namespace vkdc
