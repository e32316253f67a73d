#include "musictree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

MusicTree::~MusicTree() {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(m_dir.path()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        removeContents(fd);
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
    for (const QString& entry : entries) {
        if (entry.contains(QLatin1String(" -> "))) {
            addLink(entry.section(QLatin1String(" -> "), 0, 0),
                    entry.section(QLatin1String(" -> "), 1));
        } else if (entry.endsWith(QLatin1String(" |"))) {
            addFifo(entry.chopped(2));
        } else if (entry.endsWith(u'/')) {
            addFolder(entry);
        } else {
            addFile(entry);
        }
    }
}

void MusicTree::addLink(const QString& relative, const QString& target) const {
    const QString full = m_dir.path() + u'/' + relative;
    QDir().mkpath(QFileInfo(full).path());
#ifdef Q_OS_UNIX
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData()) !=
        0) {
        qFatal("cannot link %s", qPrintable(full));
    }
#else
    if (!QFile::link(target, full)) {
        qFatal("cannot link %s", qPrintable(full));
    }
#endif
}

void MusicTree::addFifo(const QString& relative) const {
#ifdef Q_OS_UNIX
    const QString full = m_dir.path() + u'/' + relative;
    QDir().mkpath(QFileInfo(full).path());
    if (::mkfifo(QFile::encodeName(full).constData(), 0644) != 0) {
        qFatal("cannot make FIFO %s", qPrintable(full));
    }
#else
    Q_UNUSED(relative)
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

namespace {

int entriesOf(const QString& folder) {
    return int(
        QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

// The user and group "nobody" of Debian and most other systems.
constexpr uid_t kNobody = 65534;

}  // namespace

int openDescriptors() {
    return entriesOf(QStringLiteral("/proc/self/fd"));
}

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
