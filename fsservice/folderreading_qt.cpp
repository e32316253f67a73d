#include "folderreading.h"
#include "fserror.h"
#include "paths.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#endif

namespace fsservice {
namespace {

// The system's own codes for the reasons below, so that the text the user
// reads is the system's: Windows reads an errno value as one of its codes.
#ifdef Q_OS_WIN
constexpr int kNotFound = ERROR_PATH_NOT_FOUND;
constexpr int kNotAFolder = ERROR_DIRECTORY;
constexpr int kDenied = ERROR_ACCESS_DENIED;
#else
constexpr int kNotFound = ENOENT;
constexpr int kNotAFolder = ENOTDIR;
constexpr int kDenied = EACCES;
#endif

// QDirIterator says nothing when it cannot open a folder: an empty listing may
// be one that failed, and this says why. A listing with anything in it was read.
void checkReadable(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw FsError::fromSystem(path, kNotFound);
    }
    if (!info.isDir()) {
        throw FsError::fromSystem(path, kNotAFolder);
    }
    if (!info.isReadable()) {
        throw FsError::fromSystem(path, kDenied);
    }
}

Folder readContents(const QString& path, FolderId id) {
    FolderContents contents;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QString name = entry.fileName();
#ifdef Q_OS_WIN
        // QFileInfo tells neither the system attribute nor, under Wine, a link:
        // this reader pays one more call per entry for what the find data of
        // the Windows reader holds.
        const DWORD attributes =
            ::GetFileAttributesW(reinterpret_cast<const wchar_t*>(entry.filePath().utf16()));
        const bool known = attributes != INVALID_FILE_ATTRIBUTES;
        const bool link = entry.isSymbolicLink() || entry.isJunction() ||
                          (known && (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
#else
        const bool link = entry.isSymbolicLink() || entry.isJunction();
#endif
        if (entry.isDir()) {
            // Qt opens folders by their path text only: no native name.
            contents.subFolders.push_back(
                SubFolder{joinPath(path, name), std::move(name), {}, link});
            continue;
        }
#ifdef Q_OS_WIN
        const bool hidden = entry.isHidden();
        const bool system = !entry.isFile() || (known && (attributes & FILE_ATTRIBUTE_SYSTEM));
#else
        const bool hidden = name.startsWith(u'.');
        const bool system = !entry.isFile();
#endif
        contents.addFile(name, hidden, system);
    }
    if (contents.subFolders.empty() && contents.files.empty()) {
        checkReadable(path);
    }
    return contents.finish(path, std::move(id));
}

// Ids on Windows are the system's resolved paths, which also see Wine's links
// (Qt knows a link there only by a tag Wine does not give).
QByteArray resolved(const QString& path) {
#ifdef Q_OS_WIN
    unsigned long error = 0;
    return resolvedFolderPath(path, error);
#else
    return QFileInfo(path).canonicalFilePath().toUtf8();
#endif
}

class QtFolderReader final : public FolderReader {
public:
    Folder read(const QString& path) override {
        return readContents(path, FolderId{0, 0, resolved(path)});
    }

    Folder read(const Folder& parent, const SubFolder& sub) override {
        // A folder that is no link lies one name below where its parent
        // lies: resolving its whole path instead would cost more with every
        // level of the tree.
        QByteArray id = childIdPath(parent, sub);
        if (id.isEmpty()) {
            id = resolved(sub.Path);
        }
        return readContents(sub.Path, FolderId{0, 0, std::move(id)});
    }
};

}  // namespace

std::unique_ptr<FolderReader> makeQtReader() {
    return std::make_unique<QtFolderReader>();
}

}  // namespace fsservice
