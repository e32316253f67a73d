#pragma once

#include <QString>

namespace texts {

/// Every text the user reads, in one language. Each program links one set.
///
/// A message that names a value is one whole sentence with place-holders,
/// filled with QString::arg (all values in one call, so a path holding "%2"
/// stays as it is): a reader and a translator see the sentence whole.
struct Texts {
    // Messages of the Start command.
    QString pathMissing;
    QString nameMissing;
    QString pathNotFound;  ///< %1: the music folder as typed
    QString nameHasSeparator;
    QString nameIsIndex;      ///< %1: playlist folder + name
    QString replaceQuestion;  ///< %1: playlist folder + name
    QString foldersLeftOut;   ///< first line; the folders follow, one per line
    QString moreLeftOut;      ///< %1: how many more folders were left out
    QString playlistReady;    ///< %1: playlist folder + name
    QString error;            ///< %1: the path, %2: the system's reason
    QString nameIsDevice;     ///< %1: playlist folder + name (Windows only)

    // The box that shows a long run.
    QString progressCounts;  ///< %1: folders read, %2: albums found
    QString cancel;          ///< its one button

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
