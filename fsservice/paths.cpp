#include "paths.h"

#include <QDir>

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

#ifdef Q_OS_WIN
QString longPath(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (native.startsWith(u"\\\\?\\") || native.startsWith(u"\\\\.\\")) {
        return native;
    }
    if (native.startsWith(u"\\\\")) {
        return QStringLiteral("\\\\?\\UNC\\") + native.mid(2);
    }
    return QStringLiteral("\\\\?\\") + native;
}
#endif

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

}  // namespace fsservice
