#include "filesystem.h"

#include "nameorder.h"

#include <QDir>

#include <algorithm>

namespace fsservice {

QChar separator() {
    return QDir::separator();
}

QString joinPath(const QString& folderPath, QStringView name) {
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

File::File(QString folderPath, QString name, bool hidden, bool system)
    : m_folderPath(std::move(folderPath)),
      m_name(std::move(name)),
      m_hidden(hidden),
      m_system(system) {}

QString File::Path() const {
    return joinPath(m_folderPath, m_name);
}

Folder::Folder(QString path, std::vector<SubFolder> subFolders, std::vector<File> files,
               FolderId id, std::shared_ptr<void> handle)
    : m_path(std::move(path)),
      m_subFolders(std::move(subFolders)),
      m_files(std::move(files)),
      m_id(std::move(id)),
      m_handle(std::move(handle)) {
    std::sort(m_subFolders.begin(), m_subFolders.end(),
              [](const SubFolder& a, const SubFolder& b) { return nameLess(a.Name, b.Name); });
    std::sort(m_files.begin(), m_files.end(),
              [](const File& a, const File& b) { return nameLess(a.Name(), b.Name()); });
}

QString Folder::Name() const {
    const qsizetype cut = m_path.lastIndexOf(separator());
    return cut < 0 ? m_path : m_path.mid(cut + 1);
}

QStringList Folder::Listing(QStringView pattern) const {
    QStringList names;
    for (const File& file : m_files) {
        if (!file.isHidden() && !file.isSystem() && matchesWildcard(file.Name(), pattern)) {
            names.append(file.Name());
        }
    }
    return names;
}

QString Folder::FirstListed(QStringView pattern) const {
    for (const File& file : m_files) {
        if (!file.isHidden() && !file.isSystem() && matchesWildcard(file.Name(), pattern)) {
            return file.Name();
        }
    }
    return {};
}

}  // namespace fsservice
