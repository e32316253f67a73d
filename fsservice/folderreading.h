#pragma once

// How RealFileSystem reads a folder: what one read collects, and the readers.
// Internal to the service.

#include "folder.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace fsservice {

/// What one read of a folder collects, in the order the system gave it, until
/// finish puts it in name order in a Folder.
struct FolderContents {
    std::vector<SubFolder> subFolders;
    /// The files' names back to back; each entry says where its name lies.
    QString names;
    std::vector<FileEntry> files;

    /// A folder with more files than this is a big one: room for many more is
    /// made at once, instead of regrowing and copying every entry again and
    /// again (the wide folder in bench/run). Room never written to costs
    /// address space only.
    static constexpr std::size_t kBigFolderAfter = 1024;

    void addFile(QStringView name, bool hidden, bool system);
    /// Puts the sub-folders and the files in name order (compareNames).
    void sortByName();
    /// In name order, the Folder at `path` with this id and handle.
    Folder finish(QString path, FolderId id, std::shared_ptr<FolderHandle> handle = nullptr);
};

/// True for "." and "..", which every listing of a folder holds.
template <typename Char>
bool isDotOrDotDot(const Char* name) {
    return name[0] == Char('.') &&
           (name[1] == Char('\0') || (name[1] == Char('.') && name[2] == Char('\0')));
}

/// The id path of `sub`, where ids are resolved paths: its parent's and its
/// name, which costs no call. Empty where it must be resolved instead: a link
/// may lead anywhere, and a parent without an id path gives nothing to build on.
QByteArray childIdPath(const Folder& parent, const SubFolder& sub);

/// Reads folders and their sub-folders. Throws FsError. Both reads may be
/// called from several threads at once.
class FolderReader {
public:
    virtual ~FolderReader() = default;
    /// The folder at the absolute path `path`.
    virtual Folder read(const QString& path) = 0;
    /// A sub-folder that `parent`'s read found (see FileSystem::GetFolder).
    virtual Folder read(const Folder& parent, const SubFolder& sub) = 0;
};

/// Reads through Qt alone (QDirIterator), on every platform.
std::unique_ptr<FolderReader> makeQtReader();

/// Reads with the system's own calls, where the service has them: on Linux one
/// open, one pass of getdents64, one fstat and one close per folder,
/// sub-folders opened relative to their parent's open directory; on Windows
/// one pass of FindFirstFileExW per folder, paths in their \\?\ form. Null
/// on every other platform.
std::unique_ptr<FolderReader> makeNativeReader();

#ifdef Q_OS_WIN
/// The folder's path as Windows resolves it: links, junctions, short names and
/// letter case worked out, so that two paths that lead to one folder give one
/// text; both readers' folder ids are these. Empty, with the GetLastError code
/// in `error`, when `path` is no folder that opens.
QByteArray resolvedFolderPath(const QString& path, unsigned long& error);
#endif

}  // namespace fsservice
