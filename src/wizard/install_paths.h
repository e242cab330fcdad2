// Where the windows find the files installed with the program (templates and pictures): Qt
// spellings of store/data_folder.h, which holds the search order.
#pragma once

#include <QString>

namespace vkdc {

// The first data folder that holds `file_name`; the executable's folder when none does, so
// that a missing file is reported under the first place looked.
QString dataFolderOf(const QString& file_name);

// Full path of `file_name` in dataFolderOf(file_name).
QString dataFile(const QString& file_name);

}  // namespace vkdc
