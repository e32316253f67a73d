#include "platform.h"

#include "fserror.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace fsservice::platform {

bool memoryIsShort() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 && double(pages) * double(pageSize) < 1024.0 * 1024 * 1024;
}

void createFolder(const QString& path) {
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        throw FsError::fromSystem(path, errno);
    }
}

int fileExistsCode() {
    return EEXIST;
}

void checkFileName(const QString& path) {
    const QFileInfo target(path);
    const long nameMax =
        ::pathconf(QFile::encodeName(target.absolutePath()).constData(), _PC_NAME_MAX);
    if (nameMax > 0 && QFile::encodeName(target.fileName()).size() > nameMax) {
        throw FsError::fromSystem(path, ENAMETOOLONG);
    }
}

QString currentDirectory() {
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
}

}  // namespace fsservice::platform
