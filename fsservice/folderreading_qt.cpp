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

    FolderContents contents;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QString name = entry.fileName();
        if (entry.isDir()) {
            contents.subFolders.push_back(
                SubFolder{joinPath(path, name), name, QFile::encodeName(name), {}});
            continue;
        }
#ifdef Q_OS_WIN
        const bool hidden = entry.isHidden();
#else
        const bool hidden = name.startsWith(u'.');
#endif
        contents.addFile(name, hidden, !entry.isFile());
    }
    return Folder(path, std::move(contents), FolderId{0, 0, info.canonicalFilePath().toUtf8()},
                  nullptr);
}

}  // namespace fsservice
