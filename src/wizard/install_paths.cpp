#include "wizard/install_paths.h"

#include <QDir>

#include "store/data_folder.h"

namespace vkdc {

QString dataFolderOf(const QString& file_name) {
    return QString::fromStdString(dataFolderOf(file_name.toStdString()));
}

QString dataFile(const QString& file_name) {
    return QDir(dataFolderOf(file_name)).filePath(file_name);
}

}  // namespace vkdc
