#pragma once

// Reading ahead of a depth-first walk. Internal to the service.

#include "folder.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace fsservice {

/// Reads the folders a pre-order, depth-first walk will ask for next, in a few
/// threads, while the walk works on the ones it has. One folder at a time
/// waits for one round trip to the disk at a time; a disk, and far more a
/// network share, serves many at once.
///
/// Whenever a folder has been read, its sub-folders are queued right after it,
/// which is where the walk will ask for them; the readers take the earliest
/// queued folders, never more than kMaxAhead ahead of the walk. next() hands
/// out the read a reader made, or reads the folder itself when no reader has
/// started on it. A read that failed throws its error there, when the walk
/// asks, exactly as reading it then would have; reads of folders the walk
/// passed by (it leaves out links back into itself) are dropped. The walk sees
/// the same results in the same order as without reading ahead.
class ReadAhead final {
public:
    /// Reads a sub-folder that the parent's read found; called from the reader
    /// threads and from next(), so it must be safe to call from several
    /// threads at once.
    using ReadSub = std::function<Folder(const Folder& parent, const SubFolder& sub)>;

    /// At most this many folders are read or being read ahead of the walk; the
    /// readers open at most one folder each at a time.
    static constexpr std::size_t kMaxAhead = 32;

    /// `readers` threads (at least 1), started at the first start().
    ReadAhead(int readers, ReadSub readSub);
    /// Stops the readers and waits for them; whatever was read ahead goes.
    ~ReadAhead();
    Q_DISABLE_COPY_MOVE(ReadAhead)

    /// The walk starts at `root`, just read: everything read ahead for an
    /// earlier walk is dropped and the root's sub-folders are queued.
    void start(const Folder& root);
    /// The sub-folder `sub` of `parent`, as ReadSub would read it now.
    Folder next(const Folder& parent, const SubFolder& sub);

private:
    struct Entry;
    using Sequence = std::list<std::shared_ptr<Entry>>;

    void readerLoop();
    // All below run with m_mutex held.
    void queueSubFolders(Sequence::iterator before, const Folder& folder);
    void drop(Sequence::iterator from, Sequence::iterator to);
    Sequence::iterator find(const Folder& parent, const SubFolder& sub);
    Sequence::iterator firstQueued();

    const int m_readers;
    const ReadSub m_readSub;

    std::mutex m_mutex;
    std::condition_variable m_work;  // readers wait for a queued folder or room
    std::condition_variable m_read;  // next() waits for a reader to finish
    // The folders the walk will ask for, in the order it will ask; the front
    // is the next one, unless the walk passes it by.
    Sequence m_sequence;
    std::size_t m_ahead = 0;  // entries of m_sequence being read or read
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace fsservice
