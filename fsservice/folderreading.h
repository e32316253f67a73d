#pragma once

// How RealFileSystem reads a folder: what one read collects, what a reader
// keeps for a folder, and the two ways of reading. Internal to the service.

#include "folder.h"

#include <QByteArray>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace fsservice {

/// What a folder's read found out about one of its sub-folders, for reading it
/// later.
struct SubFolderNote {
    /// The name as the system spelled it: a name that is not valid text reads
    /// with U+FFFD, but still opens by its bytes.
    QByteArray nativeName;
    /// Reached through a link or a junction, or not known not to be: it may
    /// lead anywhere.
    bool link = false;
};

/// What one read of a folder collects, in the order the system gave it, until
/// sortByName puts it in name order for a Folder to take over.
struct FolderContents {
    std::vector<SubFolder> subFolders;
    /// One for each of subFolders, or none.
    std::vector<SubFolderNote> notes;
    /// The files' names back to back; each entry says where its name lies.
    QString names;
    std::vector<FileEntry> files;

    void addFile(QStringView name, bool hidden, bool system);
    /// Room for `units` more name units and `count` more files, so that adding
    /// them copies nothing.
    void reserve(qsizetype units, std::size_t count);
    /// Puts the sub-folders, with their notes, and the files in name order
    /// (compareNames).
    void sortByName();
};

#ifdef Q_OS_LINUX
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
#endif

/// What a reader keeps for a folder with sub-folders, to read them.
class FolderHandle final {
public:
    explicit FolderHandle(std::vector<SubFolderNote> subFolderNotes)
        : notes(std::move(subFolderNotes)) {}
    ~FolderHandle();
    Q_DISABLE_COPY_MOVE(FolderHandle)

    /// One for each of the folder's SubFolders, in the same order.
    const std::vector<SubFolderNote> notes;
    /// The note of `sub`, or null when `sub` is not one of `folder`'s.
    static const SubFolderNote* noteOf(const Folder& folder, const SubFolder& sub);

#ifdef Q_OS_LINUX
    /// The folder's path as the system spells it.
    QByteArray nativePath;

    /// Keeps `directory` open for opening the sub-folders relative to it, as
    /// long as fewer than `limit` handles counted by `openHandles` hold one.
    void hold(Descriptor directory, std::shared_ptr<std::atomic<int>> openHandles, int limit);
    /// The open directory to open one sub-folder relative to, or -1 when it is
    /// closed (the sub-folder then opens by its path). Each call is followed by
    /// one call of doneOpening, once that open is over.
    int beginOpening();
    /// Once every sub-folder has been opened once, and no open is under way in
    /// another thread, the directory has done its work and is closed.
    void doneOpening(int directory);
    void release();

private:
    // Sub-folders may be opened from several threads at once (ReadAhead): the
    // directory is closed only when no open still uses it.
    std::mutex m_opening;
    Descriptor m_directory;
    int m_openings = 0;        // opens under way that use m_directory
    std::size_t m_opened = 0;  // sub-folders opened so far, failed ones too
    std::shared_ptr<std::atomic<int>> m_openHandles;
#endif
};

/// Reads the folder at the absolute path `path` through Qt alone. Throws FsError.
Folder readFolderQt(const QString& path);
/// Reads a sub-folder that `parent`'s read found, through Qt alone. Throws FsError.
Folder readFolderQt(const Folder& parent, const SubFolder& sub);

#ifdef Q_OS_LINUX
/// Reads folders with the system's own calls: per folder one open, one pass of
/// getdents64 (entry types come with the names), one fstat for its id and one
/// close, sub-folders opened relative to their parent's open directory. Throws
/// FsError. Both reads may be called from several threads at once.
class LinuxFolderReader final {
public:
    LinuxFolderReader();
    ~LinuxFolderReader();
    Q_DISABLE_COPY_MOVE(LinuxFolderReader)

    /// The folder at the absolute path `path`.
    Folder read(const QString& path);
    /// A sub-folder that `parent`'s read found.
    Folder read(const Folder& parent, const SubFolder& sub);

private:
    // How many directories the handles this reader gave out hold open; shared
    // with the handles, which may outlive the reader.
    std::shared_ptr<std::atomic<int>> m_openHandles;
};
#endif

#ifdef Q_OS_WIN
/// The folder's path as Windows resolves it: links, junctions, short names and
/// letter case worked out, so that two paths that lead to one folder give one
/// text; both readers' folder ids are these. Empty, with the GetLastError code
/// in `error`, when `path` is no folder that opens.
QByteArray resolvedFolderPath(const QString& path, unsigned long& error);

/// Reads folders with the system's own calls: per folder one pass of
/// FindFirstFileExW and FindNextFileW, entry types and the hidden and system
/// attributes taken from the find data, paths in their \\?\ form so that
/// they may pass MAX_PATH. Only a folder asked for by its path and a reparse
/// point (a junction, a link) cost an open, for the resolved path that is
/// their id. Throws FsError. Keeps nothing: both reads may be called from
/// several threads at once.
class WindowsFolderReader final {
public:
    /// The folder at the absolute path `path`.
    Folder read(const QString& path);
    /// A sub-folder that `parent`'s read found.
    Folder read(const Folder& parent, const SubFolder& sub);
};
#endif

}  // namespace fsservice
