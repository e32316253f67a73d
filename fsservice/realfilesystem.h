#pragma once

#include "filesystem.h"

namespace fsservice {

/// The service on the real disk.
///
/// Folders are read with POSIX calls where the platform has them (one read of
/// the directory, entry types taken from it, sub-folders opened relative to
/// their parent's open handle) and through QDirIterator elsewhere. Both ways
/// give the same folders; tests run both.
class RealFileSystem final : public FileSystem {
public:
    enum class Reading { Posix, Qt };
    static constexpr Reading kDefaultReading =
#ifdef Q_OS_UNIX
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
    QStringList ListFiles(const QString& pattern) override;
    QString CurrentDirectory() override;

    /// Absolute path of `path` with "." and ".." worked out as text, native
    /// separators, no trailing separator except at the root.
    static QString absolutePath(const QString& path);

private:
    Reading m_reading;
    // Open directory handles kept for opening sub-folders relative to them;
    // shared with the handles' deleters, which count down.
    std::shared_ptr<int> m_openHandles;
};

}  // namespace fsservice
