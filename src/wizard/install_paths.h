// Where the program finds the files installed with it (templates and pictures).
#pragma once

#include <QString>
#include <QStringList>

namespace vkdc {

// The folders searched, in order: the folder of the executable (a build tree, or a copy that
// keeps everything side by side), then ../share/vkdc beside it (an installed tree).
QStringList dataFolders();

// The first folder of dataFolders() that holds `file_name`; the executable's folder when
// none does, so that a missing file is reported under the first place looked.
QString dataFolderOf(const QString& file_name);

// Full path of `file_name` in dataFolderOf(file_name).
QString dataFile(const QString& file_name);

}  // namespace vkdc
