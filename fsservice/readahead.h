#pragma once

// Reading ahead of a depth-first walk. Internal to the service.

#include "folder.h"

#include <chrono>
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
/// Only while reads are slow: as long as folders come from the cache, the walk
/// reads each one itself when it asks. kSlowReadsToStart reads in a row that
/// take `slowRead` or longer (and a hundredth of it more for each entry) start
/// the reading ahead; kQuickReadsToStop quicker ones in a row stop it.
///
/// While it reads ahead, the sub-folders of every folder read are queued right
/// after it, which is where the walk will ask for them; the readers take the
/// earliest queued folder, never more than kMaxAhead ahead of the walk. next()
/// hands out the read a reader made, or reads the folder itself when no reader
/// has started on it. A read that failed throws its error there, when the walk
/// asks, exactly as reading it then would have; reads of folders the walk
/// passed by (it leaves out links back into itself) are dropped. So the walk
/// sees the same results in the same order as without reading ahead.
///
/// One mutex guards the queue; the reads themselves run outside it. Readers
/// wait on one condition (something to read, or the end), the walk on the
/// other (a read filed).
class ReadAhead final {
public:
    /// Reads a sub-folder that the parent's read found; called from the reader
    /// threads and from next(), so it must be safe to call from several
    /// threads at once.
    using ReadSub = std::function<Folder(const Folder& parent, const SubFolder& sub)>;

    /// At most this many folders are read or being read ahead of the walk, and
    /// no reader starts on one while the folders read ahead hold this many
    /// entries (some 5 MiB of names); a reader opens one folder at a time.
    static constexpr std::size_t kMaxAhead = 128;
    static constexpr std::size_t kMaxAheadEntries = 65536;

    using Clock = std::chrono::steady_clock;

    static constexpr int kSlowReadsToStart = 2;
    static constexpr int kQuickReadsToStop = 1024;

    /// `readers` threads (at least 1), started when there is first something
    /// to read ahead; reads that take `slowRead` or longer start reading
    /// ahead (zero: every read does).
    ReadAhead(int readers, ReadSub readSub, Clock::duration slowRead);
    /// Stops the readers and waits for them; whatever was read ahead goes. A
    /// reader in the middle of a read finishes it first, so on a slow network
    /// share this takes as long as the slowest single folder read under way:
    /// each reader reads one folder at a time, all at once.
    ~ReadAhead();
    Q_DISABLE_COPY_MOVE(ReadAhead)

    /// The walk starts at `root`, just read in `took`: everything read ahead
    /// for an earlier walk is dropped, and the root's sub-folders are queued
    /// if that read was slow.
    void start(const Folder& root, Clock::duration took);
    /// The sub-folder `sub` of `parent`, as ReadSub would read it now.
    Folder next(const Folder& parent, const SubFolder& sub);

private:
    struct Entry;
    using Sequence = std::list<std::shared_ptr<Entry>>;
    /// What one read gave.
    struct Read {
        std::optional<Folder> folder;
        std::exception_ptr error;
        Clock::duration took{};
    };

    void readerLoop();
    Read read(const Folder& parent, const SubFolder& sub) const;
    // All below run with m_mutex held.
    /// Files `read` for `entry` and queues what it found; what no one will
    /// take stays in `read`, to be let go of once the lock is released.
    void file(Entry& entry, Read& read);
    /// Starts or stops the reading ahead by the time the read of `folder`
    /// (null: a read that failed) took.
    void noteRead(Clock::duration took, const Folder* folder);
    /// Queues `folder`'s sub-folders from the `from`th on before `before`;
    /// returns how many.
    std::size_t queueSubFolders(Sequence::iterator before, const Folder& folder, std::size_t from);
    /// Wakes as many readers as there are `folders` for them to read, starting
    /// the threads the first time.
    void wake(std::size_t folders);
    /// Takes the folders from `from` to `to` out of the sequence; gives them
    /// back to be let go of once the lock is released.
    Sequence drop(Sequence::iterator from, Sequence::iterator to);
    Sequence::iterator find(const Folder& parent, const SubFolder& sub);
    bool readerMayStart() const;
    /// How many files and sub-folders `folder` holds.
    static std::size_t entriesOf(const Folder& folder);

    const int m_readers;
    const ReadSub m_readSub;
    const Clock::duration m_slowRead;

    std::mutex m_mutex;
    std::condition_variable m_work;   // readers: a folder queued, room ahead, or the end
    std::condition_variable m_filed;  // the walk: a read filed
    // The folders the walk will ask for, in the order it will ask; the front
    // is the next one, unless the walk passes it by.
    Sequence m_sequence;
    std::size_t m_queued = 0;        // entries of m_sequence no one reads yet
    std::size_t m_ahead = 0;         // entries of m_sequence being read or read
    std::size_t m_aheadEntries = 0;  // of the folders read ahead
    bool m_readingAhead = false;
    int m_slowReads = 0;   // in a row
    int m_quickReads = 0;  // in a row, while reading ahead
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace fsservice
