#pragma once

// How RealFileSystem reads a folder: what one read collects, what a reader
// keeps for a folder, and the two ways of reading. Internal to the service.

#include "folder.h"

#include <QByteArray>

#include <atomic>
#include <memory>
#include <vector>

namespace fsservice {

/// What one read of a folder collects, in the order the system gave it, until
/// sortByName puts it in name order for a Folder to take over.
struct FolderContents {
    std::vector<SubFolder> subFolders;
    /// The files' names back to back; each entry says where its name lies.
    QString names;
    std::vector<FileEntry> files;

    void addFile(QStringView name, bool hidden, bool system);
    /// Room for `units` more name units and `count` more files, so that adding
    /// them copies nothing.
    void reserve(qsizetype units, std::size_t count);
    /// Puts the sub-folders and the files in name order (compareNames).
    void sortByName();
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
