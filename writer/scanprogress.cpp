#include "scanprogress.h"

namespace writer {

ScanProgress::Snapshot ScanProgress::snapshot() const {
    Snapshot now;
    now.foldersRead = m_foldersRead.load(std::memory_order_relaxed);
    now.albums = m_albums.load(std::memory_order_relaxed);
    const std::lock_guard lock(m_folderLock);
    now.folder = m_folder;
    return now;
}

void ScanProgress::enterFolder(const QString& path) {
    throwIfCancelled();
    const std::lock_guard lock(m_folderLock);
    m_folder = path;
}

void ScanProgress::throwIfCancelled() const {
    if (cancelRequested()) {
        throw ScanCancelled();
    }
}

}  // namespace writer
