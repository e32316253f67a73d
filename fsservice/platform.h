#pragma once

// What RealFileSystem asks of the platform besides reading folders: one file
// per platform, platform_posix.cpp and platform_windows.cpp. Internal to the
// service.

#include <QString>

namespace fsservice::platform {

/// Less than 1 GiB of memory: the service then keeps fewer readers.
bool memoryIsShort();

/// Creates that one folder; its parent must exist. Throws FsError.
void createFolder(const QString& path);

/// The system's code for "the file exists", for FsError::fromSystem.
int fileExistsCode();

/// Throws FsError, with the system's reason, when the folder of `path` cannot
/// hold the file's name. A file is written unnamed (or under a temporary
/// name) and gets its own name only when complete, so without this a name
/// the folder refuses would be known only after the whole walk.
void checkFileName(const QString& path);

/// Full path of the working directory, native separators. Throws FsError when
/// the directory is gone.
QString currentDirectory();

}  // namespace fsservice::platform
