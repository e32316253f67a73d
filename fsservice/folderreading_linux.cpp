#include "folderreading.h"
#include "fserror.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace fsservice {
namespace {

// Folders whose directory handle stays open while their sub-folders are read,
// so those open relative to it (the kernel then does not walk the whole path
// again). Past this many, a deep chain opens by full path and holds no handles.
constexpr int kMaxOpenHandles = 64;

struct PosixHandle {
    QByteArray nativePath;
    DIR* dir = nullptr;
};

struct Entry {
    bool isFolder;
    bool system;
};

// Takes the entry's type from the directory read where it can; only links and
// file systems that give no type cost a stat.
Entry classify(int dirFd, const dirent* d) {
    switch (d->d_type) {
        case DT_DIR:
            return {true, false};
        case DT_REG:
            return {false, false};
        case DT_LNK:
        case DT_UNKNOWN: {
            struct stat st;
            if (::fstatat(dirFd, d->d_name, &st, 0) != 0) {
                return {false, true};  // a broken link
            }
            if (S_ISDIR(st.st_mode)) {
                return {true, false};
            }
            return {false, !S_ISREG(st.st_mode)};
        }
        default:
            return {false, true};  // FIFO, socket, device
    }
}

}  // namespace

Folder readFolderPosix(const QString& path, const QByteArray& native, const Folder* parent,
                       const std::shared_ptr<int>& openHandles) {
    const auto* parentHandle =
        parent ? static_cast<const PosixHandle*>(parent->handle().get()) : nullptr;
    QByteArray nativePath = native;
    int fd = -1;
    if (parentHandle) {
        nativePath = parentHandle->nativePath;
        if (!nativePath.endsWith('/')) {
            nativePath += '/';
        }
        nativePath += native;
    } else if (parent) {
        // A folder some other way produced: its path text is all there is.
        nativePath = QFile::encodeName(path);
    }
    if (parentHandle && parentHandle->dir) {
        fd = ::openat(::dirfd(parentHandle->dir), native.constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        fd = ::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        throw FsError::fromSystem(path, errno);
    }

    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        throw FsError::fromSystem(path, error);
    }
    FolderId id;
    id.key.resize(sizeof st.st_dev + sizeof st.st_ino);
    std::memcpy(id.key.data(), &st.st_dev, sizeof st.st_dev);
    std::memcpy(id.key.data() + sizeof st.st_dev, &st.st_ino, sizeof st.st_ino);

    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        throw FsError::fromSystem(path, error);
    }

    std::vector<SubFolder> subFolders;
    std::vector<File> files;
    errno = 0;
    while (const dirent* d = ::readdir(dir)) {
        const char* raw = d->d_name;
        if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) {
            continue;
        }
        const Entry entry = classify(fd, d);
        // Names that are not valid UTF-8 read with U+FFFD for the bad bytes;
        // the raw bytes stay with sub-folders so they can still be opened.
        QString name = QString::fromUtf8(raw);
        if (entry.isFolder) {
            subFolders.push_back(SubFolder{joinPath(path, name), name, QByteArray(raw)});
        } else {
            files.emplace_back(path, std::move(name), raw[0] == '.', entry.system);
        }
        errno = 0;
    }
    if (errno != 0) {
        const int error = errno;
        ::closedir(dir);
        throw FsError::fromSystem(path, error);
    }

    std::shared_ptr<PosixHandle> handle;
    if (*openHandles < kMaxOpenHandles && !subFolders.empty()) {
        ++*openHandles;
        handle.reset(new PosixHandle{std::move(nativePath), dir}, [openHandles](PosixHandle* kept) {
            ::closedir(kept->dir);
            --*openHandles;
            delete kept;
        });
    } else {
        ::closedir(dir);
        handle = std::make_shared<PosixHandle>(PosixHandle{std::move(nativePath), nullptr});
    }
    return Folder(path, std::move(subFolders), std::move(files), std::move(id), std::move(handle));
}

}  // namespace fsservice
