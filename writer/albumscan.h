#pragma once

#include "filesystem.h"

#include <QString>

#include <vector>

namespace writer {

/// Walks a music folder tree, pre-order and depth first, and writes one album
/// element per folder that holds MP3 files into the playlist document.
///
/// Every folder is read from the disk once: its album and its sub-folders come
/// from the same read. A sub-folder that is the same folder as one on the way
/// down from the music folder (a link back up) is not entered again, so a tree
/// that leads back into itself still ends.
///
/// A folder that cannot be read throws FsError out of the walk; the caller's
/// stream is then left unclosed, and with it the earlier document.
class AlbumScan final {
public:
    /// `musicPathText`: the music folder path exactly as the user typed it; album
    /// titles are the folder paths with every occurrence of it removed.
    explicit AlbumScan(QString musicPathText);

    /// The music folder's own album, then the albums of every folder below it.
    void writeAlbums(fsservice::FileSystem& fso, fsservice::TextStream& ts);

    /// Writes the album of `folder`, whose path text is `folderspec`, when the
    /// folder holds a listed "*.mp3" file; otherwise writes nothing.
    void BuildMP3List(fsservice::TextStream& ts, const fsservice::Folder& folder,
                      const QString& folderspec);
    /// Writes the albums of every folder below `folderspec`.
    void ShowFolderList(fsservice::FileSystem& fso, fsservice::TextStream& ts,
                        const QString& folderspec);
    /// Writes the album of `folderspec` and then those of every folder below it.
    void ShowFileList(fsservice::FileSystem& fso, fsservice::TextStream& ts,
                      const QString& folderspec);

    /// The album title of a folder: its path text without the music folder path,
    /// separators turned into spaces, trimmed. Not escaped.
    QString albumTitle(const QString& folderspec, const fsservice::Folder& folder) const;
    /// The track title of a file name: ".mp3" removed, trimmed, "_" turned into
    /// spaces, trimmed again. Not escaped.
    static QString trackTitle(QStringView fileName);

private:
    /// Writes the albums of every folder below `top`, depth first, preceded by
    /// `top`'s own when `withTop`.
    void walk(fsservice::FileSystem& fso, fsservice::TextStream& ts, fsservice::Folder top,
              const QString& topspec, bool withTop);
    bool onWayDown(const fsservice::FolderId& id) const;

    // Fill `scratch` and return the title within it.
    QStringView buildAlbumTitle(QString& scratch, const QString& folderspec,
                                const fsservice::Folder& folder) const;
    static QStringView buildTrackTitle(QString& scratch, QStringView fileName);
    // m_line with room for `room` units, to be written through the pointer.
    char16_t* lineBuffer(qsizetype room);

    QString m_musicPathText;
    bool m_musicPathAscii;
    std::vector<fsservice::FolderId> m_wayDown;
    // Reused for every line and title written, so writing a line allocates
    // nothing once they have grown to the longest.
    QString m_line;
    QString m_title;
};

/// Trims the space character, and only that, from both ends.
QString trimSpaces(const QString& text);

}  // namespace writer
