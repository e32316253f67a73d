#include "texts.h"

namespace texts {

const Texts english = {
    .pathMissing = QStringLiteral("Enter the search path for the music files."),
    .nameMissing = QStringLiteral("Enter Playlist Name."),
    .pathNotFound = QStringLiteral("Path: %1 doesn't exist."),
#ifdef Q_OS_WIN
    .nameHasSeparator = QStringLiteral("A Playlist Name cannot contain \"\\\" or \"/\"."),
#else
    .nameHasSeparator = QStringLiteral("A Playlist Name cannot contain \"/\"."),
#endif
    .nameIsIndex =
        QStringLiteral("Playlist: %1 is the playlist index. Enter another Playlist Name."),
    .replaceQuestion = QStringLiteral("Playlist: %1 already exists. Do you want to replace it?"),
    .foldersLeftOut =
        QStringLiteral("These folders could not be read and are not in the playlist:"),
    .moreLeftOut = QStringLiteral("(%1 more)"),
    .playlistReady = QStringLiteral("Playlist: %1 is ready. Start the jukebox or press the "
                                    "(R)eload button on the Album Panel."),
    .error = QStringLiteral("Error: %1: %2"),
    .nameIsDevice =
        QStringLiteral("Playlist: %1 is a device name on Windows. Enter another Playlist Name."),
    .progressCounts = QStringLiteral("Reading the music folders: %1 read, %2 albums found."),
    .cancel = QStringLiteral("Cancel"),
    .pathPrompt =
        QStringLiteral("Enter the search path for the music files (for example C:\\MP3Music)"),
    .namePrompt = QStringLiteral("Playlist Name:"),
    .chooseFolder = QStringLiteral("Choose folder"),
};

}  // namespace texts
