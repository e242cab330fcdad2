// Where a file dialog of the converter windows opens, for every face alike.
#pragma once

#include <string>

namespace vkdc {

struct DialogStart {
    std::string folder;    // an existing folder
    std::string fileName;  // preset in the dialog's name field
};

// A full path as `initial_path` (a file chosen before) opens its folder with its name preset;
// a bare name opens `folder`, the design's "D:\", with the name preset. A folder that does not
// exist, as "D:\" on most machines and on every Linux one, gives way to `home`. UTF-8 paths.
DialogStart dialogStart(const std::string& initial_path, const std::string& folder,
                        const std::string& home);

// The user's home folder: $HOME on POSIX systems, %USERPROFILE% on Windows, the root folder
// when that is not set.
std::string homeFolder();

}  // namespace vkdc
