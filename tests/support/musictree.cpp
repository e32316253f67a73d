#include "musictree.h"

#include "treemodel.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTest>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <functional>

#include <windows.h>

#include <tlhelp32.h>  // after windows.h, which it needs
#endif

MusicTree::MusicTree() {
    if (!m_dir.isValid()) {
        qFatal("cannot create a temporary folder: %s", qPrintable(m_dir.errorString()));
    }
}

#ifdef Q_OS_UNIX
namespace {

// Removes everything inside the folder `fd`, by raw names: QDir cannot remove
// names that are not valid UTF-8.
void removeContents(int fd) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* d = ::readdir(dir)) {
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
            continue;
        }
        struct stat st;
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0) {
                removeContents(sub);
            }
            ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(dir), name, 0);
        }
    }
    ::closedir(dir);
}

}  // namespace
#endif

#ifdef Q_OS_WIN
const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

namespace {

// Wine's Unix path for a Windows one.
QString unixPathUnderWine(const QString& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* const unixPath = toUnix ? toUnix(wide(QDir::toNativeSeparators(path))) : nullptr;
    if (!unixPath) {
        qFatal("no Unix path for %s", qPrintable(path));
    }
    const QString result = QString::fromUtf8(unixPath);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

// A bound against a hang, not a speed goal: making 100,000 files through the
// host took over 10 s on two cores busy with other builds.
void waitFor(const std::function<bool()>& done, const QString& what) {
    if (!QTest::qWaitFor(done, 120000)) {
        qFatal("%s took more than 120 s", qPrintable(what));
    }
}

// Runs a command of Wine's Unix host and waits for it. Wine starts the
// programs of its host as well as Windows ones, but gives no handle to wait
// on: the shell leaves a mark once the command is done.
void runOnHost(const QStringList& command) {
    static int runs = 0;
    const QString mark =
        QDir::tempPath() +
        QStringLiteral("/trackfold-host-%1-%2").arg(::GetCurrentProcessId()).arg(++runs);
    QString script;
    for (const QString& word : command + QStringList{QStringLiteral(";"), QStringLiteral("touch"),
                                                     unixPathUnderWine(mark)}) {
        script += word == u';' ? QStringLiteral("; ")
                               : u'\'' + QString(word).replace(u'\'', QStringLiteral("'\\''")) +
                                     QStringLiteral("' ");
    }
    QString commandLine = QStringLiteral("Z:\\bin\\sh -c \"") + script + u'"';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr,
                          FALSE, 0, nullptr, nullptr, &startup, &process)) {
        qFatal("cannot start %s", qPrintable(commandLine));
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    waitFor([&mark] { return QFileInfo::exists(mark); }, command.join(u' '));
    QFile::remove(mark);
}

bool isReparsePoint(const QString& path) {
    const DWORD attributes = ::GetFileAttributesW(wide(QDir::toNativeSeparators(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace
#endif

MusicTree::~MusicTree() {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(m_dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        removeContents(fd);
    }
#elif defined(Q_OS_WIN)
    // Wine's links are its host's, which Windows' own removal would follow.
    if (underWine()) {
        if (!m_drive.isEmpty()) {
            runOnHost({QStringLiteral("rm"), m_driveLink});
        }
        runOnHost({QStringLiteral("rm"), QStringLiteral("-rf"), unixPathUnderWine(m_dir.path())});
    } else if (!m_drive.isEmpty()) {
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, wide(m_drive), wide(root()));
    }
#endif
}

QString MusicTree::root() const {
    return QDir::toNativeSeparators(m_dir.path());
}

QString MusicTree::path(const QString& relative) const {
    if (relative.isEmpty()) {
        return root();
    }
    return QDir::toNativeSeparators(m_dir.path() + u'/' + relative);
}

void MusicTree::addFolder(const QString& relative) const {
    if (!QDir().mkpath(m_dir.path() + u'/' + relative)) {
        qFatal("cannot create folder %s", qPrintable(relative));
    }
}

void MusicTree::addFile(const QString& relative, const QByteArray& content) const {
    const QString full = m_dir.path() + u'/' + relative;
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        qFatal("cannot write %s: %s", qPrintable(full), qPrintable(file.errorString()));
    }
}

void MusicTree::addFiles(const QStringList& relatives) const {
    for (const QString& relative : relatives) {
        addFile(relative);
    }
}

void MusicTree::addEntries(const QStringList& entries) const {
    // One at a time, in the order written: on Windows a link is made as a
    // folder's only when its target is there as a folder already.
    for (const QString& entry : entries) {
        buildTree(nativeBytes(root()), parseTree({nativeBytes(entry)}));
    }
}

void MusicTree::addLink(const QString& relative, const QString& target) const {
    const QString full = m_dir.path() + u'/' + relative;
    QDir().mkpath(QFileInfo(full).path());
    makeLink(full, target);
}

void makeLink(const QString& path, const QString& target) {
#ifdef Q_OS_UNIX
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) !=
        0) {
        qFatal("cannot link %s", qPrintable(path));
    }
#elif defined(Q_OS_WIN)
    // QFile::link would make a shortcut (.lnk), which no folder read follows.
    const QString native = QDir::toNativeSeparators(path);
    const QString targetPath =
        QDir::isAbsolutePath(target) ? target : QFileInfo(path).absolutePath() + u'/' + target;
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (QFileInfo(targetPath).isDir()) {
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    }
    const QString nativeTarget = QDir::toNativeSeparators(target);
    ::CreateSymbolicLinkW(wide(native), wide(nativeTarget), flags);
    if (!isReparsePoint(path) && underWine()) {
        // Wine shows a link of its host to a folder as a reparse point, one to
        // a file as that file, and a broken one not at all.
        runOnHost({QStringLiteral("ln"), QStringLiteral("-s"),
                   QDir::isAbsolutePath(target) ? unixPathUnderWine(target) : target,
                   unixPathUnderWine(path)});
    } else if (!isReparsePoint(path)) {
        qFatal("cannot link %s (Windows makes links only in Developer Mode)", qPrintable(path));
    }
#else
    if (!QFile::link(target, path)) {
        qFatal("cannot link %s", qPrintable(path));
    }
#endif
}

#ifdef Q_OS_WIN
void addFilesThroughHost(const QString& folder, const QStringList& names) {
    QTemporaryFile list(QDir::tempPath() + QStringLiteral("/trackfold-names-XXXXXX"));
    if (!list.open() || list.write(names.join(QChar(0)).toUtf8() + '\0') < 0 || !list.flush()) {
        qFatal("cannot write the names for %s: %s", qPrintable(folder),
               qPrintable(list.errorString()));
    }
    list.close();
    runOnHost({QStringLiteral("env"), QStringLiteral("-C"), unixPathUnderWine(folder),
               QStringLiteral("xargs"), QStringLiteral("-0"), QStringLiteral("-a"),
               unixPathUnderWine(list.fileName()), QStringLiteral("touch"), QStringLiteral("--")});
}
#endif

QString MusicTree::asDrive() {
#ifdef Q_OS_WIN
    m_drive = QStringLiteral("T:");
    if (underWine()) {
        // Wine 8 only pretends to define one; its drives are the links in
        // the prefix's dosdevices folder, beside "c:".
        const QString cDrive = QDir::cleanPath(unixPathUnderWine(QStringLiteral("C:\\")));
        QString dosDevices = QFileInfo(cDrive).path();
        if (!dosDevices.endsWith(QLatin1String("/dosdevices"))) {
            dosDevices += QStringLiteral("/dosdevices");
        }
        m_driveLink = dosDevices + QStringLiteral("/t:");
        runOnHost(
            {QStringLiteral("ln"), QStringLiteral("-sfn"), unixPathUnderWine(root()), m_driveLink});
    } else if (!::DefineDosDeviceW(0, wide(m_drive), wide(root()))) {
        qFatal("cannot define drive %s", qPrintable(m_drive));
    }
    return m_drive;
#else
    qFatal("only Windows has drives");
#endif
}

void MusicTree::addRawFile(const QString& relative, const QByteArray& rawName) const {
    addRaw(relative, rawName, false);
}

void MusicTree::addRawFolder(const QString& relative, const QByteArray& rawName) const {
    addRaw(relative, rawName, true);
}

void MusicTree::addRaw(const QString& relative, const QByteArray& rawName, bool folder) const {
#ifdef Q_OS_UNIX
    addFolder(relative);
    const QByteArray full = QFile::encodeName(m_dir.path() + u'/' + relative) + '/' + rawName;
    const int fd = folder ? ::mkdir(full.constData(), 0755)
                          : ::open(full.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        qFatal("cannot create a raw name in %s", qPrintable(relative));
    }
    if (!folder) {
        ::close(fd);
    }
#else
    Q_UNUSED(relative)
    Q_UNUSED(rawName)
    Q_UNUSED(folder)
#endif
}

CurrentDirectoryScope::CurrentDirectoryScope(const QString& path) : m_before(QDir::currentPath()) {
    if (!QDir::setCurrent(path)) {
        qFatal("cannot enter %s", qPrintable(path));
    }
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    QDir::setCurrent(m_before);
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool underWine() {
#ifdef Q_OS_WIN
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

QString systemReason(const char* posix, int windowsCode) {
#ifdef Q_OS_WIN
    Q_UNUSED(posix)
    return qt_error_string(windowsCode);
#else
    Q_UNUSED(windowsCode)
    return QString::fromUtf8(posix);
#endif
}

#ifndef Q_OS_WIN
namespace {

int entriesOf(const QString& folder) {
    return int(
        QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

}  // namespace
#endif

#ifdef Q_OS_WIN
namespace {

// The system's list of every open handle (SystemExtendedHandleInformation),
// which Wine also keeps; its GetProcessHandleCount always says 0.
struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTraceIndex;
    USHORT objectType;
    ULONG attributes;
    ULONG reserved;
};
struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
constexpr ULONG kExtendedHandleInformation = 64;
constexpr LONG kInfoLengthMismatch = LONG(0xC0000004);

}  // namespace
#endif

int openDescriptors() {
#ifdef Q_OS_WIN
    using Query = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    LONG status;
    while ((status = query(kExtendedHandleInformation, buffer.data(), ULONG(buffer.size()),
                           nullptr)) == kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        qFatal("cannot list handles: status %lx", static_cast<unsigned long>(status));
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.constData());
    int handles = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        handles += list->entries[i].processId == ::GetCurrentProcessId() ? 1 : 0;
    }
    return handles;
#else
    return entriesOf(QStringLiteral("/proc/self/fd"));
#endif
}

#ifdef Q_OS_WIN
int runningThreads() {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        qFatal("cannot list threads: %s", qPrintable(qt_error_string(int(::GetLastError()))));
    }
    int threads = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (bool more = ::Thread32First(snapshot, &entry); more;
         more = ::Thread32Next(snapshot, &entry)) {
        threads += entry.th32OwnerProcessID == ::GetCurrentProcessId() ? 1 : 0;
    }
    ::CloseHandle(snapshot);
    return threads;
}
#endif

#ifdef Q_OS_UNIX
namespace {

// The user and group "nobody" of Debian and most other systems.
constexpr uid_t kNobody = 65534;

}  // namespace

int runningThreads() {
    return entriesOf(QStringLiteral("/proc/self/task"));
}

Unprivileged::Unprivileged(const QString& tree) {
    if (::geteuid() != 0) {
        return;
    }
    QStringList paths{tree};
    QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        paths << it.next();
    }
    for (const QString& path : paths) {
        if (::lchown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0) {
            return;
        }
    }
    // glibc changes the ids of every thread of the process, the readers too.
    if (::setegid(kNobody) != 0) {
        return;
    }
    if (::seteuid(kNobody) != 0) {
        (void)::setegid(0);
        return;
    }
    m_switched = true;
}

Unprivileged::~Unprivileged() {
    if (m_switched && (::seteuid(0) != 0 || ::setegid(0) != 0)) {
        qFatal("cannot run as root again");
    }
}

bool Unprivileged::active() const {
    return ::geteuid() != 0;
}
#endif
