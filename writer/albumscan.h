#pragma once

#include "filesystem.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace writer {

class ScanProgress;

/// Walks a music folder tree, pre-order and depth first, and writes one album
/// element per folder that holds MP3 files into the playlist document.
///
/// The Start command writes the music folder's own album with BuildMP3List and
/// the albums below it with ShowFolderList, which takes each sub-folder in turn
/// through ShowFileList.
///
/// Every folder is read from the disk once: its album and its sub-folders come
/// from the same read. A sub-folder that is the same folder as one on the way
/// down from the music folder (a link back up) is not entered again, so a tree
/// that leads back into itself still ends. A sub-folder the system will not let
/// this user open or list is left out with everything below it, and named in
/// leftOut(); every other failure throws FsError out of the walk, and the
/// caller's stream is then left unclosed, and with it the earlier document.
class AlbumScan final {
public:
    /// `musicPathText`: the music folder path exactly as the user typed it; album
    /// titles are the folder paths with every occurrence of it removed.
    /// `progress`, when given, hears of every folder and album, and a cancel
    /// there stops the walk before its next folder with ScanCancelled.
    explicit AlbumScan(QString musicPathText, ScanProgress* progress = nullptr);

    /// Writes the album of `folder`, whose path text is `folderspec`, when the
    /// folder holds a listed "*.mp3" file; otherwise writes nothing.
    void BuildMP3List(fsservice::TextStream& ts, const fsservice::Folder& folder,
                      const QString& folderspec);
    /// Writes the albums of every folder below `folder`, depth first, each
    /// folder's sub-folders in name order.
    void ShowFolderList(fsservice::FileSystem& fso, fsservice::TextStream& ts,
                        fsservice::Folder folder);

    /// The sub-folders that could not be read for lack of permission, by the
    /// path the document would have given them, in walk order.
    const QStringList& leftOut() const { return m_leftOut; }

    /// The album title of a folder: its path text without the music folder path,
    /// separators turned into spaces, trimmed. Not escaped.
    QString albumTitle(const QString& folderspec, const fsservice::Folder& folder) const;
    /// The track title of a file name: ".mp3" removed, trimmed, "_" turned into
    /// spaces, trimmed again. Not escaped.
    static QString trackTitle(QStringView fileName);

private:
    struct Frame {
        fsservice::Folder folder;
        std::size_t next = 0;  // the sub-folder to take next
    };

    /// One step of the walk: reads `sub` of `parent` and writes its album.
    /// Gives back the folder when the walk must go on into it: not when it has
    /// no sub-folders, is on the way down already, or could not be read.
    std::optional<fsservice::Folder> ShowFileList(fsservice::FileSystem& fso,
                                                  fsservice::TextStream& ts,
                                                  const fsservice::Folder& parent,
                                                  const fsservice::SubFolder& sub);
    bool onWayDown(const fsservice::FolderId& id) const;

    static QStringView buildTrackTitle(QString& scratch, QStringView fileName);

    QString m_musicPathText;
    // The music folder is the file system's root ("/"): its path text is then
    // taken off the front of a title only, not from between its names.
    bool m_musicPathIsRoot;
    // The folders from the music folder down to the one being walked.
    std::vector<Frame> m_wayDown;
    QStringList m_leftOut;
    ScanProgress* m_progress;
    // Reused for every line and title written, so writing a line allocates
    // nothing once they have grown to the longest.
    QString m_line;
    QString m_titleScratch;
};

/// Trims the space character, and only that, from both ends.
QString trimSpaces(const QString& text);

}  // namespace writer
