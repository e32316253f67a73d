#include "albumscan.h"

#include "xmlattribute.h"

#include <algorithm>
#include <cstring>

namespace writer {

using fsservice::File;
using fsservice::FileSystem;
using fsservice::Folder;
using fsservice::TextStream;

namespace {

// What is left of `text` when `trimmed` characters are taken off both ends.
template <typename Trimmed>
QStringView trim(QStringView text, Trimmed trimmed) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && trimmed(text[begin].unicode())) {
        ++begin;
    }
    while (end > begin && trimmed(text[end - 1].unicode())) {
        --end;
    }
    return text.mid(begin, end - begin);
}

template <std::size_t N>
char16_t* put(char16_t* out, const char16_t (&text)[N]) {
    std::memcpy(out, text, (N - 1) * sizeof(char16_t));
    return out + N - 1;
}

bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool isSpace(char16_t c) {
    return c == u' ';
}

char16_t asciiFolded(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// True when ".mp3", in any letter case, starts at `at`. No character outside
// ASCII folds to '.', 'm', 'p' or '3', so comparing ASCII alone gives exactly
// Qt::CaseInsensitive's answer, without its Unicode folding of every
// character (4,500 instructions for a full path).
bool isMp3At(QStringView text, qsizetype at) {
    return at + 4 <= text.size() && text[at] == u'.' &&
           asciiFolded(text[at + 1].unicode()) == u'm' &&
           asciiFolded(text[at + 2].unicode()) == u'p' && text[at + 3] == u'3';
}

// A plain loop: names are short, and QStringView::indexOf's vectorised search
// cost more to set up than it saved (9% of the time on 100,000 files).
qsizetype nextDot(QStringView text, qsizetype from) {
    for (; from < text.size(); ++from) {
        if (text[from] == u'.') {
            return from;
        }
    }
    return -1;
}

bool containsMp3(QStringView text) {
    for (qsizetype at = nextDot(text, 0); at >= 0; at = nextDot(text, at + 1)) {
        if (isMp3At(text, at)) {
            return true;
        }
    }
    return false;
}

// Appends `text` without any ".mp3": every occurrence, left to right, without
// overlap, as QString::remove(".mp3", Qt::CaseInsensitive) does.
void appendWithoutMp3(QString& out, QStringView text) {
    qsizetype from = 0;
    for (qsizetype at = nextDot(text, 0); at >= 0; at = nextDot(text, at)) {
        if (isMp3At(text, at)) {
            out.append(text.mid(from, at - from));
            at += 4;
            from = at;
        } else {
            ++at;
        }
    }
    out.append(text.mid(from));
}

// Appends `text` without any occurrence of `needle`, letter case ignored, as
// QString::remove(needle, Qt::CaseInsensitive) does. Both must be ASCII: then
// ASCII folding is all of Unicode's that applies.
void appendWithoutAscii(QString& out, QStringView text, QStringView needle) {
    if (needle.isEmpty()) {
        out.append(text);
        return;
    }
    const char16_t first = asciiFolded(needle[0].unicode());
    qsizetype from = 0;
    qsizetype at = 0;
    while (at + needle.size() <= text.size()) {
        qsizetype matched = 0;
        if (asciiFolded(text[at].unicode()) == first) {
            matched = 1;
            while (matched < needle.size() && asciiFolded(text[at + matched].unicode()) ==
                                                  asciiFolded(needle[matched].unicode())) {
                ++matched;
            }
        }
        if (matched == needle.size()) {
            out.append(text.mid(from, at - from));
            at += needle.size();
            from = at;
        } else {
            ++at;
        }
    }
    out.append(text.mid(from));
}

}  // namespace

QString trimSpaces(const QString& text) {
    const QStringView kept = trim(text, isSpace);
    return kept.size() == text.size() ? text : kept.toString();
}

AlbumScan::AlbumScan(QString musicPathText)
    : m_musicPathText(std::move(musicPathText)), m_musicPathAscii(isAscii(m_musicPathText)) {}

void AlbumScan::writeAlbums(FileSystem& fso, TextStream& ts) {
    walk(fso, ts, fso.GetFolder(m_musicPathText), m_musicPathText, true);
}

void AlbumScan::ShowFolderList(FileSystem& fso, TextStream& ts, const QString& folderspec) {
    walk(fso, ts, fso.GetFolder(folderspec), folderspec, false);
}

void AlbumScan::ShowFileList(FileSystem& fso, TextStream& ts, const QString& folderspec) {
    walk(fso, ts, fso.GetFolder(folderspec), folderspec, true);
}

bool AlbumScan::onWayDown(const fsservice::FolderId& id) const {
    return std::find(m_wayDown.begin(), m_wayDown.end(), id) != m_wayDown.end();
}

void AlbumScan::walk(FileSystem& fso, TextStream& ts, Folder top, const QString& topspec,
                     bool withTop) {
    // The walk keeps its own stack rather than the call stack so that a folder
    // can be let go as soon as its last sub-folder is open: a chain of 500
    // folders then holds one folder at a time instead of 500 (3 MB of paths).
    // A folder's id stays on the way down until the whole subtree below it is
    // written; `restoreTo` says how far to cut the way down back when a frame's
    // subtree is done.
    struct Frame {
        Folder folder;
        std::size_t next;
        std::size_t restoreTo;
    };
    std::vector<Frame> frames;
    const std::size_t base = m_wayDown.size();

    const auto enter = [&](Folder folder, const QString& folderspec, std::size_t restoreTo) {
        // A link that leads back to a folder we are inside would make the walk
        // endless; its siblings are still walked.
        if (onWayDown(folder.id())) {
            m_wayDown.resize(restoreTo);
            return;
        }
        BuildMP3List(ts, folder, folderspec);
        if (folder.SubFolders().empty()) {
            m_wayDown.resize(restoreTo);
            return;
        }
        m_wayDown.push_back(folder.id());
        frames.push_back(Frame{std::move(folder), 0, restoreTo});
    };

    try {
        if (withTop) {
            enter(std::move(top), topspec, base);
        } else if (!top.SubFolders().empty()) {
            frames.push_back(Frame{std::move(top), 0, base});
        }
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const auto& subFolders = frame.folder.SubFolders();
            const fsservice::SubFolder& sub = subFolders[frame.next++];
            Folder folder = fso.GetFolder(frame.folder, sub);
            if (frame.next < subFolders.size()) {
                enter(std::move(folder), sub.Path, m_wayDown.size());
            } else {
                const QString folderspec = sub.Path;
                const std::size_t restoreTo = frame.restoreTo;
                frames.pop_back();
                enter(std::move(folder), folderspec, restoreTo);
            }
        }
    } catch (...) {
        m_wayDown.resize(base);
        throw;
    }
}

QStringView AlbumScan::buildAlbumTitle(QString& scratch, const QString& folderspec,
                                       const Folder& folder) const {
    scratch.resize(0);
    if (m_musicPathAscii && isAscii(folderspec)) {
        appendWithoutAscii(scratch, folderspec, m_musicPathText);
    } else {
        scratch.append(folderspec);
        scratch.remove(m_musicPathText, Qt::CaseInsensitive);
    }
    if (scratch.isEmpty()) {
        scratch.append(folder.Name());
    }
    const QChar separator = fsservice::separator();
    for (QChar& c : scratch) {
        if (c == separator) {
            c = u' ';
        }
    }
    return trim(scratch, isSpace);
}

QString AlbumScan::albumTitle(const QString& folderspec, const Folder& folder) const {
    QString scratch;
    return buildAlbumTitle(scratch, folderspec, folder).toString();
}

QStringView AlbumScan::buildTrackTitle(QString& scratch, QStringView fileName) {
    scratch.resize(0);
    appendWithoutMp3(scratch, fileName);
    // Trim, turn "_" into spaces, trim again: together that takes every space and
    // "_" off both ends.
    const QStringView kept = trim(scratch, [](char16_t c) { return c == u' ' || c == u'_'; });
    const qsizetype begin = kept.data() - scratch.constData();
    for (qsizetype i = begin; i < begin + kept.size(); ++i) {
        if (scratch[i] == u'_') {
            scratch[i] = u' ';
        }
    }
    return QStringView(scratch).mid(begin, kept.size());
}

QString AlbumScan::trackTitle(QStringView fileName) {
    QString scratch;
    return buildTrackTitle(scratch, fileName).toString();
}

char16_t* AlbumScan::lineBuffer(qsizetype room) {
    m_line.resize(room);
    return reinterpret_cast<char16_t*>(m_line.data());
}

void AlbumScan::BuildMP3List(TextStream& ts, const Folder& folder, const QString& folderspec) {
    // Whether the folder is an album is decided by the listing, which does not
    // see hidden files; which files become tracks is decided by their full path,
    // hidden ones included. Only the first listed name matters.
    if (folder.FirstListed(u"*.mp3").isEmpty()) {
        return;
    }

    // Lines are built in place in one buffer that only grows, so writing a
    // line allocates nothing once it has room for the longest.
    const QStringView title = buildAlbumTitle(m_title, folderspec, folder);
    char16_t* const album =
        lineBuffer(32 + maxAttributeSize(folderspec.size()) + maxAttributeSize(title.size()));
    char16_t* out = put(album, u"<album path=\"");
    out = writeAttribute(out, folderspec);
    out = put(out, u"\" title=\"");
    out = writeAttribute(out, title);
    out = put(out, u"\">");
    ts.WriteLine(QStringView(album, out - album));

    // ".mp3" holds no separator, so it is in a file's full path exactly when it
    // is in the folder's path or in the file's name: test the path once.
    const bool everyFileTaken = containsMp3(folder.Path());
    for (const File& file : folder.Files()) {
        const QStringView name = file.Name();
        if (!everyFileTaken && !containsMp3(name)) {
            continue;
        }
        const QStringView track = buildTrackTitle(m_title, name);
        char16_t* const line =
            lineBuffer(32 + maxAttributeSize(name.size()) + maxAttributeSize(track.size()));
        out = put(line, u"<mp3 title=\"");
        out = writeAttribute(out, name);
        out = put(out, u"\" track=\"");
        out = writeAttribute(out, track);
        out = put(out, u"\"/>");
        ts.WriteLine(QStringView(line, out - line));
    }
    ts.WriteLine(u"</album>");
}

}  // namespace writer
