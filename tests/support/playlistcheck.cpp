#include "playlistcheck.h"

#include "musictree.h"
#include "playlistxml.h"
#include "treemodel.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_UNIX
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
#endif

#ifdef Q_OS_WIN
struct Entry {
    QString name;
    DWORD attributes;
};

// Every entry of `folder` but "." and "..", as the system lists them.
std::vector<Entry> entriesOf(const QString& folder) {
    std::vector<Entry> entries;
    const QString pattern = QDir::toNativeSeparators(folder) +
                            (folder.endsWith(u'\\') || folder.endsWith(u'/') ? "*" : "\\*");
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(wide(pattern), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name != QLatin1String(".") && name != QLatin1String("..")) {
            entries.push_back(Entry{name, data.dwFileAttributes});
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return entries;
}
#endif

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
#ifdef Q_OS_WIN
    for (const Entry& entry : entriesOf(folder)) {
        const bool regular =
            !(entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        files.insert(entry.name.toUtf8(),
                     regular ? readBytes(QDir(folder).filePath(entry.name)) : QByteArray());
    }
#else
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
#endif
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

namespace {

// The index's text, or a null text when its bytes are not text in its code page.
QString indexText(const QByteArray& bytes) {
#ifdef Q_OS_WIN
    if (bytes.isEmpty()) {
        return QStringLiteral("");
    }
    const int units = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.constData(),
                                            int(bytes.size()), nullptr, 0);
    if (units <= 0) {
        return {};
    }
    QString text(units, Qt::Uninitialized);
    ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.constData(), int(bytes.size()),
                          reinterpret_cast<wchar_t*>(text.data()), units);
    return text;
#else
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    return decoder.hasError() ? QString() : text;
#endif
}

}  // namespace

QString indexProblem(const QByteArray& bytes) {
    const QString text = indexText(bytes);
    if (text.isNull() || bytes.startsWith("\xEF\xBB\xBF")) {
        return QStringLiteral("not 8-bit text without a mark");
    }
    QStringList lines;
    if (QString problem = linesProblem(
            text, {QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<filelist>")},
            QStringLiteral("</filelist>"), &lines);
        !problem.isEmpty()) {
        return problem;
    }
    return outlineProblem(text.toUtf8());
}

QStringList indexOutline(const QByteArray& bytes) {
    return xmlOutline(indexText(bytes).toUtf8());
}

QString throughIndexCodePage(const QString& text) {
#ifdef Q_OS_WIN
    const wchar_t* const units = wide(text);
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, units, int(text.size()), nullptr, 0, nullptr, nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    ::WideCharToMultiByte(CP_ACP, 0, units, int(text.size()), bytes.data(), size, nullptr, nullptr);
    return indexText(bytes);
#else
    return text;
#endif
}

bool indexPatternMatches(const QString& name) {
    return name.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive) &&
           name.chopped(4).contains(QStringLiteral("playlist"), Qt::CaseInsensitive);
}

QStringList expectedIndex(const QString& xml) {
    QStringList names;
#ifdef Q_OS_WIN
    // Hidden and system are attributes there; a link to a file shows as that file.
    for (const Entry& entry : entriesOf(xml)) {
        if (entry.name == QStringLiteral("brantwell-playlists.xml") ||
            !indexPatternMatches(entry.name) ||
            (entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE))) {
            continue;
        }
        names << entry.name;
    }
#else
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
#endif
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return referenceNameOrder(a, b) < 0; });
    QStringList entries;
    for (const QString& name : names) {
        QString playlist = name;
        playlist.remove(QStringLiteral(".xml"), Qt::CaseInsensitive);
        entries << QStringLiteral("file name=[%1] path=[%2]")
                       .arg(asParsed(throughIndexCodePage(playlist)),
                            asParsed(throughIndexCodePage(xml + name)));
    }
    return entries;
}
