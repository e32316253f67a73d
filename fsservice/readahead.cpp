#include "readahead.h"

#include <algorithm>
#include <iterator>

namespace fsservice {

struct ReadAhead::Entry {
    std::shared_ptr<const Folder> parent;  // without its files; outlives the walk's copy
    const SubFolder* sub = nullptr;        // one of parent->SubFolders()
    bool started = false;                  // by a reader or by the walk
    bool dropped = false;                  // out of m_sequence: passed by or taken
    Read read;                             // filed: holds a folder or an error
    std::size_t entries = 0;               // of the folder read, counted in m_aheadEntries
    Sequence::iterator at;                 // its place in m_sequence while not dropped
};

ReadAhead::ReadAhead(int readers, ReadSub readSub, Clock::duration slowRead)
    : m_readers(std::max(readers, 1)), m_readSub(std::move(readSub)), m_slowRead(slowRead) {}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void ReadAhead::start(const Folder& root, Clock::duration took) {
    Sequence earlier;  // let go of after the lock, which closes their folders
    const std::lock_guard lock(m_mutex);
    earlier = drop(m_sequence.begin(), m_sequence.end());
    m_readingAhead = m_slowRead == Clock::duration::zero();
    m_slowReads = 0;
    m_quickReads = 0;
    noteRead(took, entriesOf(root));
    queue(m_sequence.end(), root);
}

Folder ReadAhead::next(const Folder& parent, const SubFolder& sub) {
    Sequence passed;  // let go of after the lock, which closes their folders
    std::unique_lock lock(m_mutex);
    // Each folder of a walk has a path of its own: the names down to it.
    const auto found = std::ranges::find_if(m_sequence, [&](const std::shared_ptr<Entry>& entry) {
        return entry->sub->Path == sub.Path && entry->parent->id() == parent.id();
    });
    if (found == m_sequence.end()) {
        // Not a folder of the walk started last.
        lock.unlock();
        return m_readSub(parent, sub);
    }
    // Everything before it the walk passed by: it walks in this order.
    passed = drop(m_sequence.begin(), found);
    const std::shared_ptr<Entry> entry = *found;
    if (!entry->started) {
        // No reader got to it: reading it here is quicker than waiting.
        entry->started = true;
        --m_queued;
        ++m_ahead;
        lock.unlock();
        Read now = read(*entry->parent, *entry->sub);
        lock.lock();
        file(*entry, now);
    }
    m_filed.wait(lock, [&entry] { return entry->read.folder || entry->read.error; });
    Read taken = std::move(entry->read);
    passed.splice(passed.end(), drop(entry->at, std::next(entry->at)));
    wake(1);  // room ahead for one more
    lock.unlock();
    if (taken.error) {
        std::rethrow_exception(taken.error);
    }
    return std::move(*taken.folder);
}

void ReadAhead::readerLoop() {
    for (;;) {
        // What no one takes any more goes with these, after the lock.
        Read now;
        std::shared_ptr<Entry> entry;
        std::unique_lock lock(m_mutex);
        m_work.wait(lock, [this] { return m_stopping || readerMayStart(); });
        if (m_stopping) {
            return;
        }
        entry =
            *std::ranges::find_if(m_sequence, [](const auto& queued) { return !queued->started; });
        entry->started = true;
        --m_queued;
        ++m_ahead;
        lock.unlock();
        now = read(*entry->parent, *entry->sub);
        lock.lock();
        file(*entry, now);
    }
}

ReadAhead::Read ReadAhead::read(const Folder& parent, const SubFolder& sub) const {
    Read result;
    const Clock::time_point begun = Clock::now();
    try {
        result.folder = m_readSub(parent, sub);
    } catch (...) {
        // Kept for the walk, which meets it where a read of its own would.
        result.error = std::current_exception();
    }
    result.took = Clock::now() - begun;
    return result;
}

void ReadAhead::file(Entry& entry, Read& read) {
    noteRead(read.took, read.folder ? entriesOf(*read.folder) : 0);
    m_filed.notify_one();
    if (entry.dropped) {
        return;
    }
    if (read.folder) {
        queue(std::next(entry.at), *read.folder);
        entry.entries = entriesOf(*read.folder);
        m_aheadEntries += entry.entries;
    }
    entry.read = std::move(read);
}

void ReadAhead::noteRead(Clock::duration took, std::size_t entries) {
    // A big folder takes long from the cache too: each entry may add a
    // hundredth of a slow read.
    if (took >= m_slowRead + entries * (m_slowRead / 100)) {
        // One slow read alone may be the walk's thread losing the processor
        // for a moment; two in a row are the disk.
        m_quickReads = 0;
        if (++m_slowReads >= kSlowReadsToStart && !m_readingAhead) {
            m_readingAhead = true;
            wake(m_queued);  // all that is queued waits to be read
        }
    } else {
        m_slowReads = 0;
        if (m_readingAhead && ++m_quickReads >= kQuickReadsToStop) {
            m_readingAhead = false;
        }
    }
}

void ReadAhead::queue(Sequence::iterator before, const Folder& folder) {
    if (folder.SubFolders().empty()) {
        return;
    }
    const auto parent = std::make_shared<const Folder>(folder.withoutFiles());
    for (const SubFolder& sub : parent->SubFolders()) {
        const auto entry = std::make_shared<Entry>();
        entry->parent = parent;
        entry->sub = &sub;
        entry->at = m_sequence.insert(before, entry);
        ++m_queued;
    }
    wake(parent->SubFolders().size());
}

std::size_t ReadAhead::entriesOf(const Folder& folder) {
    return folder.SubFolders().size() + std::size_t(std::ranges::size(folder.Files()));
}

bool ReadAhead::readerMayStart() const {
    return m_readingAhead && m_queued > 0 && m_ahead < kMaxAhead &&
           m_aheadEntries < kMaxAheadEntries;
}

void ReadAhead::wake(std::size_t folders) {
    if (!readerMayStart()) {
        return;
    }
    if (m_threads.empty()) {
        for (int i = 0; i < m_readers; ++i) {
            m_threads.emplace_back([this] { readerLoop(); });
        }
    }
    // Readers with nothing to do would take the processor from the walk.
    const std::size_t readers = std::min({folders, kMaxAhead - m_ahead, std::size_t(m_readers)});
    for (std::size_t i = 0; i < readers; ++i) {
        m_work.notify_one();
    }
}

ReadAhead::Sequence ReadAhead::drop(Sequence::iterator from, Sequence::iterator to) {
    for (const std::shared_ptr<Entry>& entry : std::ranges::subrange(from, to)) {
        entry->dropped = true;
        if (entry->started) {
            --m_ahead;
            m_aheadEntries -= entry->entries;
        } else {
            --m_queued;
        }
    }
    Sequence dropped;
    dropped.splice(dropped.end(), m_sequence, from, to);
    return dropped;
}

}  // namespace fsservice
