#include "realfilesystem.h"

#include "folderreading.h"
#include "fserror.h"
#include "readahead.h"
#include "savefilestream.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace fsservice {

int RealFileSystem::defaultReaders() {
    // Sixteen reads at once keep a disk's queue deep enough that it serves
    // more folders per second than with eight (bench/run --cold); where memory
    // is short, two readers keep fewer thread stacks and reads in memory.
#ifdef Q_OS_UNIX
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0 && double(pages) * double(pageSize) < 1024.0 * 1024 * 1024) {
        return 2;
    }
#endif
    return 16;
}

RealFileSystem::RealFileSystem(Reading reading, int readers, std::chrono::microseconds slowRead) {
#if defined(Q_OS_LINUX) || defined(Q_OS_WIN)
    if (reading == Reading::Native) {
        m_reader = std::make_unique<NativeReader>();
    }
#else
    Q_UNUSED(reading)
#endif
    if (readers > 1) {
        m_readAhead = std::make_unique<ReadAhead>(
            readers,
            [this](const Folder& parent, const SubFolder& sub) { return readSub(parent, sub); },
            slowRead);
    }
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
#elif defined(Q_OS_WIN)
    if (!::CreateDirectoryW(reinterpret_cast<const wchar_t*>(path.utf16()), nullptr)) {
        throw FsError::fromSystem(path, int(::GetLastError()));
    }
#else
    if (!QDir().mkdir(path)) {
        throw FsError(path, QStringLiteral("cannot create the folder"));
    }
#endif
}

std::unique_ptr<TextStream> RealFileSystem::CreateTextFile(const QString& path, bool overwrite,
                                                           bool unicode) {
    if (!overwrite && QFileInfo::exists(path)) {
#ifdef Q_OS_WIN
        throw FsError::fromSystem(path, ERROR_FILE_EXISTS);
#else
        throw FsError::fromSystem(path, EEXIST);
#endif
    }
#ifdef Q_OS_UNIX
    // The file is written unnamed (or under a temporary name) and gets its own
    // name only when complete: a name the folder cannot hold would otherwise
    // be refused only after the whole walk.
    const QFileInfo target(path);
    const long nameMax =
        ::pathconf(QFile::encodeName(target.absolutePath()).constData(), _PC_NAME_MAX);
    if (nameMax > 0 && QFile::encodeName(target.fileName()).size() > nameMax) {
        throw FsError::fromSystem(path, ENAMETOOLONG);
    }
#elif defined(Q_OS_WIN)
    // NTFS and FAT hold at most 255 UTF-16 units a name, and none of these
    // characters; a trailing dot or space is silently dropped by Windows.
    const QString name = QFileInfo(path).fileName();
    if (name.size() > 255) {
        throw FsError::fromSystem(path, ERROR_FILENAME_EXCED_RANGE);
    }
    const bool refused = std::any_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() < 0x20 || QStringView(u"<>:\"|?*").contains(c);
    });
    if (refused || name.endsWith(u'.') || name.endsWith(u' ')) {
        throw FsError::fromSystem(path, ERROR_INVALID_NAME);
    }
#endif
    return std::make_unique<SaveFileStream>(
        path, unicode ? SaveFileStream::Encoding::Utf16 : SaveFileStream::Encoding::System);
}

Folder RealFileSystem::GetFolder(const QString& path) {
    const QString absolute = absolutePath(path);
    const auto begun = ReadAhead::Clock::now();
#if defined(Q_OS_LINUX) || defined(Q_OS_WIN)
    Folder folder = m_reader ? m_reader->read(absolute) : readFolderQt(absolute);
#else
    Folder folder = readFolderQt(absolute);
#endif
    // A walk starts at a folder asked for by its path.
    if (m_readAhead) {
        m_readAhead->start(folder, ReadAhead::Clock::now() - begun);
    }
    return folder;
}

Folder RealFileSystem::GetFolder(const Folder& parent, const SubFolder& sub) {
    return m_readAhead ? m_readAhead->next(parent, sub) : readSub(parent, sub);
}

Folder RealFileSystem::readSub(const Folder& parent, const SubFolder& sub) {
#if defined(Q_OS_LINUX) || defined(Q_OS_WIN)
    if (m_reader) {
        return m_reader->read(parent, sub);
    }
#endif
    return readFolderQt(parent, sub);
}

QString RealFileSystem::CurrentDirectory() {
#ifdef Q_OS_UNIX
    // QDir::currentPath gives an empty text, without a reason, for a directory
    // that was removed (and for one deeper than PATH_MAX); an empty text would
    // put the playlist folder at the root of the file system.
    char* const current = ::getcwd(nullptr, 0);
    if (!current) {
        const int error = errno;
        QString known = QStringLiteral(".");
#ifdef Q_OS_LINUX
        // The kernel still knows where it was, marked as gone.
        char target[4096];
        const ssize_t length = ::readlink("/proc/self/cwd", target, sizeof target);
        if (length > 0 && std::size_t(length) < sizeof target) {
            QByteArray where(target, length);
            const QByteArray gone = " (deleted)";
            if (where.endsWith(gone)) {
                where.chop(gone.size());
            }
            known = QFile::decodeName(where);
        }
#endif
        throw FsError::fromSystem(known, error);
    }
    const QString path = QFile::decodeName(current);
    std::free(current);
    return path;
#else
    const QString current = QDir::currentPath();
    if (current.isEmpty()) {
#ifdef Q_OS_WIN
        throw FsError::fromSystem(QStringLiteral("."), int(::GetLastError()));
#else
        throw FsError(QStringLiteral("."), qt_error_string());
#endif
    }
    return QDir::toNativeSeparators(current);
#endif
}

}  // namespace fsservice
