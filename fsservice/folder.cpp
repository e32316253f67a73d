#include "folder.h"

#include "folderreading.h"
#include "nameorder.h"
#include "paths.h"

#include <algorithm>
#include <functional>
#include <numeric>

namespace fsservice {
namespace {

bool listed(const File& file, QStringView pattern) {
    return !file.isHidden() && !file.isSystem() && matchesWildcard(file.Name(), pattern);
}

}  // namespace

QString File::Path() const {
    return joinPath(m_folderPath, m_name);
}

void FolderContents::addFile(QStringView name, bool hidden, bool system) {
    files.push_back(FileEntry{quint32(names.size()), quint32(name.size()), hidden, system});
    names.append(name);
}

void FolderContents::reserve(qsizetype units, std::size_t count) {
    if (names.capacity() - names.size() < units) {
        names.reserve(names.size() + units);
    }
    if (files.capacity() - files.size() < count) {
        files.reserve(files.size() + count);
    }
}

void FolderContents::sortByName() {
    // Merge sort compares fewer times than introsort, and comparing names is
    // what sorting a big folder costs (the wide folder in bench/run).
    //
    // The notes follow their sub-folders: sort the places, then take both in
    // that order.
    std::vector<std::size_t> order(subFolders.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return nameLess(subFolders[a].Name, subFolders[b].Name);
    });
    std::vector<SubFolder> sortedFolders;
    std::vector<SubFolderNote> sortedNotes;
    sortedFolders.reserve(order.size());
    sortedNotes.reserve(notes.size());
    for (const std::size_t at : order) {
        sortedFolders.push_back(std::move(subFolders[at]));
        if (!notes.empty()) {
            sortedNotes.push_back(std::move(notes[at]));
        }
    }
    subFolders = std::move(sortedFolders);
    notes = std::move(sortedNotes);

    const QChar* text = names.constData();
    const auto nameOf = [text](const FileEntry& file) {
        return QStringView(text + file.offset, qsizetype(file.size));
    };
    std::stable_sort(files.begin(), files.end(), [&nameOf](const FileEntry& a, const FileEntry& b) {
        return nameLess(nameOf(a), nameOf(b));
    });
}

FolderHandle::~FolderHandle() {
#ifdef Q_OS_LINUX
    release();
#endif
}

const SubFolderNote* FolderHandle::noteOf(const Folder& folder, const SubFolder& sub) {
    const FolderHandle* const handle = folder.handle();
    const std::vector<SubFolder>& siblings = folder.SubFolders();
    const std::less<const SubFolder*> before;
    if (!handle || handle->notes.size() != siblings.size() || before(&sub, siblings.data()) ||
        !before(&sub, siblings.data() + siblings.size())) {
        return nullptr;
    }
    return &handle->notes[std::size_t(&sub - siblings.data())];
}

Folder::Folder(QString path, FolderContents contents, FolderId id,
               std::shared_ptr<FolderHandle> handle)
    : m_path(std::move(path)),
      m_subFolders(std::move(contents.subFolders)),
      m_names(std::move(contents.names)),
      m_files(std::move(contents.files)),
      m_id(std::move(id)),
      m_handle(std::move(handle)) {}

Folder Folder::withoutFiles() const {
    FolderContents contents;
    contents.subFolders = m_subFolders;
    return Folder(m_path, std::move(contents), m_id, m_handle);
}

QString Folder::Name() const {
    const qsizetype cut = m_path.lastIndexOf(separator());
    return cut < 0 ? m_path : m_path.mid(cut + 1);
}

QStringList Folder::Listing(QStringView pattern) const {
    QStringList names;
    for (const File file : Files()) {
        if (listed(file, pattern)) {
            names.append(file.Name().toString());
        }
    }
    return names;
}

QString Folder::FirstListed(QStringView pattern) const {
    for (const File file : Files()) {
        if (listed(file, pattern)) {
            return file.Name().toString();
        }
    }
    return {};
}

}  // namespace fsservice
