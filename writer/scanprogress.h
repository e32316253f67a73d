#pragma once

#include <QString>

#include <atomic>
#include <mutex>

namespace writer {

/// Thrown out of the walk when the user asked to stop it. Not a failure: the
/// run ends without a message, and the earlier files stay as they were.
class ScanCancelled final {};

/// How far the walk has got, shared by the thread that walks and the window's
/// thread, which shows it and may ask the walk to stop. Every member may be
/// called from any thread at any time.
class ScanProgress final {
public:
    struct Snapshot {
        int foldersRead = 0;
        int albums = 0;
        QString folder;  ///< the folder being read now, as the document names it
    };

    /// What the window shows.
    Snapshot snapshot() const;

    /// Asks the walk to stop before the next folder it reads. Once the
    /// document is in place nothing is stopped any more: the index is written
    /// and the run ends as any other.
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const { return m_cancelled.load(std::memory_order_relaxed); }

    // The walk's side.

    /// The walk is about to read the folder at `path`. Throws ScanCancelled
    /// when the user has asked to stop.
    void enterFolder(const QString& path);
    /// The folder entered last has been read.
    void folderRead() { m_foldersRead.fetch_add(1, std::memory_order_relaxed); }
    /// One more album is in the document.
    void albumWritten() { m_albums.fetch_add(1, std::memory_order_relaxed); }
    /// Throws ScanCancelled when the user has asked to stop.
    void throwIfCancelled() const;

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_foldersRead{0};
    std::atomic<int> m_albums{0};
    mutable std::mutex m_folderLock;
    QString m_folder;
};

}  // namespace writer
