#pragma once

#include "folder.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace fsservice {

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
    /// `overwrite` false: fails when the file exists. A name the folder cannot
    /// hold fails here, before any line is written.
    virtual std::unique_ptr<TextStream> CreateTextFile(const QString& path, bool overwrite,
                                                       bool unicode) = 0;
    /// Reads the folder at `path` (relative paths resolve against the current
    /// directory).
    virtual Folder GetFolder(const QString& path) = 0;
    /// Reads a sub-folder that `parent`'s read found: `sub` is one of
    /// parent.SubFolders(), or a copy of one, and `parent` is the folder that
    /// read gave or a copy of it. Same result as GetFolder(sub.Path), but it
    /// also reaches names that are not valid text, and costs less where the
    /// parent's read left something to read it by. On failure throws FsError
    /// with sub.Path and the system's reason; the parent can still be asked
    /// for its other sub-folders.
    virtual Folder GetFolder(const Folder& parent, const SubFolder& sub) = 0;
    /// Names of the files in the pattern's folder that its last component
    /// matches: GetFolder of that folder, then its Listing.
    ///
    ///     ListFiles("/jukebox/xml/*playlist*.xml")
    virtual QStringList ListFiles(const QString& pattern);
    /// Full path of the working directory, no trailing separator except at the
    /// root. Fails when the directory no longer exists.
    virtual QString CurrentDirectory() = 0;
};

/// Passes every operation on to another service. Test doubles derive from it and
/// override just the operation they change.
class ForwardingFileSystem : public FileSystem {
public:
    /// Forwards to `target`, which must outlive this service.
    explicit ForwardingFileSystem(FileSystem& target) : m_target(target) {}
    /// Forwards to `target`, which this service owns.
    explicit ForwardingFileSystem(std::unique_ptr<FileSystem> target)
        : m_owned(std::move(target)), m_target(*m_owned) {}

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
    std::unique_ptr<FileSystem> m_owned;  // null when the target belongs to the caller
    FileSystem& m_target;
};

}  // namespace fsservice
