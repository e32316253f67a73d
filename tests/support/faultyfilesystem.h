#pragma once

#include "filesystem.h"

#include <functional>

/// The real service with one failure injected, as the system would report it:
/// the operation throws FsError with the path and reason(), an input/output
/// error; GetFolderDenied fails every folder whose path ends so with "Permission
/// denied", as a folder this user may not open. CI runs as root, so permissions
/// alone cannot make these operations fail. Cancel fails nothing: the first
/// operation on a path that ends so calls `cancel` first, as a user pressing
/// Cancel at that moment.
class FaultyFileSystem final : public fsservice::ForwardingFileSystem {
public:
    enum class Operation {
        None,
        CreateFolder,
        GetFolder,
        GetFolderDenied,
        CreateTextFile,
        WriteLine,
        Close,
        ListFiles,
        Cancel
    };

    FaultyFileSystem(fsservice::FileSystem& target, Operation operation, QString pathEnd,
                     int line = 0);

    /// What Cancel calls.
    std::function<void()> cancel;

    /// How many times the fault fired.
    int fired() const { return m_fired; }
    /// How many folders were asked for, failed or not.
    int foldersRead() const { return m_foldersRead; }

    static QString reason();
    /// The system's code for a folder this user may not open: EACCES, on
    /// Windows ERROR_ACCESS_DENIED.
    static int deniedCode();

    void CreateFolder(const QString& path) override;
    std::unique_ptr<fsservice::TextStream> CreateTextFile(const QString& path, bool overwrite,
                                                          bool unicode) override;
    fsservice::Folder GetFolder(const QString& path) override;
    fsservice::Folder GetFolder(const fsservice::Folder& parent,
                                const fsservice::SubFolder& sub) override;
    QStringList ListFiles(const QString& pattern) override;

private:
    // The operation fails when its path ends in `m_pathEnd` (native separators).
    void failIf(Operation operation, const QString& path);

    Operation m_operation;
    QString m_pathEnd;
    int m_line;  // for WriteLine: the 1-based line of the stream that fails
    int m_fired = 0;
    int m_foldersRead = 0;
    friend class FaultyStream;
};
