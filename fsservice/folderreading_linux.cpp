#include "folderreading.h"
#include "fserror.h"
#include "paths.h"

#include <QFile>
#include <QStringDecoder>

#include <mutex>

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

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

FolderId idOf(const struct stat& st) {
    return FolderId{quint64(st.st_dev), quint64(st.st_ino), {}};
}

// Decodes names from UTF-8 into one text it keeps, without a heap block for
// each. A name that is not valid UTF-8 reads with U+FFFD for its bad bytes. A
// name may begin with U+FEFF: it stays, or the path written for the file would
// name another one (Qt's decoders drop it by default).
class NameDecoder {
public:
    /// The name `bytes`, valid until the next call.
    QStringView operator()(QByteArrayView bytes) {
        // UTF-8 never takes fewer bytes than UTF-16 units.
        if (m_room.size() < bytes.size()) {
            m_room.resize(bytes.size());
        }
        QChar* const room = m_room.data();
        return QStringView(room, m_decoder.appendToBuffer(room, bytes) - room);
    }

private:
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                       QStringDecoder::Flag::ConvertInitialBom};
    QString m_room;
};

// Files one entry of the folder open at `directory` (whose path is `path`) in
// `contents`: a sub-folder, or a file with its marks. Only links, and file
// systems that give no type, cost a stat.
void addEntry(FolderContents& contents, int directory, const QString& path, const dirent64& entry,
              NameDecoder& decode) {
    const char* raw = entry.d_name;
    const qsizetype length = qsizetype(std::strlen(raw));
    bool folder = entry.d_type == DT_DIR;
    bool system = entry.d_type != DT_DIR && entry.d_type != DT_REG;  // FIFO, socket, device
    const bool link = entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN;
    if (link) {
        struct stat st;
        const bool found = ::fstatat(directory, raw, &st, 0) == 0;
        folder = found && S_ISDIR(st.st_mode);
        // A broken link is neither a folder nor a file.
        system = !found || (!folder && !S_ISREG(st.st_mode));
    }
    const QStringView name = decode(QByteArrayView(raw, length));
    if (!folder) {
        contents.addFile(name, raw[0] == '.', system);
        return;
    }
    contents.subFolders.push_back(
        SubFolder{joinPath(path, name), name.toString(), QByteArray(raw, length), link});
}

}  // namespace

/// An open descriptor, closed when the object goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept;
    Descriptor& operator=(Descriptor&& other) noexcept;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void reset();

private:
    int m_fd = -1;
};

/// What the reader keeps for a folder with sub-folders: its path as the
/// system spells it, and while few enough folders do, its open directory, so
/// that its sub-folders open relative to it.
class FolderHandle final {
public:
    FolderHandle(QByteArray nativePath, std::size_t subFolders)
        : m_nativePath(std::move(nativePath)), m_subFolders(subFolders) {}
    ~FolderHandle() { release(); }
    Q_DISABLE_COPY_MOVE(FolderHandle)

    /// Keeps `directory` open for opening the sub-folders relative to it, as
    /// long as fewer than `limit` handles counted by `openHandles` hold one.
    void hold(Descriptor directory, std::shared_ptr<std::atomic<int>> openHandles, int limit);
    /// Opens the sub-folder named `nativeName`: relative to the open directory
    /// while it is open, by its whole path (given back in `nativePath`) once
    /// it is closed. The directory closes once every sub-folder has been
    /// opened, failed or not, and no open in another thread still uses it.
    /// Not open, with errno set, on failure. Safe from several threads.
    Descriptor openSub(const QByteArray& nativeName, QByteArray& nativePath);

private:
    void release();

    const QByteArray m_nativePath;
    const std::size_t m_subFolders;
    // Sub-folders may be opened from several threads at once (ReadAhead): the
    // directory is closed only when no open still uses it.
    std::mutex m_opening;
    Descriptor m_directory;
    int m_openings = 0;        // opens under way that use m_directory
    std::size_t m_opened = 0;  // sub-folders opened so far, failed ones too
    std::shared_ptr<std::atomic<int>> m_openHandles;
};

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

Descriptor FolderHandle::openSub(const QByteArray& nativeName, QByteArray& nativePath) {
    nativePath = m_nativePath;
    if (!nativePath.endsWith('/')) {
        nativePath += '/';
    }
    nativePath += nativeName;
    std::unique_lock lock(m_opening);
    const int directory = m_directory.isOpen() ? m_directory.get() : -1;
    if (directory >= 0) {
        ++m_openings;
    }
    lock.unlock();
    // Relative to the parent's directory the kernel looks up one name; by full
    // path it walks every component again (the deep chain in bench/run).
    Descriptor opened(directory >= 0 ? ::openat(directory, nativeName.constData(), kOpenFlags)
                                     : ::open(nativePath.constData(), kOpenFlags));
    const int error = errno;
    lock.lock();
    if (directory >= 0) {
        --m_openings;
    }
    if (++m_opened >= m_subFolders && m_openings == 0) {
        release();
    }
    lock.unlock();
    errno = error;
    return opened;
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
    NameDecoder decode;
    for (;;) {
        const ssize_t filled = ::getdents64(directory.get(), buffer.get(), kReadBlock);
        if (filled == 0) {
            break;
        }
        if (filled < 0) {
            throw FsError::fromSystem(path, errno);
        }
        for (ssize_t at = 0; at < filled;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + at);
            at += entry->d_reclen;
            if (!isDotOrDotDot(entry->d_name)) {
                addEntry(contents, directory.get(), path, *entry, decode);
            }
        }
    }

    // The id comes from the folder itself, not from its parent's entry for it:
    // at a mount point that entry names the folder underneath, and btrfs
    // sub-volumes share their inode number and differ only in the device.
    struct stat st;
    if (::fstat(directory.get(), &st) != 0) {
        throw FsError::fromSystem(path, errno);
    }

    // A folder without sub-folders is never asked for one: it keeps nothing.
    std::shared_ptr<FolderHandle> handle;
    if (!contents.subFolders.empty()) {
        handle = std::make_shared<FolderHandle>(std::move(nativePath), contents.subFolders.size());
        handle->hold(std::move(directory), openHandles, kMaxOpenHandles);
    }
    return contents.finish(path, idOf(st), std::move(handle));
}

class LinuxFolderReader final : public FolderReader {
public:
    Folder read(const QString& path) override;
    Folder read(const Folder& parent, const SubFolder& sub) override;

private:
    // How many directories the handles this reader gave out hold open; shared
    // with the handles, which may outlive the reader.
    const std::shared_ptr<std::atomic<int>> m_openHandles = std::make_shared<std::atomic<int>>(0);
};

}  // namespace

std::unique_ptr<FolderReader> makeNativeReader() {
    return std::make_unique<LinuxFolderReader>();
}

Folder LinuxFolderReader::read(const QString& path) {
    QByteArray nativePath = QFile::encodeName(path);
    Descriptor directory(::open(nativePath.constData(), kOpenFlags));
    if (!directory.isOpen()) {
        throw FsError::fromSystem(path, errno);
    }
    return readOpen(std::move(directory), path, std::move(nativePath), m_openHandles);
}

Folder LinuxFolderReader::read(const Folder& parent, const SubFolder& sub) {
    FolderHandle* const parentHandle = parent.handle();
    if (!parentHandle || sub.nativeName.isEmpty()) {
        // A folder some other reader made: its path text is all there is.
        return read(sub.Path);
    }
    QByteArray nativePath;
    Descriptor directory = parentHandle->openSub(sub.nativeName, nativePath);
    if (!directory.isOpen()) {
        throw FsError::fromSystem(sub.Path, errno);
    }
    return readOpen(std::move(directory), sub.Path, std::move(nativePath), m_openHandles);
}

}  // namespace fsservice
