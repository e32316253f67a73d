#include "readahead.h"

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
    std::optional<Folder> folder;
    std::exception_ptr error;
    Sequence::iterator at;  // its place in m_sequence while not dropped

    const SubFolder& sub() const { return parent->SubFolders()[index]; }
};

ReadAhead::ReadAhead(int readers, ReadSub readSub)
    : m_readers(readers < 1 ? 1 : readers), m_readSub(std::move(readSub)) {}

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

void ReadAhead::start(const Folder& root) {
    const std::lock_guard lock(m_mutex);
    drop(m_sequence.begin(), m_sequence.end());
    queueSubFolders(m_sequence.end(), root);
    if (m_threads.empty()) {
        m_threads.reserve(std::size_t(m_readers));
        for (int i = 0; i < m_readers; ++i) {
            m_threads.emplace_back([this] { readerLoop(); });
        }
    }
    m_work.notify_all();
}

Folder ReadAhead::next(const Folder& parent, const SubFolder& sub) {
    std::unique_lock lock(m_mutex);
    const Sequence::iterator found = find(parent, sub);
    if (found == m_sequence.end()) {
        // Not one the walk was expected to ask for (a folder some other way
        // produced): read it now, and read on from there.
        lock.unlock();
        Folder folder = m_readSub(parent, sub);
        lock.lock();
        queueSubFolders(m_sequence.begin(), folder);
        m_work.notify_all();
        return folder;
    }
    // Everything before it the walk passed by: it walks in this order.
    drop(m_sequence.begin(), found);
    const std::shared_ptr<Entry> entry = *found;
    if (entry->state == Entry::State::Queued) {
        // No reader got to it yet: reading it here is quicker than waiting.
        entry->state = Entry::State::Reading;
        ++m_ahead;
        std::optional<Folder> folder;
        std::exception_ptr error;
        lock.unlock();
        try {
            folder = m_readSub(*entry->parent, entry->sub());
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        entry->state = Entry::State::Read;
        if (folder) {
            queueSubFolders(std::next(entry->at), *folder);
        }
        entry->folder = std::move(folder);
        entry->error = error;
    }
    m_read.wait(lock, [&entry] { return entry->state == Entry::State::Read; });

    std::optional<Folder> folder = std::move(entry->folder);
    const std::exception_ptr error = entry->error;
    m_sequence.erase(entry->at);
    entry->dropped = true;
    --m_ahead;
    lock.unlock();
    m_work.notify_all();
    if (error) {
        std::rethrow_exception(error);
    }
    return std::move(*folder);
}

void ReadAhead::readerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        Sequence::iterator queued;
        m_work.wait(lock, [this, &queued] {
            if (m_stopping) {
                return true;
            }
            queued = firstQueued();
            return m_ahead < kMaxAhead && queued != m_sequence.end();
        });
        if (m_stopping) {
            return;
        }
        const std::shared_ptr<Entry> entry = *queued;
        entry->state = Entry::State::Reading;
        ++m_ahead;
        std::optional<Folder> folder;
        std::exception_ptr error;
        lock.unlock();
        try {
            folder = m_readSub(*entry->parent, entry->sub());
        } catch (...) {
            // Kept for the walk, which meets it where a read of its own would.
            error = std::current_exception();
        }
        lock.lock();
        entry->state = Entry::State::Read;
        if (!entry->dropped) {
            if (folder) {
                queueSubFolders(std::next(entry->at), *folder);
            }
            entry->folder = std::move(folder);
            entry->error = error;
        } else if (folder) {
            // Its open directory is closed outside the lock.
            lock.unlock();
            folder.reset();
            lock.lock();
        }
        m_read.notify_all();
    }
}

void ReadAhead::queueSubFolders(Sequence::iterator before, const Folder& folder) {
    const std::size_t count = folder.SubFolders().size();
    if (count == 0) {
        return;
    }
    const auto parent = std::make_shared<const Folder>(folder.withoutFiles());
    for (std::size_t index = 0; index < count; ++index) {
        auto entry = std::make_shared<Entry>();
        entry->parent = parent;
        entry->index = index;
        entry->at = m_sequence.insert(before, entry);
    }
}

void ReadAhead::drop(Sequence::iterator from, Sequence::iterator to) {
    for (Sequence::iterator it = from; it != to; ++it) {
        Entry& entry = **it;
        entry.dropped = true;
        if (entry.state != Entry::State::Queued) {
            --m_ahead;
        }
    }
    m_sequence.erase(from, to);
}

ReadAhead::Sequence::iterator ReadAhead::find(const Folder& parent, const SubFolder& sub) {
    // The walk's copy of the parent and the one kept here are two objects; the
    // sub-folder is known by its place among its siblings, and the parent by
    // its path and id.
    const std::vector<SubFolder>& siblings = parent.SubFolders();
    const std::less<const SubFolder*> before;
    if (siblings.empty() || before(&sub, siblings.data()) ||
        !before(&sub, siblings.data() + siblings.size())) {
        return m_sequence.end();
    }
    const auto index = std::size_t(&sub - siblings.data());
    for (auto it = m_sequence.begin(); it != m_sequence.end(); ++it) {
        const Entry& entry = **it;
        if (entry.index == index && entry.sub().Path == sub.Path &&
            entry.parent->SubFolders().size() == siblings.size() &&
            entry.parent->Path() == parent.Path() && entry.parent->id() == parent.id()) {
            return it;
        }
    }
    return m_sequence.end();
}

ReadAhead::Sequence::iterator ReadAhead::firstQueued() {
    for (auto it = m_sequence.begin(); it != m_sequence.end(); ++it) {
        if ((*it)->state == Entry::State::Queued) {
            return it;
        }
    }
    return m_sequence.end();
}

}  // namespace fsservice
