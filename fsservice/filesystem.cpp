#include "filesystem.h"

#include "nameorder.h"

#include <QDir>

#include <algorithm>

namespace fsservice {
QChar separator() {
    return QDir::separator();
}

QString joinPath(QStringView folderPath, QStringView name) {
    QString path;
    path.reserve(folderPath.size() + 1 + name.size());
    path.append(folderPath);
    if (!folderPath.endsWith(separator())) {
        path.append(separator());
    }
    path.append(name);
    return path;
}

bool matchesWildcard(QStringView name, QStringView pattern) {
    // The patterns here are a handful of fixed ones ("*.mp3", "*playlist*.xml")
    // tried against every file: matching the literal pieces between the stars
    // in turn is far cheaper than compiling a regular expression per listing.
    const qsizetype firstStar = pattern.indexOf(u'*');
    if (firstStar < 0) {
        return name.compare(pattern, Qt::CaseInsensitive) == 0;
    }
    const QStringView head = pattern.left(firstStar);
    if (!name.startsWith(head, Qt::CaseInsensitive)) {
        return false;
    }
    const qsizetype lastStar = pattern.lastIndexOf(u'*');
    const QStringView tail = pattern.mid(lastStar + 1);
    if (name.size() < head.size() + tail.size() || !name.endsWith(tail, Qt::CaseInsensitive)) {
        return false;
    }
    // The pieces between the first and last star must appear in order, within
    // what head and tail leave over.
    qsizetype from = head.size();
    const qsizetype end = name.size() - tail.size();
    qsizetype piece = firstStar + 1;
    while (piece < lastStar) {
        qsizetype next = pattern.indexOf(u'*', piece);
        const QStringView literal = pattern.mid(piece, next - piece);
        if (!literal.isEmpty()) {
            const qsizetype at = name.left(end).indexOf(literal, from, Qt::CaseInsensitive);
            if (at < 0) {
                return false;
            }
            from = at + literal.size();
        }
        piece = next + 1;
    }
    return true;
}

QString File::Path() const {
    return joinPath(m_folderPath, m_name);
}

void FolderContents::addFile(QStringView name, bool hidden, bool system) {
    QChar* out = beginFile(name.size());
    std::copy(name.begin(), name.end(), out);
    endFile(out + name.size(), hidden, system);
}

QChar* FolderContents::beginFile(qsizetype units) {
    if (m_names.size() - m_namesUsed < units) {
        // Doubling keeps the copies of a growing folder's names to about as
        // many units again as it holds.
        m_names.resize(std::max(m_namesUsed + units, 2 * m_names.size()));
    }
    m_files.push_back(FileEntry{quint32(m_namesUsed), 0, 0, 0});
    return m_names.data() + m_namesUsed;
}

void FolderContents::endFile(const QChar* end, bool hidden, bool system) {
    FileEntry& entry = m_files.back();
    const qsizetype size = end - (m_names.constData() + entry.offset);
    m_namesUsed = entry.offset + size;
    entry.size = quint32(size);
    entry.hidden = hidden;
    entry.system = system;
}

void FolderContents::reserve(qsizetype units, std::size_t count) {
    if (m_names.size() - m_namesUsed < units) {
        // resize, not reserve: the room is never written before use, so it
        // costs address space only, and QString does not fill it.
        m_names.resize(m_namesUsed + units);
    }
    if (m_files.capacity() - m_files.size() < count) {
        m_files.reserve(m_files.size() + count);
    }
}

Folder::Folder(QString path, FolderContents contents, FolderId id, std::shared_ptr<void> handle)
    : m_path(std::move(path)),
      m_subFolders(std::move(contents.subFolders)),
      m_names(std::move(contents.m_names)),
      m_files(std::move(contents.m_files)),
      m_id(std::move(id)),
      m_handle(std::move(handle)) {
    m_names.truncate(contents.m_namesUsed);
    std::sort(m_subFolders.begin(), m_subFolders.end(),
              [](const SubFolder& a, const SubFolder& b) { return nameLess(a.Name, b.Name); });
    const QChar* names = m_names.constData();
    const auto nameOf = [names](const FileEntry& file) {
        return QStringView(names + file.offset, qsizetype(file.size));
    };
    std::sort(m_files.begin(), m_files.end(), [&nameOf](const FileEntry& a, const FileEntry& b) {
        return nameLess(nameOf(a), nameOf(b));
    });
}

QString Folder::Name() const {
    const qsizetype cut = m_path.lastIndexOf(separator());
    return cut < 0 ? m_path : m_path.mid(cut + 1);
}

QStringList Folder::Listing(QStringView pattern) const {
    QStringList names;
    for (const File file : Files()) {
        if (!file.isHidden() && !file.isSystem() && matchesWildcard(file.Name(), pattern)) {
            names.append(file.Name().toString());
        }
    }
    return names;
}

QString Folder::FirstListed(QStringView pattern) const {
    for (const File file : Files()) {
        if (!file.isHidden() && !file.isSystem() && matchesWildcard(file.Name(), pattern)) {
            return file.Name().toString();
        }
    }
    return {};
}

}  // namespace fsservice
