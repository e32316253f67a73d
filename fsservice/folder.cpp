#include "folder.h"

#include "folderreading.h"
#include "nameorder.h"
#include "paths.h"

#include <algorithm>

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
    if (files.size() == kBigFolderAfter) {
        files.reserve(std::size_t(1) << 18);
        names.reserve(qsizetype(1) << 22);
    }
    files.push_back(FileEntry{quint32(names.size()), quint32(name.size()), hidden, system});
    names.append(name);
}

void FolderContents::sortByName() {
    // Merge sort compares fewer times than introsort, and comparing names is
    // what sorting a big folder costs (the wide folder in bench/run).
    std::stable_sort(
        subFolders.begin(), subFolders.end(),
        [](const SubFolder& a, const SubFolder& b) { return nameLess(a.Name, b.Name); });

    const QChar* text = names.constData();
    const auto nameOf = [text](const FileEntry& file) {
        return QStringView(text + file.offset, qsizetype(file.size));
    };
    std::stable_sort(files.begin(), files.end(), [&nameOf](const FileEntry& a, const FileEntry& b) {
        return nameLess(nameOf(a), nameOf(b));
    });
}

Folder FolderContents::finish(QString path, FolderId id, std::shared_ptr<FolderHandle> handle) {
    sortByName();
    return Folder(std::move(path), std::move(*this), std::move(id), std::move(handle));
}

QByteArray childIdPath(const Folder& parent, const SubFolder& sub) {
    QByteArray id = parent.id().path;
    if (sub.link || id.isEmpty()) {
        return {};
    }
    const char separatorByte = char(separator().unicode());
    if (!id.endsWith(separatorByte)) {
        id += separatorByte;
    }
    return id + sub.Name.toUtf8();
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
