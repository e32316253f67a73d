#include "folderreading.h"
#include "fserror.h"
#include "paths.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace fsservice {
namespace {

// QDirIterator says nothing when it cannot open a folder: an empty listing may
// be one that failed, and this says why. A listing with anything in it was read.
void checkReadable(const QString& path) {
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
}

Folder readContents(const QString& path, FolderId id) {
    FolderContents contents;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QString name = entry.fileName();
        if (entry.isDir()) {
            contents.notes.push_back(SubFolderNote{QFile::encodeName(name),
                                                   entry.isSymbolicLink() || entry.isJunction()});
            contents.subFolders.push_back(SubFolder{joinPath(path, name), std::move(name)});
            continue;
        }
#ifdef Q_OS_WIN
        const bool hidden = entry.isHidden();
#else
        const bool hidden = name.startsWith(u'.');
#endif
        contents.addFile(name, hidden, !entry.isFile());
    }
    if (contents.subFolders.empty() && contents.files.empty()) {
        checkReadable(path);
    }
    contents.sortByName();
    std::shared_ptr<FolderHandle> handle;
    if (!contents.subFolders.empty()) {
        handle = std::make_shared<FolderHandle>(std::move(contents.notes));
    }
    return Folder(path, std::move(contents), std::move(id), std::move(handle));
}

QByteArray resolved(const QString& path) {
    return QFileInfo(path).canonicalFilePath().toUtf8();
}

}  // namespace

Folder readFolderQt(const QString& path) {
    return readContents(path, FolderId{0, 0, resolved(path)});
}

Folder readFolderQt(const Folder& parent, const SubFolder& sub) {
    // A link may lead anywhere, so it is resolved. Any other folder lies one
    // name below where its parent lies: resolving its whole path instead would
    // cost more with every level of the tree.
    const SubFolderNote* const note = FolderHandle::noteOf(parent, sub);
    FolderId id;
    if (!note || note->link || parent.id().path.isEmpty()) {
        id.path = resolved(sub.Path);
    } else {
        id.path = parent.id().path;
        if (!id.path.endsWith('/')) {
            id.path += '/';
        }
        id.path += sub.Name.toUtf8();
    }
    return readContents(sub.Path, std::move(id));
}

}  // namespace fsservice
