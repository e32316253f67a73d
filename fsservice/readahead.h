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
/// threads, while the walk works on the ones it has: a disk, and far more a
/// network share, serves many reads at once.
///
/// The sub-folders of every folder read are queued right after it, which is
/// where the walk will ask for them. While reads are slow, readers take the
/// earliest queued folder; next() hands out what a reader read, or reads the
/// folder itself when no reader has started on it. A read that failed throws
/// there, as reading the folder then would have, and the folders the walk
/// passes by (links back into itself) are dropped: the walk sees the same
/// results in the same order as without reading ahead.
///
/// One mutex guards the sequence; reads run outside it.
class ReadAhead final {
public:
    /// Reads a sub-folder of a folder read; called from several threads at once.
    using ReadSub = std::function<Folder(const Folder& parent, const SubFolder& sub)>;
    using Clock = std::chrono::steady_clock;

    /// At most this many folders are read or being read ahead of the walk, and
    /// no reader starts on one while those hold this many entries (some 5 MiB
    /// of names).
    static constexpr std::size_t kMaxAhead = 128;
    static constexpr std::size_t kMaxAheadEntries = 65536;
    /// This many reads in a row that take `slowRead` or longer (and a
    /// hundredth of it more for each entry) start the readers; this many
    /// quicker ones in a row stop them.
    static constexpr int kSlowReadsToStart = 2;
    static constexpr int kQuickReadsToStop = 1024;

    /// `readers` threads (at least 1), started when reads first turn slow.
    /// `slowRead` zero: every read is slow.
    ReadAhead(int readers, ReadSub readSub, Clock::duration slowRead);
    /// Stops the readers and waits for them. Each reader reads one folder at a
    /// time and finishes it first, so on a slow network share this takes as
    /// long as the slowest single folder read under way.
    ~ReadAhead();
    Q_DISABLE_COPY_MOVE(ReadAhead)

    /// A walk starts at `root`, just read in `took`; an earlier one is over.
    void start(const Folder& root, Clock::duration took);
    /// The sub-folder `sub` of `parent`, as ReadSub would read it now.
    Folder next(const Folder& parent, const SubFolder& sub);

private:
    struct Entry;
    using Sequence = std::list<std::shared_ptr<Entry>>;
    struct Read {
        std::optional<Folder> folder;
        std::exception_ptr error;
        Clock::duration took{};
    };

    void readerLoop();
    Read read(const Folder& parent, const SubFolder& sub) const;
    // All below run with m_mutex held.
    /// Files `read` for `entry`; what no one takes stays in `read`.
    void file(Entry& entry, Read& read);
    /// Starts or stops the readers by how long a read of `entries` took.
    void noteRead(Clock::duration took, std::size_t entries);
    /// Queues `folder`'s sub-folders before `before`; wakes a reader for each.
    void queue(Sequence::iterator before, const Folder& folder);
    /// Wakes a reader for each of `folders`, while readers may start.
    void wake(std::size_t folders);
    bool readerMayStart() const;
    static std::size_t entriesOf(const Folder& folder);
    /// Takes these folders out of the sequence, to be let go of after the lock.
    Sequence drop(Sequence::iterator from, Sequence::iterator to);

    const int m_readers;
    const ReadSub m_readSub;
    const Clock::duration m_slowRead;

    std::mutex m_mutex;
    std::condition_variable m_work;   // readers: a folder queued, room ahead, or the end
    std::condition_variable m_filed;  // the walk: a read filed
    // The folders the walk will ask for, in the order it will ask.
    Sequence m_sequence;
    std::size_t m_queued = 0;        // of m_sequence, not yet started on
    std::size_t m_ahead = 0;         // of m_sequence, being read or read
    std::size_t m_aheadEntries = 0;  // of the folders read ahead
    bool m_readingAhead = false;
    int m_slowReads = 0;   // in a row
    int m_quickReads = 0;  // in a row, while reading ahead
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace fsservice
