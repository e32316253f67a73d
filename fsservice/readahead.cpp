#include "readahead.h"

#include <algorithm>
#include <iterator>

namespace fsservice {

struct ReadAhead::Entry {
    enum class State { Queued, Reading, Read };

    // The parent's read, without its files: the walk may let go of its own copy
    // while a reader still reads a sub-folder of it.
    std::shared_ptr<const Folder> parent;
    std::size_t index = 0;  // in parent->SubFolders()
    State state = State::Queued;
    // Taken out of m_sequence: the walk passed it by, or took it. A reader
    // still reading it throws its read away.
    bool dropped = false;
    Read read;
    std::size_t entries = 0;  // of the folder read, counted in m_aheadEntries
    Sequence::iterator at;    // its place in m_sequence while not dropped

    const SubFolder& sub() const { return parent->SubFolders()[index]; }
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
    Sequence earlier;
    const std::lock_guard lock(m_mutex);
    earlier = drop(m_sequence.begin(), m_sequence.end());
    m_readingAhead = m_slowRead == Clock::duration::zero();
    m_quickReads = 0;
    m_slowReads = 0;
    noteRead(took, &root);
    if (m_readingAhead) {
        wake(queueSubFolders(m_sequence.end(), root, 0));
    }
}

Folder ReadAhead::next(const Folder& parent, const SubFolder& sub) {
    Sequence passed;  // let go of after the lock, which closes their folders
    std::unique_lock lock(m_mutex);
    const Sequence::iterator found = find(parent, sub);
    if (found == m_sequence.end()) {
        // Not queued: read while reads were quick. Read it now, and read ahead
        // from there if that was slow.
        lock.unlock();
        Read now = read(parent, sub);
        lock.lock();
        const bool wasReadingAhead = m_readingAhead;
        noteRead(now.took, now.folder ? &*now.folder : nullptr);
        if (now.folder && m_readingAhead) {
            const Sequence::iterator rest = m_sequence.begin();
            std::size_t queued = queueSubFolders(rest, *now.folder, 0);
            if (!wasReadingAhead) {
                // The siblings still to come are as far from the cache, and
                // the walk asks for them once it is through with this folder.
                const std::vector<SubFolder>& siblings = parent.SubFolders();
                const auto at = std::ranges::find(siblings, sub.Path, &SubFolder::Path);
                if (at != siblings.end()) {
                    queued += queueSubFolders(rest, parent, std::size_t(at - siblings.begin()) + 1);
                }
            }
            wake(queued);
        }
        lock.unlock();
        if (now.error) {
            std::rethrow_exception(now.error);
        }
        return std::move(*now.folder);
    }

    // Everything before it the walk passed by: it walks in this order.
    passed = drop(m_sequence.begin(), found);
    const std::shared_ptr<Entry> entry = *found;
    if (entry->state == Entry::State::Queued) {
        // No reader got to it yet: reading it here is quicker than waiting.
        entry->state = Entry::State::Reading;
        --m_queued;
        ++m_ahead;
        lock.unlock();
        Read now = read(*entry->parent, entry->sub());
        lock.lock();
        file(*entry, now);
    }
    m_filed.wait(lock, [&entry] { return entry->state == Entry::State::Read; });

    Read taken = std::move(entry->read);
    passed.splice(passed.end(), drop(entry->at, std::next(entry->at)));
    lock.unlock();
    if (taken.error) {
        std::rethrow_exception(taken.error);
    }
    return std::move(*taken.folder);
}

void ReadAhead::readerLoop() {
    for (;;) {
        // What no one takes any more goes with this, after the lock.
        Read now;
        std::unique_lock lock(m_mutex);
        m_work.wait(lock, [this] { return m_stopping || readerMayStart(); });
        if (m_stopping) {
            return;
        }
        const auto queued = std::ranges::find(m_sequence, Entry::State::Queued,
                                              [](const auto& entry) { return entry->state; });
        const std::shared_ptr<Entry> entry = *queued;
        entry->state = Entry::State::Reading;
        --m_queued;
        ++m_ahead;
        lock.unlock();
        now = read(*entry->parent, entry->sub());
        lock.lock();
        file(*entry, now);
        m_filed.notify_one();
    }
}

bool ReadAhead::readerMayStart() const {
    return m_readingAhead && m_queued > 0 && m_ahead < kMaxAhead &&
           m_aheadEntries < kMaxAheadEntries;
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
    noteRead(read.took, read.folder ? &*read.folder : nullptr);
    entry.state = Entry::State::Read;
    if (entry.dropped) {
        return;
    }
    if (read.folder) {
        if (m_readingAhead) {
            // The reader that read it goes on with the first of these itself.
            const std::size_t queued = queueSubFolders(std::next(entry.at), *read.folder, 0);
            wake(queued == 0 ? 0 : queued - 1);
        }
        entry.entries = entriesOf(*read.folder);
        m_aheadEntries += entry.entries;
    }
    entry.read = std::move(read);
}

void ReadAhead::noteRead(Clock::duration took, const Folder* folder) {
    // A big folder takes long from the cache too: each entry may add a
    // hundredth of a slow read.
    const std::size_t entries = folder ? entriesOf(*folder) : 0;
    if (took >= m_slowRead + entries * (m_slowRead / 100)) {
        // One slow read alone may be the walk's thread losing the processor
        // for a moment; two in a row are the disk.
        m_quickReads = 0;
        if (++m_slowReads >= kSlowReadsToStart) {
            m_readingAhead = true;
        }
    } else {
        m_slowReads = 0;
        if (m_readingAhead && ++m_quickReads >= kQuickReadsToStop) {
            m_readingAhead = false;
        }
    }
}

std::size_t ReadAhead::queueSubFolders(Sequence::iterator before, const Folder& folder,
                                       std::size_t from) {
    const std::size_t count = folder.SubFolders().size();
    if (from >= count) {
        return 0;
    }
    const auto parent = std::make_shared<const Folder>(folder.withoutFiles());
    for (std::size_t index = from; index < count; ++index) {
        auto entry = std::make_shared<Entry>();
        entry->parent = parent;
        entry->index = index;
        entry->at = m_sequence.insert(before, entry);
    }
    m_queued += count - from;
    return count - from;
}

void ReadAhead::wake(std::size_t folders) {
    // One reader for each folder it may take now: the others would only find
    // nothing to do, and on a machine with few cores take the time from the
    // walk.
    const std::size_t readers = std::min(folders, std::size_t(m_readers));
    if (readers > 0 && m_threads.empty()) {
        m_threads.reserve(std::size_t(m_readers));
        for (int i = 0; i < m_readers; ++i) {
            m_threads.emplace_back([this] { readerLoop(); });
        }
    }
    for (std::size_t i = 0; i < readers; ++i) {
        m_work.notify_one();
    }
}

ReadAhead::Sequence ReadAhead::drop(Sequence::iterator from, Sequence::iterator to) {
    for (Sequence::iterator it = from; it != to; ++it) {
        Entry& entry = **it;
        entry.dropped = true;
        if (entry.state == Entry::State::Queued) {
            --m_queued;
        } else {
            --m_ahead;
            m_aheadEntries -= entry.entries;
        }
    }
    Sequence dropped;
    dropped.splice(dropped.end(), m_sequence, from, to);
    if (from != to) {
        // Room ahead for as many more reads.
        m_work.notify_one();
    }
    return dropped;
}

ReadAhead::Sequence::iterator ReadAhead::find(const Folder& parent, const SubFolder& sub) {
    // Each folder of a walk has a path of its own: the names down to it.
    return std::ranges::find_if(m_sequence, [&](const std::shared_ptr<Entry>& entry) {
        return entry->sub().Path == sub.Path && entry->parent->id() == parent.id();
    });
}

std::size_t ReadAhead::entriesOf(const Folder& folder) {
    return folder.SubFolders().size() + std::size_t(std::ranges::size(folder.Files()));
}

}  // namespace fsservice
