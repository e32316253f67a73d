#include "faultyfilesystem.h"
#include "musictree.h"
#include "playlistxml.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"

#include <QDir>
#include <QTest>

using fsservice::RealFileSystem;
using writer::StartCommand;
using Operation = FaultyFileSystem::Operation;

Q_DECLARE_METATYPE(Operation)

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

const texts::Texts& textsFor(const QString& language) {
    return language == "nl" ? texts::dutch : texts::english;
}

/// A jukebox folder with a music tree and an earlier playlist and index.
struct Jukebox {
    MusicTree tree;
    QString xml;  // the playlist folder, ending in a separator
    QByteArray earlierDocument =
        utf16Lines({"<?xml version=\"1.0\"?>", "<playlist type=\"local\">", "</playlist>"});
    QByteArray earlierIndex = "<?xml version=\"1.0\"?>\r\n<filelist>\r\n</filelist>\r\n";

    Jukebox() {
        tree.addFiles({"Music/a.mp3", "Music/Rock/b.mp3", "Music/Rock/Live/c.mp3",
                       "jukebox/xml/playlist.xml", "jukebox/xml/brantwell-playlists.xml"});
        xml = tree.path("jukebox/xml") + QDir::separator();
        tree.addFile("jukebox/xml/playlist.xml", earlierDocument);
        tree.addFile("jukebox/xml/brantwell-playlists.xml", earlierIndex);
    }
    QByteArray document() const { return readBytes(xml + "playlist.xml"); }
    QByteArray index() const { return readBytes(xml + "brantwell-playlists.xml"); }
    QStringList playlistFolder() const {
        return QDir(xml).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
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
    void removedCurrentDirectoryIsAnError();
    void replaceAnsweredNoTouchesNothing();
    void replaceAnsweredYesRewritesBoth();
    void secondPressAsksToReplace();
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
    QTest::newRow("inside a name too") << "/a/fscommandos"
                                       << "/aos/xml/";
    QTest::newRow("root doubles the separator") << "/"
                                                << "//xml/";
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
    QCOMPARE(view.events, QStringList({"beep", "message Critical: Error: " + folder +
                                                   ": No such file or directory"}));
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
    Jukebox jukebox;
    RealFileSystem real;
    JukeboxFileSystem fso(real, jukebox.tree.path("jukebox"));
    RecordingView view;
    view.path = jukebox.tree.path("Music");
    view.answerYes = false;
    StartCommand(fso, view, texts::dutch).run();

    QCOMPARE(view.events, QStringList({"beep",
                                       "ask: Playlist: " + jukebox.xml +
                                           "playlist bestaat al. Wilt u dit bestand vervangen?",
                                       "focus PlayListName"}));
    QCOMPARE(jukebox.document(), jukebox.earlierDocument);
    QCOMPARE(jukebox.index(), jukebox.earlierIndex);
}

void StartCommandTest::replaceAnsweredYesRewritesBoth() {
    Jukebox jukebox;
    RealFileSystem real;
    JukeboxFileSystem fso(real, jukebox.tree.path("jukebox"));
    RecordingView view;
    view.path = jukebox.tree.path("Music");
    StartCommand(fso, view, texts::english).run();

    const QString file = jukebox.xml + "playlist";
    QCOMPARE(view.events,
             QStringList({"beep",
                          "ask: Playlist: " + file + " already exists. Do you want to replace it?",
                          "beep",
                          "message Information: Playlist: " + file +
                              " is ready. Start the jukebox or press the (R)eload button on the "
                              "Album Panel."}));
    const QString music = jukebox.tree.path("Music");
    QCOMPARE(
        xmlOutline(jukebox.document()),
        QStringList({"playlist type=[local]", "album path=[" + music + "] title=[Music]",
                     "mp3 title=[a.mp3] track=[a]", "album path=[" + music + "/Rock] title=[Rock]",
                     "mp3 title=[b.mp3] track=[b]",
                     "album path=[" + music + "/Rock/Live] title=[Rock Live]",
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

void StartCommandTest::indexByteForByte() {
    MusicTree tree;
    tree.addFiles({"Music/a.mp3", "jukebox/xml/rock.xml", "jukebox/xml/Party Playlist 2.xml",
                   "jukebox/xml/brantwell-playlists.xml"});
    RealFileSystem real;
    JukeboxFileSystem fso(real, tree.path("jukebox/fscommand"));
    RecordingView view;
    view.path = tree.path("Music");
    StartCommand(fso, view, texts::english).run();

    const QString xml = tree.path("jukebox/xml") + QDir::separator();
    const QByteArray index = readBytes(xml + "brantwell-playlists.xml");
    QCOMPARE(index,
             utf8Lines({
                 R"(<?xml version="1.0"?>)",
                 R"(<filelist>)",
                 R"(<file name="Party Playlist 2" path=")" + xml + R"(Party Playlist 2.xml"/>)",
                 R"(<file name="playlist" path=")" + xml + R"(playlist.xml"/>)",
                 R"(</filelist>)",
             }));
    QCOMPARE(xmlOutline(index),
             QStringList({"filelist",
                          "file name=[Party Playlist 2] path=[" + xml + "Party Playlist 2.xml]",
                          "file name=[playlist] path=[" + xml + "playlist.xml]"}));
}

void StartCommandTest::faults_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("pathEnd");  // relative to the tree: the path that fails
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("documentWritten");  // the document was complete before the fault

    const QString xml = "jukebox/xml/";
    const QString document = xml + "playlist.xml";
    const QString index = xml + "brantwell-playlists.xml";
    for (const QString language : {"en", "nl"}) {
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "creating the playlist folder")
            << language << Operation::CreateFolder << xml << 0 << false;
        QTest::newRow(row + "opening the music folder")
            << language << Operation::GetFolder << "Music" << 0 << false;
        QTest::newRow(row + "opening a folder deep in the tree")
            << language << Operation::GetFolder << "Music/Rock/Live" << 0 << false;
        QTest::newRow(row + "creating the document")
            << language << Operation::CreateTextFile << document << 0 << false;
        QTest::newRow(row + "writing the document's 5th line")
            << language << Operation::WriteLine << document << 5 << false;
        QTest::newRow(row + "committing the document")
            << language << Operation::Close << document << 0 << false;
        QTest::newRow(row + "creating the index")
            << language << Operation::CreateTextFile << index << 0 << true;
        QTest::newRow(row + "writing the index's 3rd line")
            << language << Operation::WriteLine << index << 3 << true;
        QTest::newRow(row + "committing the index")
            << language << Operation::Close << index << 0 << true;
    }
}

void StartCommandTest::faults() {
    QFETCH(QString, language);
    QFETCH(Operation, operation);
    QFETCH(QString, pathEnd);
    QFETCH(int, line);
    QFETCH(bool, documentWritten);
    Jukebox jukebox;
    if (operation == Operation::CreateFolder) {
        QVERIFY(QDir(jukebox.xml).removeRecursively());
    }
    RealFileSystem real;
    JukeboxFileSystem jukeboxFso(real, jukebox.tree.path("jukebox"));
    FaultyFileSystem fso(jukeboxFso, operation, pathEnd, line);
    RecordingView view;
    view.path = jukebox.tree.path("Music");
    StartCommand(fso, view, textsFor(language)).run();

    QCOMPARE(fso.fired(), 1);
    // The run stops at the fault: the error is the last thing it does.
    const QString prefix = language == "nl" ? "Fout: " : "Error: ";
    QStringList events = {"beep", "message Critical: " + prefix + jukebox.tree.path(pathEnd) +
                                      ": " + FaultyFileSystem::reason()};
    if (operation != Operation::CreateFolder) {
        events.prepend(view.events.value(1));
        events.prepend("beep");
        QVERIFY(events[1].startsWith("ask: "));
    }
    QCOMPARE(view.events, events);

    if (operation == Operation::CreateFolder) {
        QVERIFY(!QFileInfo::exists(jukebox.xml));
        return;
    }
    // Nothing half-written: the earlier files stay until a complete one replaces them.
    QCOMPARE(jukebox.index(), jukebox.earlierIndex);
    if (documentWritten) {
        QCOMPARE(xmlOutline(jukebox.document()).size(), 7);
    } else {
        QCOMPARE(jukebox.document(), jukebox.earlierDocument);
    }
    QCOMPARE(jukebox.playlistFolder(), QStringList({"brantwell-playlists.xml", "playlist.xml"}));
}

void StartCommandTest::nextRunAfterAFaultWorks() {
    Jukebox jukebox;
    RealFileSystem real;
    JukeboxFileSystem fso(real, jukebox.tree.path("jukebox"));
    RecordingView view;
    view.path = jukebox.tree.path("Music");
    FaultyFileSystem faulty(fso, Operation::WriteLine, "playlist.xml", 4);
    StartCommand(faulty, view, texts::english).run();
    QVERIFY(view.events.last().startsWith("message Critical: "));
    view.events.clear();
    StartCommand(fso, view, texts::english).run();
    QVERIFY(view.events.last().startsWith("message Information: "));
    QCOMPARE(xmlOutline(jukebox.document()).size(), 7);
    QCOMPARE(xmlOutline(jukebox.index()).size(), 2);
}

QTEST_GUILESS_MAIN(StartCommandTest)
#include "tst_startcommand.moc"
