#pragma once

#include "faultyfilesystem.h"
#include "musictree.h"
#include "recordingview.h"
#include "texts.h"

#include <QList>
#include <QStringList>

/// The texts of the program built for `language`: "en" or "nl".
const texts::Texts& textsFor(const QString& language);

/// The name of the playlist index in the playlist folder.
inline constexpr char kIndexName[] = "brantwell-playlists.xml";

/// The music tree most rows use, in the form MusicTree::addEntries reads.
QStringList standardMusic();

/// What a run may have put in the playlist folder before it stopped.
enum class Written { Nothing, Document, Both };

/// One failure a run is tried with: the operation that fails, on the path that
/// ends so (in the jukebox folder, '/' between names), at which line for
/// WriteLine (-1: the last), and what the run has replaced by then.
struct FaultRow {
    QByteArray what;
    FaultyFileSystem::Operation operation;
    QString pathEnd;
    int line;
    Written written;
};

/// Every failure of one run on the standard music tree with the playlist
/// "playlist", from making the playlist folder to committing the index.
QList<FaultRow> faultRows();

/// The reason the error message gives for a failure of `operation`.
QString faultReason(FaultyFileSystem::Operation operation);

/// A jukebox folder, the current directory of a run: the music folder "Music"
/// and the playlist folder "xml" holding an earlier document "playlist.xml"
/// and an earlier index.
class Jukebox {
public:
    explicit Jukebox(const QStringList& musicEntries = standardMusic(),
                     bool withPlaylistFolder = true);
    virtual ~Jukebox() = default;
    Q_DISABLE_COPY_MOVE(Jukebox)

    MusicTree tree;
    QString jukebox;  // native separators, as are the two below
    QString music;
    QString xml;  // ends in a separator
    const QByteArray earlierDocument;
    const QByteArray earlierIndex;

    /// One press of Start, in the jukebox folder; what the window was told.
    /// `view`, when given, is the window, else a view of its own.
    QStringList run(fsservice::FileSystem& fso, const QString& typed, const QString& name,
                    const texts::Texts& texts, RecordingView* view = nullptr) const;
    /// The replace question a run of `name` asks first, when its document was there.
    QStringList replaceQuestion(const QString& name, const texts::Texts& t) const;
    /// Everything a run of `name` that works tells the window.
    QStringList doneEvents(const QString& name, const texts::Texts& t) const;
    /// What a run of `name` that left out `leftOut` (folders in the jukebox
    /// folder, '/' between names) tells the window: the folders once the index
    /// is written, then that it is done.
    QStringList leftOutEvents(const QString& name, const texts::Texts& t,
                              const QStringList& leftOut) const;

    QByteArray document(const QString& name = QStringLiteral("playlist")) const;
    QByteArray index() const;
    /// The names in the playlist folder, hidden ones included.
    QStringList playlistFolder() const;

protected:
    /// The playlist folder's names from now on count as there before the run.
    void rememberPlaylistFolder();

private:
    QStringList m_earlier;
};
