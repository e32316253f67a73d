#include "albumscan.h"

#include "fserror.h"
#include "paths.h"
#include "scanprogress.h"
#include "xmlattribute.h"

#include <algorithm>

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

bool onlySeparators(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                          [](QChar c) { return c == fsservice::separator(); });
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
// character, which costs far more than the comparison (bench/run; the figures
// are in docs/performance.md).
bool isMp3At(QStringView text, qsizetype at) {
    return at + 4 <= text.size() && text[at] == u'.' &&
           asciiFolded(text[at + 1].unicode()) == u'm' &&
           asciiFolded(text[at + 2].unicode()) == u'p' && text[at + 3] == u'3';
}

// A plain loop: names are short, and QStringView::indexOf's vectorised search
// costs more to set up than it saves on them (bench/run, wide tree).
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

}  // namespace

QString trimSpaces(const QString& text) {
    const QStringView kept = trim(text, isSpace);
    return kept.size() == text.size() ? text : kept.toString();
}

AlbumScan::AlbumScan(QString musicPathText, ScanProgress* progress)
    : m_musicPathText(std::move(musicPathText)),
      m_musicPathIsRoot(onlySeparators(m_musicPathText)),
      m_progress(progress) {}

void AlbumScan::ShowFolderList(FileSystem& fso, TextStream& ts, Folder folder) {
    // The walk keeps its own stack rather than the call stack, so no depth of
    // tree can overflow it; the stack is also the way down that the loop check
    // looks along.
    const std::size_t base = m_wayDown.size();
    m_wayDown.push_back(Frame{std::move(folder)});
    try {
        while (m_wayDown.size() > base) {
            Frame& frame = m_wayDown.back();
            const auto& subFolders = frame.folder.SubFolders();
            if (frame.next == subFolders.size()) {
                m_wayDown.pop_back();
                continue;
            }
            const fsservice::SubFolder& sub = subFolders[frame.next++];
            std::optional<Folder> inner = ShowFileList(fso, ts, frame.folder, sub);
            if (inner) {
                m_wayDown.push_back(Frame{std::move(*inner)});
            }
        }
    } catch (...) {
        m_wayDown.resize(base);
        throw;
    }
}

std::optional<Folder> AlbumScan::ShowFileList(FileSystem& fso, TextStream& ts, const Folder& parent,
                                              const fsservice::SubFolder& sub) {
    if (m_progress) {
        m_progress->enterFolder(sub.Path);
    }
    std::optional<Folder> folder;
    try {
        folder = fso.GetFolder(parent, sub);
        if (m_progress) {
            m_progress->folderRead();
        }
    } catch (const fsservice::FsError& error) {
        // A drive root always holds a folder no user may open ("lost+found",
        // "System Volume Information"): leaving such a folder out, and saying
        // so at the end, lets the rest of the disk be a playlist.
        if (!error.accessDenied()) {
            throw;
        }
        m_leftOut.append(sub.Path);
        return std::nullopt;
    }
    // A link that leads back to a folder we are inside would make the walk
    // endless; its siblings are still walked.
    if (onWayDown(folder->id())) {
        return std::nullopt;
    }
    BuildMP3List(ts, *folder, sub.Path);
    if (folder->SubFolders().empty()) {
        return std::nullopt;
    }
    return folder;
}

bool AlbumScan::onWayDown(const fsservice::FolderId& id) const {
    return std::any_of(m_wayDown.begin(), m_wayDown.end(),
                       [&id](const Frame& frame) { return frame.folder.id() == id; });
}

QString AlbumScan::albumTitle(const QString& folderspec, const Folder& folder) const {
    QString title = folderspec;
    if (m_musicPathIsRoot) {
        // Removing "/" everywhere would run "/Rock/Live" together into
        // "RockLive"; what is meant is the music folder's part of the path.
        if (title.startsWith(m_musicPathText)) {
            title.remove(0, m_musicPathText.size());
        }
    } else {
        title.remove(m_musicPathText, Qt::CaseInsensitive);
    }
    if (title.isEmpty()) {
        title = folder.Name();
    }
    title.replace(fsservice::separator(), u' ');
    return trimSpaces(title);
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

void AlbumScan::BuildMP3List(TextStream& ts, const Folder& folder, const QString& folderspec) {
    // Whether the folder is an album is decided by the listing, which does not
    // see hidden files; which files become tracks is decided by their full path,
    // hidden ones included. Only the first listed name matters.
    if (folder.FirstListed(u"*.mp3").isEmpty()) {
        return;
    }

    // Every line is built in the one text, which keeps its room from line to
    // line, so writing a line allocates nothing once it has grown to the longest.
    QString& line = m_line;
    line.resize(0);
    line.append(u"<album path=\"");
    appendAttribute(line, folderspec);
    line.append(u"\" title=\"");
    appendAttribute(line, albumTitle(folderspec, folder));
    line.append(u"\">");
    ts.WriteLine(line);
    if (m_progress) {
        m_progress->albumWritten();
    }

    // ".mp3" holds no separator, so it is in a file's full path exactly when it
    // is in the folder's path or in the file's name: test the path once.
    const bool everyFileTaken = containsMp3(folder.Path());
    for (const File& file : folder.Files()) {
        const QStringView name = file.Name();
        if (!everyFileTaken && !containsMp3(name)) {
            continue;
        }
        line.resize(0);
        line.append(u"<mp3 title=\"");
        appendAttribute(line, name);
        line.append(u"\" track=\"");
        appendAttribute(line, buildTrackTitle(m_titleScratch, name));
        line.append(u"\"/>");
        ts.WriteLine(line);
    }
    ts.WriteLine(u"</album>");
}

}  // namespace writer
