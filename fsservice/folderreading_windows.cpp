#include "folderreading.h"
#include "fserror.h"
#include "paths.h"

#include <QDir>

#include <windows.h>
#include <winternl.h>

#include <wchar.h>

#include <vector>

namespace fsservice {
namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// The longest path Windows has, in UTF-16 units.
constexpr qsizetype kLongestPath = 32768;

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : m_handle(handle) {}
    ~FindHandle() { ::FindClose(m_handle); }
    Q_DISABLE_COPY_MOVE(FindHandle)

private:
    HANDLE m_handle;
};

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() {
        if (isOpen()) {
            ::CloseHandle(m_handle);
        }
    }
    Q_DISABLE_COPY_MOVE(FileHandle)

    HANDLE get() const { return m_handle; }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

// Opens the file or folder at `path` for nothing but asking about it, links
// followed. Folders open only with backup semantics.
HANDLE openToAsk(const QString& path) {
    return ::CreateFileW(wide(longPath(path)), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The resolved path of the open `handle` as the object manager names it, in
// the same \\?\ form GetFinalPathNameByHandleW gives. Wine names a handle
// "\??\C:\..." whatever the path's length; Windows names it by its device
// ("\Device\HarddiskVolume3\..."), a form no other id has, so there this
// fails (Windows never needs it: GetFinalPathNameByHandleW names any length).
QByteArray objectName(HANDLE handle, unsigned long& error) {
    std::vector<char> room(sizeof(OBJECT_NAME_INFORMATION) + kLongestPath * sizeof(wchar_t));
    auto* const info = reinterpret_cast<OBJECT_NAME_INFORMATION*>(room.data());
    const NTSTATUS status =
        ::NtQueryObject(handle, ObjectNameInformation, info, ULONG(room.size()), nullptr);
    if (status != 0) {
        error = ::RtlNtStatusToDosError(status);
        return {};
    }
    const QStringView name(reinterpret_cast<const QChar*>(info->Name.Buffer),
                           qsizetype(info->Name.Length / sizeof(wchar_t)));
    if (!name.startsWith(u"\\??\\")) {
        error = ERROR_MORE_DATA;
        return {};
    }
    QString path = QStringLiteral("\\\\?\\");
    path += name.mid(4);
    return path.toUtf8();
}

}  // namespace

QByteArray resolvedFolderPath(const QString& path, unsigned long& error) {
    const FileHandle folder(openToAsk(path));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.isOpen() || !::GetFileInformationByHandle(folder.get(), &info)) {
        error = ::GetLastError();
        return {};
    }
    // Backup semantics open files too; listing one would fail with a reason
    // that differs between Windows versions.
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_DIRECTORY;
        return {};
    }
    wchar_t room[MAX_PATH];
    DWORD length = ::GetFinalPathNameByHandleW(folder.get(), room, MAX_PATH, FILE_NAME_NORMALIZED);
    if (length > 0 && length < MAX_PATH) {
        return QString::fromWCharArray(room, qsizetype(length)).toUtf8();
    }
    // Too long for the room. Windows then gives the length it needs, but Wine
    // fails with ERROR_MORE_DATA: ask again with room for the longest path
    // there is.
    if (length > 0 || ::GetLastError() == ERROR_MORE_DATA) {
        QString spill(qsizetype(kLongestPath), Qt::Uninitialized);
        length = ::GetFinalPathNameByHandleW(folder.get(), reinterpret_cast<wchar_t*>(spill.data()),
                                             DWORD(spill.size()), FILE_NAME_NORMALIZED);
        if (length > 0 && length < DWORD(spill.size())) {
            spill.truncate(qsizetype(length));
            return spill.toUtf8();
        }
        // Wine 8 cannot name any handle whose path is longer than MAX_PATH
        // that way, though it knows the name.
        if (::GetLastError() == ERROR_MORE_DATA) {
            return objectName(folder.get(), error);
        }
    }
    error = ::GetLastError();
    return {};
}

namespace {

enum class LinkTarget { Missing, Folder, File };

// Where the link (or junction) at `path` leads. Only reparse points cost this
// open: every other entry is known from the find data alone.
LinkTarget linkTarget(const QString& path) {
    const FileHandle target(openToAsk(path));
    BY_HANDLE_FILE_INFORMATION info;
    if (!target.isOpen() || !::GetFileInformationByHandle(target.get(), &info)) {
        return LinkTarget::Missing;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? LinkTarget::Folder
                                                              : LinkTarget::File;
}

void addEntry(FolderContents& contents, const QString& path, const WIN32_FIND_DATAW& data) {
    const wchar_t* const raw = data.cFileName;
    if (isDotOrDotDot(raw)) {
        return;
    }
    const QStringView name(reinterpret_cast<const QChar*>(raw),
                           qsizetype(::wcsnlen(raw, MAX_PATH)));
    const DWORD attributes = data.dwFileAttributes;
    bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    bool system = attributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE);
    // A link or junction leads elsewhere: what it leads to decides whether it
    // is a folder or a file, and one whose target is gone is neither. Other
    // reparse points (a file kept in the cloud, a deduplicated one) are what
    // their attributes say. The tag comes with basic find data on Windows;
    // Wine gives none, for the links of its Unix host.
    const DWORD tag = data.dwReserved0;
    const bool link =
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || IsReparseTagNameSurrogate(tag));
    QString full;
    if (link) {
        full = joinPath(path, name);
        const LinkTarget target = linkTarget(full);
        folder = target == LinkTarget::Folder;
        system = system || target == LinkTarget::Missing;
    }
    if (!folder) {
        contents.addFile(name, attributes & FILE_ATTRIBUTE_HIDDEN, system);
        return;
    }
    // Names come from the system as UTF-16, exactly as Path and Name hold
    // them: no native name of their own.
    contents.subFolders.push_back(
        SubFolder{link ? std::move(full) : joinPath(path, name), name.toString(), {}, link});
}

bool isFolder(const QString& path) {
    const DWORD attributes = ::GetFileAttributesW(wide(longPath(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One pass of FindFirstFileExW and FindNextFileW over the folder at `path`.
Folder readListing(const QString& path, FolderId id) {
    QString pattern = longPath(path);
    if (!pattern.endsWith(u'\\')) {
        pattern += u'\\';
    }
    pattern += u'*';

    FolderContents contents;
    WIN32_FIND_DATAW data;
    // Basic information leaves out the short 8.3 name, which the system would
    // otherwise look up for every entry; a large fetch asks for many entries
    // per round trip, which a network share needs most.
    const HANDLE find =
        ::FindFirstFileExW(wide(pattern), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder always holds "." and "..", except a drive root, which then
        // finds nothing at all when it is empty.
        if (error != ERROR_FILE_NOT_FOUND || !isFolder(path)) {
            throw FsError::fromSystem(path, int(error));
        }
    } else {
        const FindHandle closer(find);
        do {
            addEntry(contents, path, data);
        } while (::FindNextFileW(find, &data));
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES) {
            throw FsError::fromSystem(path, int(error));
        }
    }

    return contents.finish(path, std::move(id));
}

class WindowsFolderReader final : public FolderReader {
public:
    Folder read(const QString& path) override;
    Folder read(const Folder& parent, const SubFolder& sub) override;
};

}  // namespace

std::unique_ptr<FolderReader> makeNativeReader() {
    return std::make_unique<WindowsFolderReader>();
}

Folder WindowsFolderReader::read(const QString& path) {
    // Opening the folder for its resolved path also tells, with the system's
    // reason, when it is missing or not a folder.
    unsigned long error = 0;
    QByteArray resolved = resolvedFolderPath(path, error);
    if (resolved.isEmpty()) {
        throw FsError::fromSystem(path, int(error));
    }
    return readListing(path, FolderId{0, 0, std::move(resolved)});
}

Folder WindowsFolderReader::read(const Folder& parent, const SubFolder& sub) {
    // Only a reparse point can lead anywhere else, back up the tree included:
    // any other folder lies one name below where its parent lies, which costs
    // no open to know.
    QByteArray resolved = childIdPath(parent, sub);
    if (resolved.isEmpty()) {
        return read(sub.Path);
    }
    return readListing(sub.Path, FolderId{0, 0, std::move(resolved)});
}

}  // namespace fsservice
