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

RealFileSystem::RealFileSystem(Reading reading) {
#ifdef Q_OS_LINUX
    if (reading == Reading::Posix) {
        m_reader = std::make_unique<LinuxFolderReader>();
    }
#else
    Q_UNUSED(reading)
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
#ifdef Q_OS_LINUX
    if (m_reader) {
        return m_reader->read(absolute);
    }
#endif
    return readFolderQt(absolute);
}

Folder RealFileSystem::GetFolder(const Folder& parent, const SubFolder& sub) {
#ifdef Q_OS_LINUX
    if (m_reader) {
        return m_reader->read(parent, sub);
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
