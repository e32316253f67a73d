#pragma once

#include <QString>

namespace texts {

/// Every text the user reads, in one language. Each program links one set; the
/// composite messages are assembled from the pieces below as
/// piece + value + piece.
struct Texts {
    // Messages of the Start command.
    QString pathMissing;
    QString nameMissing;
    QString pathPrefix;  ///< "Path: " + path + pathNotFound
    QString pathNotFound;
    QString playlistPrefix;  ///< "Playlist: " + playlist folder + name + ...
    QString replaceQuestion;
    QString playlistReady;
    QString errorPrefix;  ///< errorPrefix + path + ": " + reason

    // The window.
    QString pathPrompt;
    QString namePrompt;
    QString chooseFolder;  ///< accessible name and tooltip of the folder image
};

/// Same in both languages.
inline constexpr QStringView kTitle = u"Trackfold";
inline constexpr QStringView kStartCaption = u"Start";
inline constexpr QStringView kInitialPlaylistName = u"playlist";

extern const Texts english;
extern const Texts dutch;

}  // namespace texts
