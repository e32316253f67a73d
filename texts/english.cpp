#include "texts.h"

namespace texts {

const Texts english = {
    .pathMissing = QStringLiteral("Enter the search path for the music files."),
    .nameMissing = QStringLiteral("Enter Playlist Name."),
    .pathPrefix = QStringLiteral("Path: "),
    .pathNotFound = QStringLiteral(" doesn't exist."),
    .playlistPrefix = QStringLiteral("Playlist: "),
    .replaceQuestion = QStringLiteral(" already exists. Do you want to replace it?"),
    .playlistReady = QStringLiteral(
        " is ready. Start the jukebox or press the (R)eload button on the Album Panel."),
    .errorPrefix = QStringLiteral("Error: "),
    .pathPrompt =
        QStringLiteral("Enter the search path for the music files (for example C:\\MP3Music)"),
    .namePrompt = QStringLiteral("Playlist Name:"),
    .chooseFolder = QStringLiteral("Choose folder"),
};

}  // namespace texts
