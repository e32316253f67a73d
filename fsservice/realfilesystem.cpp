#include "realfilesystem.h"

#include "folderreading.h"
#include "fserror.h"
#include "savefilestream.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace fsservice {

RealFileSystem::RealFileSystem(Reading reading)
    : m_reading(reading), m_openHandles(std::make_shared<int>(0)) {
#ifndef Q_OS_UNIX
    m_reading = Reading::Qt;
#endif
}

RealFileSystem::~RealFileSystem() = default;

QString RealFileSystem::absolutePath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

bool RealFileSystem::FolderExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool RealFileSystem::FileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void RealFileSystem::CreateFolder(const QString& path) {
#ifdef Q_OS_UNIX
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        throw FsError::fromSystem(path, errno);
    }
#else
    if (!QDir().mkdir(path)) {
        throw FsError::fromSystem(path, -1);
    }
#endif
}

std::unique_ptr<TextStream> RealFileSystem::CreateTextFile(const QString& path, bool overwrite,
                                                           bool unicode) {
    if (!overwrite && QFileInfo::exists(path)) {
        throw FsError::fromSystem(path, EEXIST);
    }
    return std::make_unique<SaveFileStream>(
        path, unicode ? SaveFileStream::Encoding::Utf16 : SaveFileStream::Encoding::System);
}

Folder RealFileSystem::GetFolder(const QString& path) {
    const QString absolute = absolutePath(path);
#ifdef Q_OS_UNIX
    if (m_reading == Reading::Posix) {
        return readFolderPosix(absolute, QFile::encodeName(absolute), nullptr, m_openHandles);
    }
#endif
    return readFolderQt(absolute);
}

Folder RealFileSystem::GetFolder(const Folder& parent, const SubFolder& sub) {
#ifdef Q_OS_UNIX
    if (m_reading == Reading::Posix) {
        return readFolderPosix(sub.Path, sub.nativeName, &parent, m_openHandles);
    }
#endif
    Q_UNUSED(parent)
    return readFolderQt(sub.Path);
}

QStringList RealFileSystem::ListFiles(const QString& pattern) {
    const qsizetype cut = pattern.lastIndexOf(separator());
    const QString folder = cut < 0 ? QStringLiteral(".") : pattern.left(cut + 1);
    return GetFolder(folder).Listing(QStringView(pattern).mid(cut + 1));
}

QString RealFileSystem::CurrentDirectory() {
    return QDir::toNativeSeparators(QDir::currentPath());
}

}  // namespace fsservice
