#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>

/// A folder tree built for one test in a temporary folder that is removed
/// afterwards. Relative paths use '/'; paths handed out use native separators.
class MusicTree {
public:
    MusicTree();
    ~MusicTree();
    Q_DISABLE_COPY_MOVE(MusicTree)

    /// The tree's root, native separators, no trailing separator.
    QString root() const;
    /// root() joined with `relative`; root() itself for an empty text.
    QString path(const QString& relative) const;

    /// Creates the folder and any missing parents.
    void addFolder(const QString& relative) const;
    /// Creates the file (and its folder) holding `content`.
    void addFile(const QString& relative, const QByteArray& content = {}) const;
    /// Several empty files at once.
    void addFiles(const QStringList& relatives) const;
    /// Entries in the form parseTree reads, made by buildTree in the order
    /// written: "a/b.mp3" an empty file, "a/b/" a folder, "a/l -> target" a
    /// link to the target as written, "a/p |" a FIFO. On Windows
    /// "a/b.mp3 (hidden)" and "a/b.mp3 (system)" also give the file that
    /// attribute; elsewhere the mark is dropped (a name starting with '.' is
    /// what hides a file there).
    void addEntries(const QStringList& entries) const;
    /// A symbolic link at `relative` pointing to `target` (used as given). On
    /// Windows CreateSymbolicLinkW makes it (which needs Developer Mode there);
    /// Wine 8 only pretends to, but shows a link of its Unix host as a reparse
    /// point, so under Wine the host's ln makes it.
    void addLink(const QString& relative, const QString& target) const;
    /// Creates a file or folder whose name is raw bytes (possibly invalid UTF-8)
    /// inside the folder `relative`; POSIX only.
    void addRawFile(const QString& relative, const QByteArray& rawName) const;
    void addRawFolder(const QString& relative, const QByteArray& rawName) const;

    /// Windows: gives the tree a drive of its own, as subst does, until the
    /// tree goes; returns its name, "T:".
    QString asDrive();

private:
    void addRaw(const QString& relative, const QByteArray& rawName, bool folder) const;

    QTemporaryDir m_dir;
    QString m_drive;
    QString m_driveLink;  // under Wine: the link in the prefix that makes the drive
};

/// A symbolic link at the path `path` pointing to `target` (used as given,
/// '/' between names), made as MusicTree::addLink makes it.
void makeLink(const QString& path, const QString& target);

#ifdef Q_OS_WIN
/// Under Wine: creates the empty files `names` in the folder `folder` through
/// Wine's Unix host, in one command. Wine looks through the whole folder for
/// each name it creates (to match it in any letter case), which makes a folder
/// of many thousand files take minutes.
void addFilesThroughHost(const QString& folder, const QStringList& names);
#endif

/// Makes `path` the process's current directory for one scope.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const QString& path);
    ~CurrentDirectoryScope();
    Q_DISABLE_COPY_MOVE(CurrentDirectoryScope)

private:
    QString m_before;
};

/// Reads a whole file; an empty array when it cannot be read.
QByteArray readBytes(const QString& path);

/// How many descriptors this process has open: the entries of /proc/self/fd,
/// on Windows its handles.
int openDescriptors();

#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
/// How many threads this process runs (the entries of /proc/self/task, on
/// Windows the system's list of threads).
int runningThreads();
#endif

/// A RealFileSystem's slow read that makes it read ahead from the first
/// folder on, however quickly the test's folders come from the cache.
inline constexpr std::chrono::microseconds kReadAheadAlways{0};

#ifdef Q_OS_UNIX
/// For one scope, runs the process as an unprivileged user when it runs as
/// root, for whom no folder is ever shut; `tree` is handed to that user first.
class Unprivileged {
public:
    explicit Unprivileged(const QString& tree);
    ~Unprivileged();
    Q_DISABLE_COPY_MOVE(Unprivileged)

    /// Permissions apply: the process did not run as root, or no longer does.
    bool active() const;

private:
    bool m_switched = false;
};
#endif

/// True when this Windows program runs under Wine.
bool underWine();

#ifdef Q_OS_WIN
/// The text as Windows' wide-character calls take it; valid while `text` is.
const wchar_t* wide(const QString& text);
#endif

/// The system's text for a failure: `posix` where errno texts are the
/// system's, the text of the GetLastError code `windowsCode` on Windows
/// (which differs between Windows and Wine, and between languages).
QString systemReason(const char* posix, int windowsCode);

/// Entry marks for addEntries: a file that is neither a regular file nor a
/// folder is a FIFO on POSIX, a file with the system attribute on Windows.
#ifdef Q_OS_WIN
inline constexpr char kSystemMark[] = " (system)";
#else
inline constexpr char kSystemMark[] = " |";
#endif
