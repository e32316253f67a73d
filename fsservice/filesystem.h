#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace fsservice {

/// The platform's path separator: '/' on Linux and macOS, '\' on Windows.
/// Every path text the service takes or gives uses it.
QChar separator();

/// Joins a folder's path and a name with one separator, not doubling the one a
/// root path already ends in.
QString joinPath(const QString& folderPath, QStringView name);

/// True when `name` matches the wildcard `pattern`, whose '*' matches any run of
/// characters; letter case is ignored.
bool matchesWildcard(QStringView name, QStringView pattern);

/// Which folder a path leads to, links followed: device and inode on POSIX, the
/// canonical path elsewhere. Two ids are equal exactly when they name the same folder.
struct FolderId {
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray path;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

/// A file directly inside a folder. Anything that is not a folder once links are
/// followed is a file here, hidden and system entries included.
class File {
public:
    File(QString folderPath, QString name, bool hidden, bool system);

    /// Full path: the folder's Path and the Name joined.
    QString Path() const;
    /// Name with extension.
    const QString& Name() const { return m_name; }
    /// Name starting with '.' (POSIX) or carrying the hidden attribute (Windows).
    bool isHidden() const { return m_hidden; }
    /// Neither a regular file nor a folder: FIFO, socket, device, broken link.
    bool isSystem() const { return m_system; }

private:
    QString m_folderPath;
    QString m_name;
    bool m_hidden;
    bool m_system;
};

/// A folder directly inside a folder, as the parent's read found it.
struct SubFolder {
    /// The parent's Path and the name joined by one separator.
    QString Path;
    QString Name;
    QByteArray nativeName;
    /// The folder's id as the parent's read saw it, where that read gives one
    /// (the reader may take it instead of asking the system again); else empty.
    FolderId id;
};

/// One read of a folder: everything directly inside it, in name order
/// (see compareNames). The object is a snapshot; nothing is read again.
class Folder {
public:
    Folder() = default;

    /// Absolute path with "." and ".." worked out as text, no trailing separator
    /// except at the root; links are not resolved.
    const QString& Path() const { return m_path; }
    /// Last path component; empty for the root.
    QString Name() const;

    const std::vector<SubFolder>& SubFolders() const { return m_subFolders; }
    const std::vector<File>& Files() const { return m_files; }

    /// Names of the files that `pattern` matches (see matchesWildcard), in name
    /// order; folders, hidden and system files are never listed.
    QStringList Listing(QStringView pattern) const;
    /// The first name Listing(pattern) would give, or an empty text.
    QString FirstListed(QStringView pattern) const;

    const FolderId& id() const { return m_id; }

    /// Whatever the service that read the folder keeps open for it (a directory
    /// handle, to open sub-folders relative to it); may be null.
    const std::shared_ptr<void>& handle() const { return m_handle; }

    /// Filled in by a service's folder read; sorts both lists.
    Folder(QString path, std::vector<SubFolder> subFolders, std::vector<File> files, FolderId id,
           std::shared_ptr<void> handle);

private:
    QString m_path;
    std::vector<SubFolder> m_subFolders;
    std::vector<File> m_files;
    FolderId m_id;
    std::shared_ptr<void> m_handle;
};

/// A text file being written. Nothing appears under the file's name until Close:
/// a stream destroyed without Close leaves whatever was there before untouched.
class TextStream {
public:
    virtual ~TextStream() = default;
    /// Writes `text` and CR LF in the stream's encoding. Throws FsError.
    virtual void WriteLine(QStringView text) = 0;
    /// Writes out everything and puts the file in place. Throws FsError; after a
    /// failure the earlier file is still there as it was.
    virtual void Close() = 0;
};

/// All the file and folder work of the playlist writer. Every operation either
/// does its work or throws FsError with the path and the system's reason.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// True when a folder (links followed) exists at `path`.
    virtual bool FolderExists(const QString& path) = 0;
    /// True when a regular file (links followed) exists at `path`.
    virtual bool FileExists(const QString& path) = 0;
    /// Creates that one folder; its parent must exist.
    virtual void CreateFolder(const QString& path) = 0;
    /// Opens a text file for writing. `unicode`: UTF-16LE starting with FF FE;
    /// otherwise the system's 8-bit encoding (UTF-8 outside Windows), no mark.
    /// `overwrite` false: fails when the file exists.
    virtual std::unique_ptr<TextStream> CreateTextFile(const QString& path, bool overwrite,
                                                       bool unicode) = 0;
    /// Reads the folder at `path` (relative paths resolve against the current
    /// directory).
    virtual Folder GetFolder(const QString& path) = 0;
    /// Reads a sub-folder that `parent`'s read found. Same result as
    /// GetFolder(sub.Path), but it also reaches names that are not valid text.
    virtual Folder GetFolder(const Folder& parent, const SubFolder& sub) = 0;
    /// Names of the files in the pattern's folder that its last component
    /// matches; see Folder::Listing.
    virtual QStringList ListFiles(const QString& pattern) = 0;
    /// Full path of the working directory, no trailing separator except at the root.
    virtual QString CurrentDirectory() = 0;
};

/// Passes every operation on to another service. Test doubles derive from it and
/// override just the operation they change.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& target) : m_target(target) {}

    bool FolderExists(const QString& path) override { return m_target.FolderExists(path); }
    bool FileExists(const QString& path) override { return m_target.FileExists(path); }
    void CreateFolder(const QString& path) override { m_target.CreateFolder(path); }
    std::unique_ptr<TextStream> CreateTextFile(const QString& path, bool overwrite,
                                               bool unicode) override {
        return m_target.CreateTextFile(path, overwrite, unicode);
    }
    Folder GetFolder(const QString& path) override { return m_target.GetFolder(path); }
    Folder GetFolder(const Folder& parent, const SubFolder& sub) override {
        return m_target.GetFolder(parent, sub);
    }
    QStringList ListFiles(const QString& pattern) override { return m_target.ListFiles(pattern); }
    QString CurrentDirectory() override { return m_target.CurrentDirectory(); }

private:
    FileSystem& m_target;
};

}  // namespace fsservice
