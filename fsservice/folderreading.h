#pragma once

// The two ways RealFileSystem reads a folder. Internal to the service.

#include "filesystem.h"

namespace fsservice {

/// Reads the folder at the absolute path `path` through QDirIterator.
Folder readFolderQt(const QString& path);

#ifdef Q_OS_UNIX
/// Reads a folder with openat/readdir. With `parent` null, `native` is the
/// folder's absolute path in the file system's bytes; otherwise it is the
/// sub-folder's name, opened relative to the parent's handle. `openHandles`
/// counts the directory handles kept open across all folders of one service.
Folder readFolderPosix(const QString& path, const QByteArray& native, const Folder* parent,
                       const std::shared_ptr<int>& openHandles);
#endif

}  // namespace fsservice
