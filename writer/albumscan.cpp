#include "albumscan.h"

#include "xmlattribute.h"

#include <algorithm>

namespace writer {

using fsservice::File;
using fsservice::FileSystem;
using fsservice::Folder;
using fsservice::TextStream;

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == u' ') {
        --end;
    }
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

AlbumScan::AlbumScan(QString musicPathText) : m_musicPathText(std::move(musicPathText)) {}

void AlbumScan::writeAlbums(FileSystem& fso, TextStream& ts) {
    visit(fso, ts, fso.GetFolder(m_musicPathText), m_musicPathText);
}

void AlbumScan::ShowFolderList(FileSystem& fso, TextStream& ts, const QString& folderspec) {
    walkSubFolders(fso, ts, fso.GetFolder(folderspec));
}

void AlbumScan::ShowFileList(FileSystem& fso, TextStream& ts, const QString& folderspec) {
    visit(fso, ts, fso.GetFolder(folderspec), folderspec);
}

void AlbumScan::visit(FileSystem& fso, TextStream& ts, const Folder& folder,
                      const QString& folderspec) {
    // A link that leads back to a folder we are inside would make the walk
    // endless; its siblings are still walked.
    if (std::find(m_wayDown.begin(), m_wayDown.end(), folder.id()) != m_wayDown.end()) {
        return;
    }
    BuildMP3List(ts, folder, folderspec);
    m_wayDown.push_back(folder.id());
    walkSubFolders(fso, ts, folder);
    m_wayDown.pop_back();
}

void AlbumScan::walkSubFolders(FileSystem& fso, TextStream& ts, const Folder& folder) {
    for (const fsservice::SubFolder& sub : folder.SubFolders()) {
        visit(fso, ts, fso.GetFolder(folder, sub), sub.Path);
    }
}

QString AlbumScan::albumTitle(const QString& folderspec, const Folder& folder) const {
    QString title = folderspec;
    title.remove(m_musicPathText, Qt::CaseInsensitive);
    if (title.isEmpty()) {
        title = folder.Name();
    }
    title.replace(fsservice::separator(), u' ');
    return trimSpaces(title);
}

QString AlbumScan::trackTitle(QStringView fileName) {
    QString title = fileName.toString();
    title.remove(QStringLiteral(".mp3"), Qt::CaseInsensitive);
    title = trimSpaces(title);
    title.replace(u'_', u' ');
    return trimSpaces(title);
}

void AlbumScan::BuildMP3List(TextStream& ts, const Folder& folder, const QString& folderspec) {
    // Whether the folder is an album is decided by the listing, which does not
    // see hidden files; which files become tracks is decided by their full path,
    // hidden ones included. Only the first listed name matters.
    if (folder.FirstListed(u"*.mp3").isEmpty()) {
        return;
    }

    m_line.resize(0);
    m_line.append(u"<album path=\"");
    appendAttribute(m_line, folderspec);
    m_line.append(u"\" title=\"");
    appendAttribute(m_line, albumTitle(folderspec, folder));
    m_line.append(u"\">");
    ts.WriteLine(m_line);

    // ".mp3" holds no separator, so it is in a file's full path exactly when it
    // is in the folder's path or in the file's name: test the path once.
    const bool everyFileTaken = folder.Path().contains(u".mp3", Qt::CaseInsensitive);
    for (const File& file : folder.Files()) {
        if (!everyFileTaken && !file.Name().contains(u".mp3", Qt::CaseInsensitive)) {
            continue;
        }
        m_line.resize(0);
        m_line.append(u"<mp3 title=\"");
        appendAttribute(m_line, file.Name());
        m_line.append(u"\" track=\"");
        appendAttribute(m_line, trackTitle(file.Name()));
        m_line.append(u"\"/>");
        ts.WriteLine(m_line);
    }
    ts.WriteLine(u"</album>");
}

}  // namespace writer
