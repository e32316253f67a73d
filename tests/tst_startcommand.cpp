#include "jukebox.h"
#include "playlistxml.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"

#include <QDir>
#include <QStringDecoder>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using fsservice::RealFileSystem;
using writer::StartCommand;
using Operation = FaultyFileSystem::Operation;

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(FaultRow)

namespace {

/// A service whose current directory is the given one; all else is real.
class JukeboxFileSystem final : public fsservice::ForwardingFileSystem {
public:
    JukeboxFileSystem(FileSystem& target, QString current)
        : ForwardingFileSystem(target), m_current(std::move(current)) {}
    QString CurrentDirectory() override { return m_current; }

private:
    QString m_current;
};

}  // namespace

class StartCommandTest final : public QObject {
    Q_OBJECT

private slots:
    void playlistFolder_data();
    void playlistFolder();
    void inputChecks_data();
    void inputChecks();
    void playlistFolderCreatedOnlyOneLevel();
    void driveRootDoublesTheSeparator();
    void removedCurrentDirectoryIsAnError();
    void replaceAnsweredNoTouchesNothing();
    void replaceAnsweredYesRewritesBoth();
    void secondPressAsksToReplace();
    void indexByteForByte_data();
    void indexByteForByte();
    void faults_data();
    void faults();
    void nextRunAfterAFaultWorks();
};

void StartCommandTest::playlistFolder_data() {
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("folder");

    QTest::newRow("fscommand at the end") << "/home/ann/jukebox/fscommand"
                                          << "/home/ann/jukebox/xml/";
    QTest::newRow("no fscommand") << "/home/ann/jukebox"
                                  << "/home/ann/jukebox/xml/";
    QTest::newRow("any case, anywhere") << "/FSCommand/jukebox"
                                        << "/jukebox/xml/";
    QTest::newRow("every occurrence") << "/a/fscommand/b/FSCOMMAND"
                                      << "/a/b/xml/";
    QTest::newRow("a name that begins with fscommand stays") << "/jukebox/fscommandos"
                                                             << "/jukebox/fscommandos/xml/";
    QTest::newRow("a name that ends in fscommand stays") << "/jukebox/my fscommand"
                                                         << "/jukebox/my fscommand/xml/";
    QTest::newRow("whole folder and name beginning so in one path")
        << "/a/FScommand/fscommandos/fscommand"
        << "/a/fscommandos/xml/";
    QTest::newRow("root doubles the separator") << "/"
                                                << "//xml/";
#ifdef Q_OS_WIN
    QTest::newRow("drive: fscommand at the end") << "C:\\Jukebox\\fscommand"
                                                 << "C:\\Jukebox\\xml\\";
    QTest::newRow("drive: any case, anywhere") << "C:\\FSCommand\\Jukebox"
                                               << "C:\\Jukebox\\xml\\";
    QTest::newRow("drive: a name that begins with fscommand stays")
        << "C:\\Jukebox\\fscommandos"
        << "C:\\Jukebox\\fscommandos\\xml\\";
    QTest::newRow("drive root doubles the separator") << "C:\\"
                                                      << "C:\\\\xml\\";
#endif
}

void StartCommandTest::playlistFolder() {
    QFETCH(QString, current);
    QFETCH(QString, folder);
    QCOMPARE(StartCommand::playlistFolder(QDir::toNativeSeparators(current)),
             QDir::toNativeSeparators(folder));
}

void StartCommandTest::inputChecks_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("path");  // {music} stands for the music folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("events");

    for (const QString language : {"en", "nl"}) {
        const texts::Texts& t = textsFor(language);
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "both boxes empty")
            << language << ""
            << "" << QStringList{"beep", "message Exclamation: " + t.pathMissing, "focus PathText"};
        QTest::newRow(row + "name empty")
            << language << "{music}"
            << ""
            << QStringList{"beep", "message Exclamation: " + t.nameMissing, "focus PlayListName"};
        // The path is shown as typed; the focus goes back to the path box.
        const auto notFound = [&t](const QString& typed) {
            return QStringList{"beep", "message Exclamation: " + t.pathNotFound.arg(typed),
                               "focus PathText"};
        };
        QTest::newRow(row + "folder missing") << language << "{music}/nowhere"
                                              << "playlist" << notFound("{music}/nowhere");
        QTest::newRow(row + "spaces are a path that does not exist")
            << language << "   "
            << "playlist" << notFound("   ");
        QTest::newRow(row + "a file is not a folder") << language << "{music}/a.mp3"
                                                      << "playlist" << notFound("{music}/a.mp3");
    }
}

void StartCommandTest::inputChecks() {
    QFETCH(QString, language);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QStringList, events);
    MusicTree tree;
    tree.addFiles({"Music/a.mp3"});
    const QString music = tree.path("Music");

    RealFileSystem real;
    JukeboxFileSystem fso(real, tree.path("jukebox"));
    tree.addFolder("jukebox");
    RecordingView view;
    view.path = QString(path).replace("{music}", music).replace('/', QDir::separator());
    view.name = name;
    StartCommand(fso, view, textsFor(language)).run();

    QCOMPARE(view.events,
             events.replaceInStrings("{music}", music).replaceInStrings("/", QDir::separator()));
    // The playlist folder is made before any check; nothing is written into it.
    QVERIFY(QFileInfo(tree.path("jukebox/xml")).isDir());
    QCOMPARE(QDir(tree.path("jukebox/xml")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
}

void StartCommandTest::playlistFolderCreatedOnlyOneLevel() {
    // Only the last level is created: a current directory whose fscommand-less
    // form has no parent fails before any check.
    MusicTree tree;
    tree.addFolder("A/fscommand/B");
    RealFileSystem real;
    JukeboxFileSystem fso(real, tree.path("A/fscommand/B"));
    RecordingView view;
    view.path = "";
    StartCommand(fso, view, texts::english).run();
    const QString folder = tree.path("A/B/xml/");
#ifndef Q_OS_WIN
    constexpr int ERROR_PATH_NOT_FOUND = 0;
#endif
    QCOMPARE(
        view.events,
        QStringList({"beep", "message Critical: Error: " + folder + ": " +
                                 systemReason("No such file or directory", ERROR_PATH_NOT_FOUND)}));
}

void StartCommandTest::driveRootDoublesTheSeparator() {
#ifndef Q_OS_WIN
    QSKIP("only Windows has drive roots");
#else
    // The tree gets a drive of its own, as subst makes one, and its root is
    // the current directory: "T:\" with its separator, so the playlist folder
    // is "T:\\xml\", and the messages and the index show it so.
    MusicTree tree;
    tree.addFiles({"Music/a.mp3"});
    const QString drive = tree.asDrive();
    {
        const CurrentDirectoryScope root(drive + "\\");
        RealFileSystem real;
        QCOMPARE(real.CurrentDirectory(), drive + "\\");
        RecordingView view;
        view.path = drive + "\\Music";
        StartCommand(real, view, texts::english).run();
        const QString folder = drive + "\\\\xml\\";
        QCOMPARE(view.events,
                 QStringList({"beep", "message Information: " +
                                          texts::english.playlistReady.arg(folder + "playlist")}));
        QCOMPARE(
            xmlOutline(readBytes(folder + kIndexName)),
            QStringList({"filelist", "file name=[playlist] path=[" + folder + "playlist.xml]"}));
    }
    QCOMPARE(xmlOutline(readBytes(tree.path("xml/playlist.xml"))),
             QStringList({"playlist type=[local]", "album path=[T:\\Music] title=[Music]",
                          "mp3 title=[a.mp3] track=[a]"}));
#endif
}

void StartCommandTest::removedCurrentDirectoryIsAnError() {
#ifdef Q_OS_LINUX
    // Started in a folder that is then removed: the current directory must not
    // come back empty, or the playlist folder would be made at the root.
    MusicTree tree;
    tree.addFiles({"Music/a.mp3"});
    tree.addFolder("gone");
    const QString gone = tree.path("gone");
    const bool rootXmlBefore = QFileInfo::exists("/xml");
    const CurrentDirectoryScope inside(gone);
    QVERIFY(QDir().rmdir(gone));
    RealFileSystem fso;
    RecordingView view;
    view.path = tree.path("Music");
    StartCommand(fso, view, texts::english).run();
    QCOMPARE(view.events, QStringList({"beep", "message Critical: Error: " + gone +
                                                   ": No such file or directory"}));
    QCOMPARE(QFileInfo::exists("/xml"), rootXmlBefore);
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"Music"});
#else
    QSKIP("Only Linux removes a process's current directory from under it");
#endif
}

void StartCommandTest::replaceAnsweredNoTouchesNothing() {
    const Jukebox jukebox;
    const QStringList before = jukebox.playlistFolder();
    RealFileSystem real;
    RecordingView view;
    view.path = jukebox.music;
    view.answerYes = false;
    const CurrentDirectoryScope current(jukebox.jukebox);
    StartCommand(real, view, texts::dutch).run();

    QCOMPARE(view.events, QStringList({"beep",
                                       "ask: Playlist: " + jukebox.xml +
                                           "playlist bestaat al. Wilt u dit bestand vervangen?",
                                       "focus PlayListName"}));
    QCOMPARE(jukebox.document(), jukebox.earlierDocument);
    QCOMPARE(jukebox.index(), jukebox.earlierIndex);
    QCOMPARE(jukebox.playlistFolder(), before);
}

void StartCommandTest::replaceAnsweredYesRewritesBoth() {
    const Jukebox jukebox({"a.mp3", "Rock/b.mp3", "Rock/Live/c.mp3"});
    RealFileSystem real;
    const QStringList events = jukebox.run(real, jukebox.music, "playlist", texts::english);

    const QString file = jukebox.xml + "playlist";
    QCOMPARE(events,
             QStringList({"beep",
                          "ask: Playlist: " + file + " already exists. Do you want to replace it?",
                          "beep",
                          "message Information: Playlist: " + file +
                              " is ready. Start the jukebox or press the (R)eload button on the "
                              "Album Panel."}));
    const QString music = jukebox.music;
    const QChar sep = QDir::separator();
    QCOMPARE(xmlOutline(jukebox.document()),
             QStringList({"playlist type=[local]", "album path=[" + music + "] title=[Music]",
                          "mp3 title=[a.mp3] track=[a]",
                          "album path=[" + music + sep + "Rock] title=[Rock]",
                          "mp3 title=[b.mp3] track=[b]",
                          "album path=[" + music + sep + "Rock" + sep + "Live] title=[Rock Live]",
                          "mp3 title=[c.mp3] track=[c]"}));
    QCOMPARE(xmlOutline(jukebox.index()),
             QStringList({"filelist", "file name=[playlist] path=[" + file + ".xml]"}));
    QCOMPARE(jukebox.playlistFolder(), QStringList({"brantwell-playlists.xml", "playlist.xml"}));
}

void StartCommandTest::secondPressAsksToReplace() {
    MusicTree tree;
    tree.addFiles({"Music/a.mp3"});
    tree.addFolder("jukebox");
    RealFileSystem real;
    JukeboxFileSystem fso(real, tree.path("jukebox"));
    RecordingView view;
    view.path = tree.path("Music");
    view.name = "rock";
    StartCommand command(fso, view, texts::english);
    command.run();
    QCOMPARE(view.events.size(), 2);  // beep, done
    command.run();
    QCOMPARE(view.events.size(), 6);  // beep, replace question, beep, done
    QVERIFY(view.events[3].startsWith("ask: "));

    // "rock" is written, but the index lists only names holding "playlist".
    const QString xml = tree.path("jukebox/xml/");
    QCOMPARE(xmlOutline(readBytes(xml + "rock.xml")).size(), 3);
    QCOMPARE(xmlOutline(readBytes(xml + "brantwell-playlists.xml")), QStringList("filelist"));
}

void StartCommandTest::indexByteForByte_data() {
    // Playlists beside "Party Playlist 2" and "playlist", in the index's order,
    // with the bytes each name becomes in the index.
    QTest::addColumn<uint>("codePage");  // the ANSI code page of the row; 0: UTF-8
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<QByteArray>>("bytes");

#ifdef Q_OS_WIN
    // The ANSI code page, which writes "?" for a character it cannot hold.
    // Wine takes it from the locale: tests/CMakeLists.txt runs this test again
    // under each.
    QTest::newRow("Windows-1252, Western")
        << 1252u
        << QStringList{"Caf\u00e9 playlist", "Party Playlist 2", "playlist", "\u4e2d playlist"}
        << QList<QByteArray>{"Caf\xE9 playlist", "Party Playlist 2", "playlist", "? playlist"};
    QTest::newRow("Windows-1251, Cyrillic")
        << 1251u
        << QStringList{"Party Playlist 2", "playlist", "\u0420\u043e\u043a playlist",
                       "\u4e2d playlist"}
        << QList<QByteArray>{"Party Playlist 2", "playlist", "\xD0\xEE\xEA playlist", "? playlist"};
    QTest::newRow("Windows-1250, Central European")
        << 1250u
        << QStringList{"Party Playlist 2", "playlist", "\u0141\u00f3d\u017a playlist",
                       "\u4e2d playlist"}
        << QList<QByteArray>{"Party Playlist 2", "playlist",
                             "\xA3\xF3"
                             "d\x9F playlist",
                             "? playlist"};
    QTest::newRow("932, Japanese (Shift JIS)")
        << 932u
        << QStringList{"Party Playlist 2", "playlist", "\u65e5\u672c playlist", "\ud55c playlist"}
        << QList<QByteArray>{"Party Playlist 2", "playlist", "\x93\xFA\x96\x7B playlist",
                             "? playlist"};
#else
    QTest::newRow("UTF-8") << 0u
                           << QStringList{"Caf\u00e9 playlist", "Party Playlist 2", "playlist",
                                          "\u4e2d playlist"}
                           << QList<QByteArray>{"Caf\xC3\xA9 playlist", "Party Playlist 2",
                                                "playlist", "\xE4\xB8\xAD playlist"};
#endif
}

void StartCommandTest::indexByteForByte() {
    QFETCH(uint, codePage);
    QFETCH(QStringList, names);
    QFETCH(QList<QByteArray>, bytes);
#ifdef Q_OS_WIN
    // A run meant for one code page must get it, or its rows would all skip.
    const uint wanted = qEnvironmentVariableIntValue("TRACKFOLD_CODE_PAGE");
    if (wanted != 0) {
        QCOMPARE(uint(::GetACP()), wanted);
    }
    if (::GetACP() != codePage) {
        QSKIP("another ANSI code page's row");
    }
#else
    Q_UNUSED(codePage)
#endif
    MusicTree tree;
    tree.addFiles({"Music/a.mp3", "jukebox/xml/rock.xml", "jukebox/xml/brantwell-playlists.xml"});
    for (const QString& name : names) {
        if (name != "playlist") {
            tree.addFile("jukebox/xml/" + name + ".xml");
        }
    }
    RealFileSystem real;
    JukeboxFileSystem fso(real, tree.path("jukebox/fscommand"));
    RecordingView view;
    view.path = tree.path("Music");
    StartCommand(fso, view, texts::english).run();

    const QString xml = tree.path("jukebox/xml") + QDir::separator();
    const QByteArray index = readBytes(xml + "brantwell-playlists.xml");
    const QByteArray xmlBytes = xml.toLatin1();
    QByteArray expected = "<?xml version=\"1.0\"?>\r\n<filelist>\r\n";
    QStringList outline{"filelist"};
    for (const QByteArray& name : bytes) {
        expected += "<file name=\"" + name + "\" path=\"" + xmlBytes + name + ".xml\"/>\r\n";
        // Read back as the jukebox reads it, in the same code page.
        const QString read = QString::fromLocal8Bit(name);
        outline << "file name=[" + read + "] path=[" + xml + read + ".xml]";
    }
    QCOMPARE(index, expected + "</filelist>\r\n");
    QStringDecoder system(QStringConverter::System);
    QCOMPARE(xmlOutline(QString(system(index)).toUtf8()), outline);
}

void StartCommandTest::faults_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<FaultRow>("fault");
    for (const QString language : {"en", "nl"}) {
        for (const FaultRow& fault : faultRows()) {
            QTest::newRow(language.toLatin1() + ": " + fault.what) << language << fault;
        }
    }
}

void StartCommandTest::faults() {
    QFETCH(QString, language);
    QFETCH(FaultRow, fault);
    const texts::Texts& t = textsFor(language);
    RealFileSystem real;
    // What a run without the fault writes (its music folder as "{music}"), and
    // so how many lines it has.
    QStringList goodOutline;
    int lines = 0;
    {
        const Jukebox good;
        good.run(real, good.music, "playlist", t);
        goodOutline = xmlOutline(good.document()).replaceInStrings(good.music, "{music}");
        lines = int(good.document().count(QByteArrayView("\r\0\n\0", 4)));
    }
    const int line = fault.line >= 0 ? fault.line : lines;

    const Jukebox jukebox(standardMusic(), fault.operation != Operation::CreateFolder);
    FaultyFileSystem fso(real, fault.operation, fault.pathEnd, line);
    const QStringList events = jukebox.run(fso, jukebox.music, "playlist", t);

    QCOMPARE(fso.fired(), 1);
    // The run stops at the fault: the error is the last thing it does.
    const QString failed = QDir::toNativeSeparators(jukebox.jukebox + "/" + fault.pathEnd);
    const QStringList error = {
        "beep", "message Critical: " + t.error.arg(failed, faultReason(fault.operation))};
    QCOMPARE(events, jukebox.replaceQuestion("playlist", t) + error);

    if (fault.operation == Operation::CreateFolder) {
        QVERIFY(!QFileInfo::exists(jukebox.xml));
        return;
    }
    // Nothing half-written: the earlier files stay until a complete one replaces them.
    QCOMPARE(jukebox.index(), jukebox.earlierIndex);
    if (fault.written == Written::Nothing) {
        QCOMPARE(jukebox.document(), jukebox.earlierDocument);
    } else {
        QCOMPARE(xmlOutline(jukebox.document()),
                 goodOutline.replaceInStrings("{music}", jukebox.music));
    }
    QCOMPARE(jukebox.playlistFolder(), QStringList({"brantwell-playlists.xml", "playlist.xml"}));
}

void StartCommandTest::nextRunAfterAFaultWorks() {
    const Jukebox jukebox;
    RealFileSystem real;
    FaultyFileSystem faulty(real, Operation::WriteLine, "playlist.xml", 4);
    QVERIFY(jukebox.run(faulty, jukebox.music, "playlist", texts::english)
                .last()
                .startsWith("message Critical: "));
    QCOMPARE(jukebox.run(real, jukebox.music, "playlist", texts::english),
             jukebox.doneEvents("playlist", texts::english));
    QCOMPARE(xmlOutline(jukebox.document()).size(), 12);
    QCOMPARE(xmlOutline(jukebox.index()).size(), 2);
}

QTEST_GUILESS_MAIN(StartCommandTest)
#include "tst_startcommand.moc"
