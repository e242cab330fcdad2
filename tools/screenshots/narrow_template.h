// A template of a version whose Table_User.UserName holds one character, so that a conversion
// into it loses rows: both faces' screenshot programs picture the lost-rows message with it.
#pragma once

#include <string>

#include "jet/writer.h"
#include "store/version_pair.h"

namespace shots {

// Writes it to `path` (UTF-8); false when it could not be written.
inline bool writeNarrowTemplate(const std::string& path, const std::string& version) {
    jet::CreateOptions options;
    options.password = jet::fromUtf8(vkdc::passwordOfVersion(version));
    auto writer = jet::Writer::create(path, options);
    if (!writer.isOk())
        return false;
    for (const std::string& table : vkdc::tableNames()) {
        jet::TableSpec layout{table, {}};
        for (const std::string& column : vkdc::columnsOf(version, table)) {
            const bool narrow = table == "Table_User" && column == "UserName";
            layout.columns.push_back({column, jet::ColumnType::kText, uint16_t(narrow ? 1 : 255)});
        }
        if (!(*writer)->createTable(layout).isOk())
            return false;
    }
    return (*writer)->close().isOk();
}

}  // namespace shots
