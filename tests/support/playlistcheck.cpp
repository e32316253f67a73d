#include "playlistcheck.h"

#include "playlistxml.h"
#include "treemodel.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAt(int dirFd, const char* name) {
    QByteArray bytes;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return bytes;
    }
    char block[65536];
    ssize_t got;
    while ((got = ::read(fd, block, sizeof block)) > 0) {
        bytes.append(block, got);
    }
    ::close(fd);
    return bytes;
}

// Splits text into lines that each end in CR LF; an empty text when a line
// ends otherwise or a lone CR or LF stands in a line.
QString linesProblem(const QString& text, const QStringList& head, const QString& last,
                     QStringList* lines) {
    if (!text.endsWith(QStringLiteral("\r\n"))) {
        return QStringLiteral("the last line does not end in CR LF");
    }
    *lines = text.chopped(2).split(QStringLiteral("\r\n"));
    for (const QString& line : *lines) {
        if (line.contains(u'\r') || line.contains(u'\n')) {
            return QStringLiteral("a lone CR or LF in: ") + line;
        }
    }
    if (lines->size() < head.size() + 1 || lines->mid(0, head.size()) != head ||
        lines->last() != last) {
        return QStringLiteral("wrong opening or closing lines");
    }
    return {};
}

QString outlineProblem(const QByteArray& bytes) {
    const QStringList outline = xmlOutline(bytes);
    if (!outline.isEmpty() && outline.last().startsWith(QStringLiteral("error: "))) {
        return outline.last();
    }
    return {};
}

}  // namespace

QMap<QByteArray, QByteArray> snapshotFolder(const QString& folder) {
    QMap<QByteArray, QByteArray> files;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return files;
    }
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st;
        const bool regular = ::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISREG(st.st_mode);
        files.insert(name, regular ? readAt(::dirfd(dir), d->d_name) : QByteArray());
    }
    ::closedir(dir);
    return files;
}

QString documentProblem(const QByteArray& bytes) {
    if (!bytes.startsWith("\xFF\xFE") || bytes.size() % 2 != 0) {
        return QStringLiteral("no UTF-16LE mark, or an odd number of bytes");
    }
    QStringDecoder decoder(QStringDecoder::Utf16LE);
    const QString text = decoder(bytes.mid(2));
    if (decoder.hasError()) {
        return QStringLiteral("not valid UTF-16LE");
    }
    QStringList lines;
    if (QString problem = linesProblem(text,
                                       {QStringLiteral("<?xml version=\"1.0\"?>"),
                                        QStringLiteral("<playlist type=\"local\">")},
                                       QStringLiteral("</playlist>"), &lines);
        !problem.isEmpty()) {
        return problem;
    }
    return outlineProblem(bytes);
}

QString indexProblem(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError() || bytes.startsWith("\xEF\xBB\xBF")) {
        return QStringLiteral("not UTF-8 without a mark");
    }
    QStringList lines;
    if (QString problem = linesProblem(
            text, {QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<filelist>")},
            QStringLiteral("</filelist>"), &lines);
        !problem.isEmpty()) {
        return problem;
    }
    return outlineProblem(bytes);
}

bool indexPatternMatches(const QString& name) {
    return name.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive) &&
           name.chopped(4).contains(QStringLiteral("playlist"), Qt::CaseInsensitive);
}

QStringList expectedIndex(const QString& xml) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(xml).constData());
    if (!dir) {
        return {QStringLiteral("cannot read ") + xml};
    }
    while (const dirent* d = ::readdir(dir)) {
        struct stat st;
        const QString name = nameText(d->d_name);
        if (name.startsWith(u'.') || name == QStringLiteral("brantwell-playlists.xml") ||
            !indexPatternMatches(name) || ::fstatat(::dirfd(dir), d->d_name, &st, 0) != 0 ||
            !S_ISREG(st.st_mode)) {
            continue;
        }
        names << name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return referenceNameOrder(a, b) < 0; });
    QStringList entries;
    for (const QString& name : names) {
        QString playlist = name;
        playlist.remove(QStringLiteral(".xml"), Qt::CaseInsensitive);
        entries << QStringLiteral("file name=[%1] path=[%2]")
                       .arg(asParsed(playlist), asParsed(xml + name));
    }
    return entries;
}
