#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <ranges>
#include <span>
#include <vector>

namespace fsservice {

/// Which folder a path leads to, links followed: device and inode where the
/// service reads with the system's own calls, the resolved path elsewhere. Two
/// ids are equal exactly when they name the same folder.
struct FolderId {
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray path;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

/// A file directly inside a folder, as the folder's read found it. Anything that
/// is not a folder once links are followed is a file here, hidden and system
/// entries included. A light view into its Folder: valid while that Folder
/// lives (moving the Folder keeps it valid).
class File {
public:
    /// Full path: the folder's Path and the Name joined.
    QString Path() const;
    /// Name with extension.
    QStringView Name() const { return m_name; }
    /// Name starting with '.' (POSIX) or carrying the hidden attribute (Windows).
    bool isHidden() const { return m_hidden; }
    /// Neither a regular file nor a folder: FIFO, socket, device, broken link.
    bool isSystem() const { return m_system; }

private:
    friend class FileOfEntry;
    File(QStringView folderPath, QStringView name, bool hidden, bool system)
        : m_folderPath(folderPath), m_name(name), m_hidden(hidden), m_system(system) {}

    QStringView m_folderPath;
    QStringView m_name;
    bool m_hidden;
    bool m_system;
};

/// How a folder keeps one file: where its name lies in the folder's one text of
/// names, and its two marks.
struct FileEntry {
    quint32 offset = 0;
    quint32 size = 0;
    bool hidden = false;
    bool system = false;
};

/// Gives the File of one of a folder's entries.
class FileOfEntry {
public:
    File operator()(const FileEntry& entry) const {
        return File(m_folderPath, QStringView(m_names + entry.offset, qsizetype(entry.size)),
                    entry.hidden, entry.system);
    }

private:
    friend class Folder;
    FileOfEntry(QStringView folderPath, const QChar* names)
        : m_folderPath(folderPath), m_names(names) {}

    QStringView m_folderPath;
    const QChar* m_names;
};

/// The files of one Folder, in name order: a range of File views, with size(),
/// empty(), operator[], front() and back().
using FileList = std::ranges::transform_view<std::span<const FileEntry>, FileOfEntry>;

/// A folder directly inside a folder, as the parent's read found it, with all
/// that reading it later takes.
struct SubFolder {
    /// The parent's Path and the name joined by one separator.
    QString Path;
    QString Name;
    /// The name as the system spells it, where that is bytes (Linux): a name
    /// that is not valid text reads with U+FFFD in Name, but still opens by
    /// these. Empty where the system's names are UTF-16 text already.
    QByteArray nativeName;
    /// Reached through a link or a junction, or not known not to be: it may
    /// lead anywhere, back up the tree included.
    bool link = false;
};

/// What the Linux reader keeps for a folder it read, to open the folder's
/// sub-folders relative to it. Defined in folderreading_linux.cpp; null for
/// every other reader.
class FolderHandle;

/// What one read of a folder collected; see folderreading.h.
struct FolderContents;

/// One read of a folder: everything directly inside it, in name order
/// (see compareNames). The object is a snapshot; nothing is read again.
class Folder {
public:
    Folder() = default;
    /// Made by a reader: `contents` must be in name order already
    /// (FolderContents::sortByName). `handle` may be null.
    Folder(QString path, FolderContents contents, FolderId id,
           std::shared_ptr<FolderHandle> handle);

    /// Absolute path with "." and ".." worked out as text, no trailing separator
    /// except at the root; links are not resolved.
    const QString& Path() const { return m_path; }
    /// Last path component; empty for the root.
    QString Name() const;

    const std::vector<SubFolder>& SubFolders() const { return m_subFolders; }
    FileList Files() const {
        return std::views::transform(std::span<const FileEntry>(m_files),
                                     FileOfEntry(m_path, m_names.constData()));
    }

    /// Names of the files that `pattern` matches (see matchesWildcard), in name
    /// order; folders, hidden and system files are never listed.
    QStringList Listing(QStringView pattern) const;
    /// The first name Listing(pattern) would give, or an empty text.
    QString FirstListed(QStringView pattern) const;

    const FolderId& id() const { return m_id; }

    /// What the reader that made this folder keeps for it; null when it keeps
    /// nothing.
    FolderHandle* handle() const { return m_handle.get(); }

    /// The same folder without its files: all that reading its sub-folders
    /// needs, for a reader that reads them while the walk holds the folder.
    Folder withoutFiles() const;

private:
    QString m_path;
    std::vector<SubFolder> m_subFolders;
    // The names of all files back to back: no string, heap block or path per
    // file, which a folder of 100,000 files pays for in page faults (the wide
    // folder's goal in bench/run).
    QString m_names;
    std::vector<FileEntry> m_files;
    FolderId m_id;
    std::shared_ptr<FolderHandle> m_handle;
};

}  // namespace fsservice
