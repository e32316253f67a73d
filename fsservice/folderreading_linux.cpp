#include "folderreading.h"
#include "fserror.h"
#include "paths.h"

#include <QFile>
#include <QStringDecoder>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <utility>

namespace fsservice {
namespace {

// Folders whose directory stays open while their sub-folders are read, so those
// open relative to it. A folder's directory is closed as soon as its last
// sub-folder is open, so only folders with sub-folders still to walk hold one:
// the depth of the walk, not its size. Past this many (a chain deeper than this
// with siblings left at every level) a folder opens by its full path.
constexpr int kMaxOpenHandles = 64;

// One getdents64 call fills this much. Only the pages a folder's entries need
// are ever touched, so a small folder costs one page and a big one few calls.
constexpr std::size_t kReadBlock = 64 * 1024;

// A folder that needs a second read holds more than a thousand entries. Its
// files and their names then get room for this many at once: room never
// written to costs address space only, while every regrowth copies all entries
// into fresh pages (the wide folder in bench/run).
constexpr std::size_t kBigFolderFiles = std::size_t(1) << 18;
constexpr qsizetype kBigFolderNameUnits = qsizetype(1) << 22;

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Units of room for a name decoded on the stack. Linux file systems hold
// names of at most 255 bytes, but NTFS's 255 UTF-16 units take up to 765 bytes
// of UTF-8; and UTF-8 never takes fewer bytes than UTF-16 units.
constexpr qsizetype kNameRoom = 768;

FolderId idOf(const struct stat& st) {
    return FolderId{quint64(st.st_dev), quint64(st.st_ino), {}};
}

// Decodes the UTF-8 name `bytes` into `room`, or into `spill` when it does
// not fit there. A name that is not valid UTF-8 reads with U+FFFD for its bad
// bytes. A name may begin with U+FEFF: it stays, or the path written for the
// file would name another one (Qt's decoders drop it by default).
QStringView decodeName(QStringDecoder& decoder, QByteArrayView bytes, QChar (&room)[kNameRoom],
                       QString& spill) {
    if (bytes.size() <= kNameRoom) {
        return QStringView(room, decoder.appendToBuffer(room, bytes) - room);
    }
    spill = decoder(bytes);
    return spill;
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

// A directory opened read-only has nothing to flush: close cannot lose
// anything, so its result is not looked at.
void Descriptor::reset() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

Descriptor::Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        reset();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void FolderHandle::hold(Descriptor directory, std::shared_ptr<std::atomic<int>> openHandles,
                        int limit) {
    if (openHandles->fetch_add(1) < limit) {
        m_directory = std::move(directory);
        m_openHandles = std::move(openHandles);
    } else {
        openHandles->fetch_sub(1);
    }
}

int FolderHandle::beginOpening() {
    const std::lock_guard lock(m_opening);
    if (!m_directory.isOpen()) {
        return -1;
    }
    ++m_openings;
    return m_directory.get();
}

void FolderHandle::doneOpening(int directory) {
    const std::lock_guard lock(m_opening);
    if (directory >= 0) {
        --m_openings;
    }
    if (++m_opened >= notes.size() && m_openings == 0) {
        release();
    }
}

void FolderHandle::release() {
    if (m_directory.isOpen()) {
        m_directory.reset();
        m_openHandles->fetch_sub(1);
    }
}

namespace {

// Reads the whole folder open at `directory`: its entries, then its id.
Folder readOpen(Descriptor directory, const QString& path, QByteArray nativePath,
                const std::shared_ptr<std::atomic<int>>& openHandles) {
    // One buffer for each thread that reads, kept for its next folders.
    thread_local const std::unique_ptr<char[]> buffer(new char[kReadBlock]);
    FolderContents contents;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QChar room[kNameRoom];
    QString spill;

    for (int pass = 0;; ++pass) {
        const ssize_t filled = ::getdents64(directory.get(), buffer.get(), kReadBlock);
        if (filled == 0) {
            break;
        }
        if (filled < 0) {
            throw FsError::fromSystem(path, errno);
        }
        if (pass == 1) {
            contents.reserve(kBigFolderNameUnits, kBigFolderFiles);
        }
        for (ssize_t at = 0; at < filled;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + at);
            at += entry->d_reclen;
            const char* raw = entry->d_name;
            if (isDotOrDotDot(raw)) {
                continue;
            }
            const qsizetype length = qsizetype(std::strlen(raw));
            bool folder = false;
            bool system = false;
            const bool link = entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
            switch (entry->d_type) {
                case DT_DIR:
                    folder = true;
                    break;
                case DT_REG:
                    break;
                case DT_LNK:
                case DT_UNKNOWN: {
                    // Only links, and file systems that give no type, cost a stat.
                    struct stat st;
                    if (::fstatat(directory.get(), raw, &st, 0) != 0) {
                        system = true;  // a broken link
                    } else {
                        folder = S_ISDIR(st.st_mode);
                        system = !folder && !S_ISREG(st.st_mode);
                    }
                    break;
                }
                default:
                    system = true;  // FIFO, socket, device
                    break;
            }
            const QStringView name = decodeName(decoder, QByteArrayView(raw, length), room, spill);
            if (!folder) {
                contents.addFile(name, raw[0] == '.', system);
                continue;
            }
            // The bytes stay with the sub-folder, so that a name that is not
            // valid text can still be opened.
            contents.subFolders.push_back(SubFolder{joinPath(path, name), name.toString()});
            contents.notes.push_back(SubFolderNote{QByteArray(raw, length), link});
        }
    }

    // The id comes from the folder itself, not from its parent's entry for it:
    // at a mount point that entry names the folder underneath, and btrfs
    // sub-volumes share their inode number and differ only in the device.
    struct stat st;
    if (::fstat(directory.get(), &st) != 0) {
        throw FsError::fromSystem(path, errno);
    }

    contents.sortByName();
    // A folder without sub-folders is never asked for one: it keeps nothing.
    std::shared_ptr<FolderHandle> handle;
    if (!contents.subFolders.empty()) {
        handle = std::make_shared<FolderHandle>(std::move(contents.notes));
        handle->nativePath = std::move(nativePath);
        handle->hold(std::move(directory), openHandles, kMaxOpenHandles);
    }
    return Folder(path, std::move(contents), idOf(st), std::move(handle));
}

}  // namespace

LinuxFolderReader::LinuxFolderReader() : m_openHandles(std::make_shared<std::atomic<int>>(0)) {}

LinuxFolderReader::~LinuxFolderReader() = default;

Folder LinuxFolderReader::read(const QString& path) {
    QByteArray nativePath = QFile::encodeName(path);
    Descriptor directory(::open(nativePath.constData(), kOpenFlags));
    if (!directory.isOpen()) {
        throw FsError::fromSystem(path, errno);
    }
    return readOpen(std::move(directory), path, std::move(nativePath), m_openHandles);
}

Folder LinuxFolderReader::read(const Folder& parent, const SubFolder& sub) {
    const SubFolderNote* const note = FolderHandle::noteOf(parent, sub);
    if (!note || note->nativeName.isEmpty()) {
        // A folder some other way produced, or a sub-folder not from this
        // parent: its path text is all there is.
        return read(sub.Path);
    }
    FolderHandle* const parentHandle = parent.handle();
    const QByteArray& nativeName = note->nativeName;
    QByteArray nativePath = parentHandle->nativePath;
    if (!nativePath.endsWith('/')) {
        nativePath += '/';
    }
    nativePath += nativeName;
    // Relative to the parent's directory the kernel looks up one name; by full
    // path it walks every component again (the deep chain in bench/run).
    const int parentDirectory = parentHandle->beginOpening();
    Descriptor directory(parentDirectory >= 0
                             ? ::openat(parentDirectory, nativeName.constData(), kOpenFlags)
                             : ::open(nativePath.constData(), kOpenFlags));
    const int error = errno;
    // Once every sub-folder is open, the parent's directory has done its work.
    // Asked again, the parent falls back to paths.
    parentHandle->doneOpening(parentDirectory);
    if (!directory.isOpen()) {
        throw FsError::fromSystem(sub.Path, error);
    }
    return readOpen(std::move(directory), sub.Path, std::move(nativePath), m_openHandles);
}

}  // namespace fsservice
