#pragma once

#include "filesystem.h"

namespace fsservice {

class LinuxFolderReader;

/// The service on the real disk.
///
/// On Linux folders are read with the system's own calls (one pass of
/// getdents64 per folder, entry types taken from it, sub-folders opened
/// relative to their parent's open directory); elsewhere, and on request,
/// through QDirIterator. Both ways give the same folders; tests run both.
class RealFileSystem final : public FileSystem {
public:
    /// Posix: the system's own calls where the service has them (Linux), Qt
    /// everywhere else.
    enum class Reading { Posix, Qt };
    static constexpr Reading kDefaultReading =
#ifdef Q_OS_LINUX
        Reading::Posix;
#else
        Reading::Qt;
#endif

    explicit RealFileSystem(Reading reading = kDefaultReading);
    ~RealFileSystem() override;
    Q_DISABLE_COPY_MOVE(RealFileSystem)

    bool FolderExists(const QString& path) override;
    bool FileExists(const QString& path) override;
    void CreateFolder(const QString& path) override;
    std::unique_ptr<TextStream> CreateTextFile(const QString& path, bool overwrite,
                                               bool unicode) override;
    Folder GetFolder(const QString& path) override;
    Folder GetFolder(const Folder& parent, const SubFolder& sub) override;
    QString CurrentDirectory() override;

    /// Absolute path of `path` with "." and ".." worked out as text, native
    /// separators, no trailing separator except at the root.
    static QString absolutePath(const QString& path);

private:
#ifdef Q_OS_LINUX
    // Null when folders are read through Qt.
    std::unique_ptr<LinuxFolderReader> m_reader;
#endif
};

}  // namespace fsservice
