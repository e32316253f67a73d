#include "texts.h"

namespace texts {

const Texts dutch = {
    .pathMissing = QStringLiteral("Vul het pad in naar de muziekbestanden."),
    .nameMissing = QStringLiteral("Vul de naam van de playlist in."),
    .pathNotFound = QStringLiteral("Pad: %1 bestaat niet."),
#ifdef Q_OS_WIN
    .nameHasSeparator =
        QStringLiteral("De naam van de playlist mag geen \"\\\" of \"/\" bevatten."),
#else
    .nameHasSeparator = QStringLiteral("De naam van de playlist mag geen \"/\" bevatten."),
#endif
    .nameIsIndex = QStringLiteral(
        "Playlist: %1 is de playlist-index. Vul een andere naam van de playlist in."),
    .replaceQuestion = QStringLiteral("Playlist: %1 bestaat al. Wilt u dit bestand vervangen?"),
    .foldersLeftOut =
        QStringLiteral("Deze mappen konden niet worden gelezen en staan niet in de playlist:"),
    .moreLeftOut = QStringLiteral("(nog %1)"),
    .playlistReady = QStringLiteral("Playlist: %1 is klaar. Start de jukebox of druk op de "
                                    "(R)eload button in het Album Panel."),
    .error = QStringLiteral("Fout: %1: %2"),
    .nameIsDevice = QStringLiteral(
        "Playlist: %1 is een apparaatnaam in Windows. Vul een andere naam van de playlist in."),
    .progressCounts =
        QStringLiteral("De muziekmappen worden gelezen: %1 gelezen, %2 albums gevonden."),
    .cancel = QStringLiteral("Annuleren"),
    .pathPrompt =
        QStringLiteral("Vul het pad in naar de muziekbestanden (bijvoorbeeld C:\\MP3Music)"),
    .namePrompt = QStringLiteral("Playlist Naam:"),
    .chooseFolder = QStringLiteral("Kies map"),
};

}  // namespace texts
