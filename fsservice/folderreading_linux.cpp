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
// so those open relative to it. A folder's handle is closed as soon as its last
// sub-folder is open, so only folders with sub-folders still to walk hold one:
// the depth of the walk, not its size. Past this many (a chain deeper than
// this with siblings left at every level) a folder opens by its full path.
constexpr int kMaxOpenHandles = 64;

// One getdents64 call fills this much. Only the pages a folder's entries need
// are ever touched, so small folders cost one page; 100,000 entries take
// 80 calls instead of 160 with glibc's 32 KiB.
constexpr std::size_t kReadBlock = 64 * 1024;

// A folder that needs a second read holds more than a thousand entries. Its
// files and their names then get room for this many at once: room never
// written to costs address space only, while every regrowth would copy all
// entries into fresh pages, and a fresh page costs 17 us here.
constexpr std::size_t kBigFolderFiles = std::size_t(1) << 18;
constexpr qsizetype kBigFolderNameUnits = qsizetype(1) << 22;

// Writes the UTF-8 name `raw` as UTF-16 at `out` (room for `length` units) and
// returns the end. Almost every name is ASCII: widening that directly saves a
// QString per name; the rest decode as QString::fromUtf8 does, with U+FFFD
// for bytes that are not valid UTF-8.
QChar* writeName(QChar* out, const char* raw, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(raw[i]);
        if (byte >= 0x80) {
            const QString decoded = QString::fromUtf8(raw + i, length - i);
            return std::copy(decoded.begin(), decoded.end(), out);
        }
        *out++ = QChar(char16_t(byte));
    }
    return out;
}

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

struct PosixHandle {
    PosixHandle(QByteArray path, int descriptor, std::shared_ptr<int> counter)
        : nativePath(std::move(path)), fd(descriptor), openHandles(std::move(counter)) {
        if (fd >= 0) {
            ++*openHandles;
        }
    }
    ~PosixHandle() { close(); }
    Q_DISABLE_COPY_MOVE(PosixHandle)

    // A directory opened read-only has nothing to flush: close cannot lose
    // anything, so its result is not looked at.
    void close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
            --*openHandles;
        }
    }

    QByteArray nativePath;
    int fd;
    std::shared_ptr<int> openHandles;
};

FolderId idOf(const struct stat& st) {
    return FolderId{quint64(st.st_dev), quint64(st.st_ino), {}};
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

LinuxFolderReader::LinuxFolderReader()
    : m_openHandles(std::make_shared<int>(0)), m_buffer(new char[kReadBlock]) {}

LinuxFolderReader::~LinuxFolderReader() = default;

Folder LinuxFolderReader::read(const QString& path) {
    QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), kOpenFlags);
    if (fd < 0) {
        throw FsError::fromSystem(path, errno);
    }
    return readOpen(fd, path, std::move(nativePath), nullptr);
}

Folder LinuxFolderReader::read(const Folder& parent, const SubFolder& sub) {
    auto* parentHandle = static_cast<PosixHandle*>(parent.handle().get());
    if (!parentHandle) {
        // A folder some other way produced: its path text is all there is.
        return read(sub.Path);
    }
    QByteArray nativePath = parentHandle->nativePath;
    if (!nativePath.endsWith('/')) {
        nativePath += '/';
    }
    nativePath += sub.nativeName;
    // Relative to the parent's handle the kernel looks up one name; by full path
    // it walks every component again (3 times the system time on a chain of
    // 500 folders).
    const int fd = parentHandle->fd >= 0
                       ? ::openat(parentHandle->fd, sub.nativeName.constData(), kOpenFlags)
                       : ::open(nativePath.constData(), kOpenFlags);
    if (fd < 0) {
        throw FsError::fromSystem(sub.Path, errno);
    }
    // The walk opens sub-folders in order: once the last is open, the parent's
    // handle has done its work. Asked again, the parent falls back to paths.
    if (&sub == &parent.SubFolders().back()) {
        parentHandle->close();
    }
    return readOpen(fd, sub.Path, std::move(nativePath), &sub.id);
}

Folder LinuxFolderReader::readOpen(int fd, const QString& path, QByteArray nativePath,
                                   const FolderId* seen) {
    FolderContents contents;
    std::vector<SubFolder>& subFolders = contents.subFolders;
    quint64 selfInode = 0;
    // Plain sub-folders get this folder's device once it is known; those reached
    // through a link carry their target's device from the stat below.
    std::vector<std::size_t> plainSubFolders;

    for (int pass = 0;; ++pass) {
        const ssize_t filled = ::getdents64(fd, m_buffer.get(), kReadBlock);
        if (filled == 0) {
            break;
        }
        if (filled < 0) {
            const int error = errno;
            ::close(fd);
            throw FsError::fromSystem(path, error);
        }
        // The names in a block take fewer UTF-16 units than the block has
        // bytes, and an entry takes at least 24 bytes: so one allocation each
        // holds a small folder.
        if (pass == 0) {
            contents.reserve(qsizetype(filled), std::size_t(filled) / 24);
        } else if (pass == 1) {
            contents.reserve(kBigFolderNameUnits, kBigFolderFiles);
        }
        for (ssize_t at = 0; at < filled;) {
            const auto* d = reinterpret_cast<const dirent64*>(m_buffer.get() + at);
            at += d->d_reclen;
            const char* raw = d->d_name;
            if (isDotOrDotDot(raw)) {
                if (raw[1] == '\0') {
                    selfInode = d->d_ino;
                }
                continue;
            }
            const qsizetype length = qsizetype(std::strlen(raw));
            bool folder = false;
            bool system = false;
            FolderId linked;
            switch (d->d_type) {
                case DT_DIR:
                    folder = true;
                    break;
                case DT_REG:
                    break;
                case DT_LNK:
                case DT_UNKNOWN: {
                    // Only links, and file systems that give no type, cost a stat.
                    struct stat st;
                    if (::fstatat(fd, raw, &st, 0) != 0) {
                        system = true;  // a broken link
                    } else if (S_ISDIR(st.st_mode)) {
                        folder = true;
                        linked = idOf(st);
                    } else {
                        system = !S_ISREG(st.st_mode);
                    }
                    break;
                }
                default:
                    system = true;  // FIFO, socket, device
                    break;
            }
            // Names that are not valid UTF-8 read with U+FFFD for the bad bytes;
            // the raw bytes stay with sub-folders so they can still be opened.
            if (!folder) {
                // A UTF-8 name never takes more UTF-16 units than it has bytes.
                QChar* const end = writeName(contents.beginFile(length), raw, length);
                contents.endFile(end, raw[0] == '.', system);
                continue;
            }
            QString name = QString::fromUtf8(raw, length);
            if (d->d_type == DT_DIR) {
                linked.inode = d->d_ino;
                plainSubFolders.push_back(subFolders.size());
            }
            QString subPath = joinPath(path, name);
            subFolders.push_back(SubFolder{std::move(subPath), std::move(name),
                                           QByteArray(raw, length), std::move(linked)});
        }
    }

    // The parent's read already saw this folder's inode; the "." entry
    // confirms it is the same one. Where they differ (a mount point: the
    // parent's entry names the folder underneath) or nothing was seen, fstat
    // gives the truth. Most folders thus cost no stat at all.
    FolderId id;
    if (seen && selfInode != 0 && seen->inode == selfInode && seen->device != 0) {
        id = *seen;
    } else {
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            const int error = errno;
            ::close(fd);
            throw FsError::fromSystem(path, error);
        }
        id = idOf(st);
    }
    for (const std::size_t index : plainSubFolders) {
        subFolders[index].id.device = id.device;
    }

    std::shared_ptr<PosixHandle> handle;
    if (!subFolders.empty() && *m_openHandles < kMaxOpenHandles) {
        handle = std::make_shared<PosixHandle>(std::move(nativePath), fd, m_openHandles);
    } else {
        ::close(fd);
        handle = std::make_shared<PosixHandle>(std::move(nativePath), -1, m_openHandles);
    }
    return Folder(path, std::move(contents), std::move(id), std::move(handle));
}

}  // namespace fsservice
