#pragma once

#include "filesystem.h"
#include "playlistview.h"
#include "texts.h"

namespace writer {

class ScanProgress;

/// The whole work of the program, from a press of Start to the last message:
/// works out and creates the playlist folder, checks the two boxes, asks before
/// replacing a playlist, writes the playlist document and rewrites the index.
///
/// A sub-folder of the music folder that this user may not read is left out of
/// the playlist, and the user is told which, after the index is written.
/// Any other file-system failure ends the run where it happens: the user gets a beep and
/// an error message naming the path and the system's reason, and because both
/// files are written beside their targets and put in place only when complete,
/// the earlier document and index stay exactly as they were. The user may
/// cancel the walk; the run then ends without a message, the earlier files as
/// they were, the focus in the path box.
class StartCommand final {
public:
    StartCommand(fsservice::FileSystem& fso, PlaylistView& view, const texts::Texts& texts);

    /// One run; never throws for file-system failures (they become a message).
    void run();

    /// The current directory with every folder named "fscommand" removed (letter
    /// case ignored; "fscommandos" stays), then separator + "xml" + separator.
    static QString playlistFolder(const QString& currentDirectory);

    /// True when Windows takes a file so named for a device in every folder:
    /// CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 in any letter case, alone or
    /// followed by spaces, a dot or a colon and anything ("nul.old", "lpt1 ").
    static bool isDeviceName(QStringView name);

private:
    /// Gives the folders left out because they could not be read. Runs away
    /// from the window: reads nothing of it.
    QStringList writeDocument(const QString& path, const QString& musicPath,
                              ScanProgress& progress);
    void writeIndex(const QString& folder);
    void tell(MessageIcon icon, const QString& prompt);
    QString leftOutMessage(const QStringList& leftOut) const;
    static bool hasSeparator(const QString& name);

    fsservice::FileSystem& m_fso;
    PlaylistView& m_view;
    const texts::Texts& m_texts;
};

}  // namespace writer
