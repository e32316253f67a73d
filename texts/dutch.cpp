#include "texts.h"

namespace texts {

const Texts dutch = {
    .pathMissing = QStringLiteral("Vul het pad in naar de muziekbestanden."),
    .nameMissing = QStringLiteral("Vul de naam van de playlist in."),
    .pathPrefix = QStringLiteral("Pad: "),
    .pathNotFound = QStringLiteral(" bestaat niet."),
    .playlistPrefix = QStringLiteral("Playlist: "),
    .replaceQuestion = QStringLiteral(" bestaat al. Wilt u dit bestand vervangen?"),
    .playlistReady = QStringLiteral(
        " is klaar. Start de jukebox of druk op de (R)eload button in het Album Panel."),
    .errorPrefix = QStringLiteral("Fout: "),
    .pathPrompt =
        QStringLiteral("Vul het pad in naar de muziekbestanden (bijvoorbeeld C:\\MP3Music)"),
    .namePrompt = QStringLiteral("Playlist Naam:"),
    .chooseFolder = QStringLiteral("Kies map"),
};

}  // namespace texts
