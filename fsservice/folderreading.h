#pragma once

// The two ways RealFileSystem reads a folder. Internal to the service.

#include "filesystem.h"

#include <memory>

namespace fsservice {

/// Reads the folder at the absolute path `path` through QDirIterator.
Folder readFolderQt(const QString& path);

#ifdef Q_OS_LINUX
/// Reads folders with the system's own calls: one open, one pass of getdents64
/// (entry types come with the names) and one close per folder, sub-folders
/// opened relative to their parent's handle. Throws FsError.
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
    Folder readOpen(int fd, const QString& path, QByteArray nativePath, const FolderId* seen);

    // Directory handles kept open across all folders this reader gave out;
    // shared with the handles' deleters, which count down.
    std::shared_ptr<int> m_openHandles;
    std::unique_ptr<char[]> m_buffer;  // getdents64 reads into it; reused
};
#endif

}  // namespace fsservice
