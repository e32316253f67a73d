#pragma once

#include "filesystem.h"

namespace writer {

/// The file through which the jukebox finds its playlists.
inline constexpr QStringView kIndexFileName = u"brantwell-playlists.xml";

/// Writes one index entry per file in the playlist folder `folderspec` (ending
/// in a separator) whose name matches "*playlist*.xml", letter case ignored, in
/// name order; the index itself is left out by its exact name. Throws FsError
/// when the folder cannot be read.
void MakeFileList(fsservice::FileSystem& fso, fsservice::TextStream& ts, const QString& folderspec);

}  // namespace writer
