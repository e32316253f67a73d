#include "platform.h"

#include "fserror.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <algorithm>

namespace fsservice::platform {

bool memoryIsShort() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return ::GlobalMemoryStatusEx(&status) && status.ullTotalPhys < 1024ULL * 1024 * 1024;
}

void createFolder(const QString& path) {
    if (!::CreateDirectoryW(reinterpret_cast<const wchar_t*>(path.utf16()), nullptr)) {
        throw FsError::fromSystem(path, int(::GetLastError()));
    }
}

int fileExistsCode() {
    return ERROR_FILE_EXISTS;
}

void checkFileName(const QString& path) {
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
}

QString currentDirectory() {
    const QString current = QDir::currentPath();
    if (current.isEmpty()) {
        throw FsError::fromSystem(QStringLiteral("."), int(::GetLastError()));
    }
    return QDir::toNativeSeparators(current);
}

}  // namespace fsservice::platform
