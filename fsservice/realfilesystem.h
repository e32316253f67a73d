#pragma once

#include "filesystem.h"

#include <chrono>

namespace fsservice {

class FolderReader;
class ReadAhead;

/// The service on the real disk.
///
/// On Linux folders are read with the system's own calls (one pass of
/// getdents64 per folder, entry types taken from it, sub-folders opened
/// relative to their parent's open directory), on Windows with theirs (one
/// pass of FindFirstFileExW per folder); elsewhere, and on request, through
/// QDirIterator. Both ways give the same folders; tests run both.
///
/// Either way, with more than one reader the service reads ahead of the walk
/// while reads are slow: once the walk has asked for a folder, the sub-folders
/// it will ask for next are read in that many threads (see ReadAhead). The walk gets the same
/// folders and failures, in the same order, as when it reads one at a time.
class RealFileSystem final : public FileSystem {
public:
    /// Native: the system's own calls where the service has them (Linux and
    /// Windows), Qt everywhere else.
    enum class Reading { Native, Qt };
    static constexpr Reading kDefaultReading = Reading::Native;

    /// How many readers read ahead by default: 16, so that a disk, or a
    /// network share, has that many folders to fetch at once; 2 on a machine
    /// with little memory.
    static int defaultReaders();

    /// A folder read that takes this long did not come from the cache, and
    /// starts the reading ahead: a cached folder of a few hundred entries
    /// reads in a tenth of it, one disk round trip takes about this long on a
    /// fast SSD and many times it on a disk or a network share. While reads
    /// are quicker the walk reads each folder itself, for handing folders
    /// between threads would cost it more than the reads.
    static constexpr std::chrono::microseconds kSlowRead{100};

    /// `readers` 1: every folder is read when the walk asks for it, in the
    /// walk's thread. `slowRead` zero: read ahead from the first folder on,
    /// however quick the reads.
    explicit RealFileSystem(Reading reading = kDefaultReading, int readers = defaultReaders(),
                            std::chrono::microseconds slowRead = kSlowRead);
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
    std::unique_ptr<FolderReader> m_reader;
    // Null with one reader. Declared last: its threads use the reader above,
    // so it stops them before that goes.
    std::unique_ptr<ReadAhead> m_readAhead;
};

}  // namespace fsservice
