// Where the files installed with the program (the templates) are found, without Qt.
#pragma once

#include <string>
#include <vector>

namespace vkdc {

// The folder of the running executable ("." when it cannot be determined).
std::string executableFolder();

// The folders searched, in order: the executable's folder (a build tree), then
// ../share/vkdc beside it (an installed tree).
std::vector<std::string> dataFolders();

// The first of dataFolders() holding `file_name`; the first folder when none does, so a
// missing file is reported under the first place looked.
std::string dataFolderOf(const std::string& file_name);

}  // namespace vkdc
