#include "folderreading.h"
#include "fserror.h"

#include <QDirIterator>
#include <QFileInfo>

#include <cerrno>

namespace fsservice {

Folder readFolderQt(const QString& path) {
    // QDirIterator says nothing when it cannot open a folder; ask first, so the
    // user learns why.
    const QFileInfo info(path);
    if (!info.exists()) {
        throw FsError::fromSystem(path, ENOENT);
    }
    if (!info.isDir()) {
        throw FsError::fromSystem(path, ENOTDIR);
    }
    if (!info.isReadable()) {
        throw FsError::fromSystem(path, EACCES);
    }

    std::vector<SubFolder> subFolders;
    std::vector<File> files;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QString name = entry.fileName();
        if (entry.isDir()) {
            subFolders.push_back(
                SubFolder{joinPath(path, name), name, QFile::encodeName(name), {}});
            continue;
        }
#ifdef Q_OS_WIN
        const bool hidden = entry.isHidden();
#else
        const bool hidden = name.startsWith(u'.');
#endif
        files.emplace_back(path, std::move(name), hidden, !entry.isFile());
    }
    return Folder(path, std::move(subFolders), std::move(files),
                  FolderId{0, 0, info.canonicalFilePath().toUtf8()}, nullptr);
}

}  // namespace fsservice
