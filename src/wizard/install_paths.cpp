#include "wizard/install_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vkdc {

QStringList dataFolders() {
    const QDir exe(QCoreApplication::applicationDirPath());
    return {exe.absolutePath(),
            QDir::cleanPath(exe.absoluteFilePath(QStringLiteral("../share/vkdc")))};
}

QString dataFolderOf(const QString& file_name) {
    const QStringList folders = dataFolders();
    for (const QString& folder : folders) {
        if (QFileInfo::exists(QDir(folder).filePath(file_name)))
            return folder;
    }
    return folders.first();
}

QString dataFile(const QString& file_name) {
    return QDir(dataFolderOf(file_name)).filePath(file_name);
}

}  // namespace vkdc
