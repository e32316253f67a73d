#include "fserror.h"
#include "musictree.h"
#include "paths.h"
#include "realfilesystem.h"

#include <QDir>
#include <QStringEncoder>
#include <QTest>

#include <algorithm>
#include <functional>
#include <vector>
#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <cerrno>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using fsservice::File;
using fsservice::Folder;
using fsservice::FsError;
using fsservice::RealFileSystem;
using Reading = RealFileSystem::Reading;

Q_DECLARE_METATYPE(Reading)

namespace {

// "name" for a plain file, "name (hidden)", "name (system)", "name (hidden, system)".
QStringList describe(const fsservice::FileList& files) {
    QStringList lines;
    for (const File file : files) {
        QStringList marks;
        if (file.isHidden()) {
            marks << "hidden";
        }
        if (file.isSystem()) {
            marks << "system";
        }
        const QString name = file.Name().toString();
        lines << (marks.isEmpty() ? name : name + " (" + marks.join(", ") + ")");
    }
    return lines;
}

QStringList subFolderNames(const Folder& folder) {
    QStringList names;
    for (const auto& sub : folder.SubFolders()) {
        names << sub.Name;
    }
    return names;
}

QString errorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const FsError& error) {
        return error.message();
    }
    return QStringLiteral("no error");
}

#ifdef Q_OS_LINUX
// Mounts made for one test, taken away again in reverse order.
class Mounts {
public:
    Mounts() = default;
    ~Mounts() {
        for (auto point = m_points.rbegin(); point != m_points.rend(); ++point) {
            ::umount2(point->constData(), MNT_DETACH);
        }
    }
    Q_DISABLE_COPY_MOVE(Mounts)

    bool add(const QString& source, const QString& target, const char* type, unsigned long flags) {
        const QByteArray point = QFile::encodeName(target);
        if (::mount(QFile::encodeName(source).constData(), point.constData(), type, flags,
                    nullptr) != 0) {
            return false;
        }
        m_points.push_back(point);
        return true;
    }

private:
    std::vector<QByteArray> m_points;
};

quint64 inodeOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}
#endif

}  // namespace

class FsServiceTest final : public QObject {
    Q_OBJECT

private slots:
    void readings_data();
    void folderContents_data() { readings_data(); }
    void folderContents();
    void listingSkipsFoldersHiddenAndSystem_data() { readings_data(); }
    void listingSkipsFoldersHiddenAndSystem();
    void pathsAndNames_data();
    void pathsAndNames();
    void subFolderPathsJoinOnce_data() { readings_data(); }
    void subFolderPathsJoinOnce();
    void linkLeadsToSameFolderId_data();
    void linkLeadsToSameFolderId();
    void mountedFolderHasItsOwnId();
    void failuresCarryPathAndReason_data();
    void failuresCarryPathAndReason();
    void wildcard_data();
    void wildcard();
    void namesThatAreNotUtf8();
    void streamEncodings_data();
    void streamEncodings();
    void streamPutsFileInPlaceOnlyOnClose();
    void streamWithoutOverwriteRefusesExistingFile();
    void streamOfManyLinesIsComplete();
};

void FsServiceTest::readings_data() {
    QTest::addColumn<Reading>("reading");
#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
    QTest::newRow("native") << Reading::Native;
#endif
    QTest::newRow("qt") << Reading::Qt;
}

void FsServiceTest::folderContents() {
    QFETCH(Reading, reading);
    MusicTree tree;
    tree.addEntries({"Track 10.mp3", "track 2.MP3", ".hidden.mp3 (hidden)", "cover.jpg", "B/x.mp3",
                     "a/y.mp3", "Target/z.mp3", "real.mp3",
                     QStringLiteral("pipe.mp3") + kSystemMark});
    tree.addLink("link to folder", tree.path("Target"));
    tree.addLink("link to file.mp3", tree.path("real.mp3"));
    tree.addLink("broken.mp3", tree.path("nowhere"));

    RealFileSystem fso(reading);
    const Folder folder = fso.GetFolder(tree.root());
    QCOMPARE(subFolderNames(folder), QStringList({"a", "B", "link to folder", "Target"}));
    QStringList expected = {".hidden.mp3 (hidden)", "broken.mp3 (system)", "cover.jpg",
                            "link to file.mp3",     "pipe.mp3 (system)",   "real.mp3",
                            "track 2.MP3",          "Track 10.mp3"};
    if (underWine()) {
        // Wine lists no broken link of its Unix host.
        expected.removeOne("broken.mp3 (system)");
    }
    QCOMPARE(describe(folder.Files()), expected);
    QCOMPARE(folder.SubFolders()[2].Path, tree.path("link to folder"));
}

void FsServiceTest::listingSkipsFoldersHiddenAndSystem() {
    QFETCH(Reading, reading);
    MusicTree tree;
    tree.addEntries({".hidden.mp3 (hidden)", "folder.mp3/inside.txt", "B.Mp3", "a.mp3", "a.mp3.txt",
                     QStringLiteral("pipe.mp3") + kSystemMark});
#ifdef Q_OS_WIN
    // Only the attributes hide a file on Windows, whatever its name.
    tree.addEntries({"secret.mp3 (hidden)", "boot.mp3 (system)"});
#endif
    tree.addLink("broken.mp3", tree.path("nowhere"));

    RealFileSystem fso(reading);
    QCOMPARE(fso.GetFolder(tree.root()).Listing(u"*.mp3"), QStringList({"a.mp3", "B.Mp3"}));
    QCOMPARE(fso.ListFiles(tree.root() + QDir::separator() + "*.MP3"),
             QStringList({"a.mp3", "B.Mp3"}));
    QCOMPARE(fso.GetFolder(tree.path("folder.mp3")).FirstListed(u"*.mp3"), QString());
}

void FsServiceTest::pathsAndNames_data() {
    QTest::addColumn<QString>("typed");  // relative to the tree; "/" stands for the root
    QTest::addColumn<QString>("path");   // expected Path, relative to the tree
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << "Music"
                           << "Music"
                           << "Music";
    QTest::newRow("trailing separator") << "Music/"
                                        << "Music"
                                        << "Music";
    QTest::newRow("dot and dot-dot as text") << "Music/./Rock/../Pop"
                                             << "Music/Pop"
                                             << "Pop";
    QTest::newRow("doubled separator") << "Music//Pop"
                                       << "Music/Pop"
                                       << "Pop";
}

void FsServiceTest::pathsAndNames() {
    QFETCH(QString, typed);
    QFETCH(QString, path);
    QFETCH(QString, name);
    MusicTree tree;
    tree.addFolder("Music/Pop");
    tree.addFolder("Music/Rock");

    RealFileSystem fso;
    const Folder absolute = fso.GetFolder(tree.path(typed));
    QCOMPARE(absolute.Path(), tree.path(path));
    QCOMPARE(absolute.Name(), name);

    // A relative path resolves against the current directory.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tree.root()));
    const Folder relative = fso.GetFolder(QDir::toNativeSeparators(typed));
    QDir::setCurrent(before);
    QCOMPARE(relative.Path(), tree.path(path));
}

void FsServiceTest::subFolderPathsJoinOnce() {
    QFETCH(Reading, reading);
    RealFileSystem fso(reading);
    // A root's Path keeps its separator: "/" or "C:\".
    const QString rootPath = QDir::toNativeSeparators(QDir::rootPath());
    const Folder root = fso.GetFolder(rootPath);
    QCOMPARE(root.Path(), rootPath);
    QVERIFY(root.Path().endsWith(QDir::separator()));
    QCOMPARE(root.Name(), QString());
    QVERIFY(!root.SubFolders().empty());
    const auto& first = root.SubFolders().front();
    QCOMPARE(first.Path, rootPath + first.Name);
    QCOMPARE(fso.GetFolder(root, first).Path(), first.Path);
}

void FsServiceTest::linkLeadsToSameFolderId_data() {
    QTest::addColumn<Reading>("reading");
    QTest::addColumn<QStringList>("walk");  // sub-folder names from Music down
    QTest::addColumn<QString>("same");      // the folder reached, relative to the tree

    QList<std::pair<QByteArray, Reading>> readings;
#if defined(Q_OS_UNIX) || defined(Q_OS_WIN)
    readings.append({"native: ", Reading::Native});
#endif
    readings.append({"qt: ", Reading::Qt});
    for (const auto& [name, reading] : readings) {
        QTest::newRow(name + "link up to the parent")
            << reading << QStringList{"Rock", "up"} << "Music";
        QTest::newRow(name + "link to itself")
            << reading << QStringList{"Rock", "self"} << "Music/Rock";
        QTest::newRow(name + "absolute link to the music folder")
            << reading << QStringList{"Rock", "top"} << "Music";
        QTest::newRow(name + "plain folder below a link")
            << reading << QStringList{"Rock", "top", "Rock"} << "Music/Rock";
    }
}

void FsServiceTest::linkLeadsToSameFolderId() {
    QFETCH(Reading, reading);
    QFETCH(QStringList, walk);
    QFETCH(QString, same);
    MusicTree tree;
    tree.addFolder("Music/Rock");
    tree.addLink("Music/Rock/up", "..");
    tree.addLink("Music/Rock/self", ".");
    tree.addLink("Music/Rock/top", tree.path("Music"));

    RealFileSystem fso(reading);
    std::vector<Folder> wayDown{fso.GetFolder(tree.path("Music"))};
    for (const QString& name : walk) {
        const auto& subFolders = wayDown.back().SubFolders();
        const auto sub = std::find_if(subFolders.begin(), subFolders.end(),
                                      [&name](const auto& s) { return s.Name == name; });
        QVERIFY2(sub != subFolders.end(), qPrintable(name));
        wayDown.push_back(fso.GetFolder(wayDown.back(), *sub));
    }
    QCOMPARE(wayDown.back().Path(), tree.path("Music/" + walk.join('/')));
    QVERIFY(wayDown.back().id() == fso.GetFolder(tree.path(same)).id());
    QVERIFY(!(wayDown[1].id() == wayDown[0].id()));
}

void FsServiceTest::mountedFolderHasItsOwnId() {
#ifndef Q_OS_LINUX
    QSKIP("bind mounts in a private mount namespace are Linux's");
#else
    // The Qt reader knows folders by their resolved paths, which a bind mount
    // does not change; only the POSIX reader is asked here.
    //
    // "music/p" is another file system, and its "m" shows the music folder
    // again through a bind mount. Two fresh tmpfs number their folders alike
    // (each root 1, then 2, 3 in the order made), so the folder underneath "m"
    // has the music folder's inode number: p's own entry for "m", and m's "."
    // entry, both say 2. Only the opened folder itself says which file system.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        QSKIP(qPrintable("no private mount namespace here (it takes root): " +
                         qt_error_string(errno)));
    }
    MusicTree tree;
    tree.addFolder("b");
    Mounts mounts;
    QVERIFY(mounts.add("tmpfs", tree.path("b"), "tmpfs", 0));
    tree.addFolder("b/music/p");
    tree.addFile("b/music/x.mp3");
    QVERIFY(mounts.add("tmpfs", tree.path("b/music/p"), "tmpfs", 0));
    tree.addFolder("b/music/p/m");
    if (inodeOf(tree.path("b/music")) != inodeOf(tree.path("b/music/p/m"))) {
        QSKIP("the two tmpfs did not number their folders alike");
    }
    QVERIFY(mounts.add(tree.path("b/music"), tree.path("b/music/p/m"), nullptr, MS_BIND));

    RealFileSystem fso(Reading::Native);
    const Folder music = fso.GetFolder(tree.path("b/music"));
    const Folder p = fso.GetFolder(music, music.SubFolders().front());
    const Folder m = fso.GetFolder(p, p.SubFolders().front());
    QCOMPARE(m.Path(), tree.path("b/music/p/m"));
    QCOMPARE(describe(m.Files()), QStringList("x.mp3"));
    QVERIFY(m.id() == music.id());
    QVERIFY(!(p.id() == music.id()));
#endif
}

void FsServiceTest::failuresCarryPathAndReason_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path");    // relative to the tree
    QTest::addColumn<QString>("reason");  // the system's text; empty: no error

    // Each system's own reason: the errno text, or on Windows the text of
    // the GetLastError code, as that Windows words it.
    const auto reason = systemReason;
#ifndef Q_OS_WIN
    constexpr int ERROR_FILE_NOT_FOUND = 0, ERROR_PATH_NOT_FOUND = 0, ERROR_DIRECTORY = 0,
                  ERROR_ALREADY_EXISTS = 0;
#endif
    QTest::newRow("read missing folder")
        << "GetFolder"
        << "missing" << reason("No such file or directory", ERROR_FILE_NOT_FOUND);
    QTest::newRow("read a file as folder")
        << "GetFolder"
        << "file.mp3" << reason("Not a directory", ERROR_DIRECTORY);
    // The Qt reader asks why only when a listing comes back empty.
    QTest::newRow("qt: read missing folder")
        << "GetFolder qt"
        << "missing" << reason("No such file or directory", ERROR_PATH_NOT_FOUND);
    QTest::newRow("qt: read a file as folder")
        << "GetFolder qt"
        << "file.mp3" << reason("Not a directory", ERROR_DIRECTORY);
    QTest::newRow("qt: read an empty folder: no error") << "GetFolder qt"
                                                        << "Music" << QString();
    QTest::newRow("create folder without parent")
        << "CreateFolder"
        << "missing/xml" << reason("No such file or directory", ERROR_PATH_NOT_FOUND);
    QTest::newRow("create existing folder")
        << "CreateFolder"
        << "Music" << reason("File exists", ERROR_ALREADY_EXISTS);
    QTest::newRow("text file in missing folder")
        << "CreateTextFile"
        << "missing/playlist.xml" << reason("No such file or directory", ERROR_PATH_NOT_FOUND);
}

void FsServiceTest::failuresCarryPathAndReason() {
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QString, reason);
    MusicTree tree;
    tree.addFile("file.mp3");
    tree.addFolder("Music");

    RealFileSystem fso;
    const QString full = tree.path(path);
    const QString message = errorOf([&] {
        if (operation == "GetFolder") {
            fso.GetFolder(full);
        } else if (operation == "GetFolder qt") {
            RealFileSystem(Reading::Qt).GetFolder(full);
        } else if (operation == "CreateFolder") {
            fso.CreateFolder(full);
        } else {
            fso.CreateTextFile(full, true, true);
        }
    });
    QCOMPARE(message, reason.isEmpty() ? QStringLiteral("no error") : full + ": " + reason);
}

void FsServiceTest::wildcard_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");

    QTest::newRow("suffix") << "song.mp3"
                            << "*.mp3" << true;
    QTest::newRow("suffix any case") << "SONG.Mp3"
                                     << "*.mp3" << true;
    QTest::newRow("only the suffix") << ".mp3"
                                     << "*.mp3" << true;
    QTest::newRow("suffix not at end") << "song.mp3.txt"
                                       << "*.mp3" << false;
    QTest::newRow("two stars") << "Party Playlist 2.xml"
                               << "*playlist*.xml" << true;
    QTest::newRow("two stars, nothing between") << "playlist.xml"
                                                << "*playlist*.xml" << true;
    QTest::newRow("pieces may not overlap") << "playlist.xml"
                                            << "*playlist.xml*.xml" << false;
    QTest::newRow("middle missing") << "rock.xml"
                                    << "*playlist*.xml" << false;
    QTest::newRow("middle only in tail") << "x.playlist"
                                         << "*playlist*.playlist" << false;
    QTest::newRow("no star") << "ABC"
                             << "abc" << true;
    QTest::newRow("non-ASCII case") << "\u00c9T\u00c9.MP3"
                                    << "\u00e9t\u00e9*" << true;
}

void FsServiceTest::wildcard() {
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(fsservice::matchesWildcard(name, pattern), matches);
}

void FsServiceTest::namesThatAreNotUtf8() {
#ifndef Q_OS_UNIX
    QSKIP("only POSIX file systems hold names that are not text");
#else
    MusicTree tree;
    tree.addRawFile("Music", QByteArray("bad\xff.mp3"));
    tree.addRawFolder("Music", QByteArray("Caf\xe9"));
    tree.addRawFile("Music/Caf\xef\xbf\xbd", QByteArray("in valid.mp3"));
    RealFileSystem fso(Reading::Native);
    const Folder music = fso.GetFolder(tree.path("Music"));
    const QString replaced = QString::fromUtf8("Caf\xef\xbf\xbd");
    QCOMPARE(describe(music.Files()), QStringList({QString::fromUtf8("bad\xef\xbf\xbd.mp3")}));
    // Two folders read with the same name: the one whose name is not text and
    // the one really named with U+FFFD. Each is still reached through its parent.
    QCOMPARE(subFolderNames(music), QStringList({replaced, replaced}));
    QStringList contents;
    for (const auto& sub : music.SubFolders()) {
        const Folder folder = fso.GetFolder(music, sub);
        QCOMPARE(folder.Path(), tree.path("Music/" + replaced));
        contents << describe(folder.Files()).join(",");
    }
    contents.sort();
    QCOMPARE(contents, QStringList({"", "in valid.mp3"}));
#endif
}

void FsServiceTest::streamEncodings_data() {
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<QByteArray>("bytes");

    const QString text = QString::fromUtf8("A\u00e9\xf0\x9f\x8e\xb5");  // A, é, 🎵
    QTest::newRow("unicode: UTF-16LE with mark") << true
                                                 << QByteArray(
                                                        "\xFF\xFE"
                                                        "A\0\xE9\0\x3C\xD8\xB5\xDF\r\0\n\0"
                                                        "x\0\r\0\n\0",
                                                        20);
#ifdef Q_OS_WIN
    // The ANSI code page: Windows-1252 under Wine's default, where each UTF-16
    // unit of a character it cannot hold becomes "?" (two for the note).
    QTest::newRow("8-bit: ANSI code page 1252, no mark") << false << QByteArray("A\xE9??\r\nx\r\n");
#else
    QTest::newRow("8-bit: UTF-8, no mark")
        << false << QByteArray("A\xC3\xA9\xF0\x9F\x8E\xB5\r\nx\r\n");
#endif
}

void FsServiceTest::streamEncodings() {
    QFETCH(bool, unicode);
    QFETCH(QByteArray, bytes);
#ifdef Q_OS_WIN
    if (!unicode && ::GetACP() != 1252) {
        QSKIP("the ANSI code page here is not Windows-1252");
    }
#endif
    MusicTree tree;
    RealFileSystem fso;
    const auto ts = fso.CreateTextFile(tree.path("out.xml"), true, unicode);
    ts->WriteLine(QString::fromUtf8("A\u00e9\xf0\x9f\x8e\xb5"));
    ts->WriteLine(u"x");
    ts->Close();
    QCOMPARE(readBytes(tree.path("out.xml")), bytes);
}

void FsServiceTest::streamPutsFileInPlaceOnlyOnClose() {
    MusicTree tree;
    tree.addFile("playlist.xml", "earlier");
    RealFileSystem fso;
    {
        const auto ts = fso.CreateTextFile(tree.path("playlist.xml"), true, true);
        ts->WriteLine(u"new");
        QCOMPARE(readBytes(tree.path("playlist.xml")), QByteArray("earlier"));
        // Destroyed without Close: the run failed, the earlier file stays.
    }
    QCOMPARE(readBytes(tree.path("playlist.xml")), QByteArray("earlier"));
    QCOMPARE(QDir(tree.root()).entryList(QDir::Files | QDir::Hidden), QStringList("playlist.xml"));

    const auto ts = fso.CreateTextFile(tree.path("playlist.xml"), true, false);
    ts->WriteLine(u"new");
    ts->Close();
    QCOMPARE(readBytes(tree.path("playlist.xml")), QByteArray("new\r\n"));
}

void FsServiceTest::streamWithoutOverwriteRefusesExistingFile() {
    MusicTree tree;
    tree.addFile("playlist.xml", "earlier");
    RealFileSystem fso;
    const QString path = tree.path("playlist.xml");
#ifndef Q_OS_WIN
    constexpr int ERROR_FILE_EXISTS = 0;
#endif
    QCOMPARE(errorOf([&] { fso.CreateTextFile(path, false, true); }),
             path + ": " + systemReason("File exists", ERROR_FILE_EXISTS));
    QCOMPARE(readBytes(path), QByteArray("earlier"));
}

void FsServiceTest::streamOfManyLinesIsComplete() {
    // Lines cross the stream's internal blocks; none may be lost or split.
    MusicTree tree;
    RealFileSystem fso;
    QStringList lines;
    for (int i = 0; i < 20000; ++i) {
        lines << QStringLiteral("line %1 ").arg(i) + QString(i % 97, QChar(0x00e9));
    }
    const auto ts = fso.CreateTextFile(tree.path("big.xml"), true, false);
    for (const QString& line : lines) {
        ts->WriteLine(line);
    }
    ts->Close();
    QStringEncoder system(QStringConverter::System);
    const QByteArray expected = system(lines.join("\r\n") + "\r\n");
    QCOMPARE(readBytes(tree.path("big.xml")), expected);
}

QTEST_GUILESS_MAIN(FsServiceTest)
#include "tst_fsservice.moc"
