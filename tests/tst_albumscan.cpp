#include "albumscan.h"
#include "linestream.h"
#include "musictree.h"
#include "playlistxml.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"

#include <QDir>
#include <QTest>

using fsservice::RealFileSystem;
using writer::AlbumScan;

namespace {

QStringList expand(QStringList lines, const QString& root) {
    for (QString& line : lines) {
        line.replace("{root}", root);
        line.replace('/', QDir::separator());
    }
    return lines;
}

/// The albums of the music folder `typed`, written as the Start command has
/// the scan write them.
void writeAlbums(fsservice::FileSystem& fso, fsservice::TextStream& ts, const QString& typed) {
    AlbumScan scan(typed);
    fsservice::Folder music = fso.GetFolder(typed);
    scan.BuildMP3List(ts, music, typed);
    scan.ShowFolderList(fso, ts, std::move(music));
}

/// The outline of the albums the scan writes, parsed back from a document.
QStringList scanOutline(const QString& typed) {
    RealFileSystem fso;
    LineStream ts;
    writeAlbums(fso, ts, typed);
    const QString document = "<playlist type=\"local\">" + ts.lines.join("") + "</playlist>";
    QStringList outline = xmlOutline(document.toUtf8());
    outline.removeFirst();  // the playlist element
    return outline;
}

}  // namespace

class AlbumScanTest final : public QObject {
    Q_OBJECT

private slots:
    void workedExampleByteForByte();
    void albums_data();
    void albums();
    void relativeMusicPath();
    void escapedLinesParseBack_data();
    void escapedLinesParseBack();
    void linkLoopEnds();
};

void AlbumScanTest::workedExampleByteForByte() {
    MusicTree tree;
    tree.addFiles({"Music/Intro.MP3", "Music/Artist One/Best_Of/01_First_Song.mp3",
                   "Music/Artist One/Best_Of/Rock & Roll.mp3",
                   "Music/Artist One/Best_Of/cover.jpg"});
    tree.addFolder("jukebox");
    const CurrentDirectoryScope jukebox(tree.path("jukebox"));

    RealFileSystem fso;
    RecordingView view;
    view.path = tree.path("Music");
    writer::StartCommand(fso, view, texts::english).run();

    const QString best = tree.path("Music/Artist One/Best_Of");
    const QStringList lines = {
        R"(<?xml version="1.0"?>)",
        R"(<playlist type="local">)",
        R"(<album path=")" + tree.path("Music") + R"(" title="Music">)",
        R"(<mp3 title="Intro.MP3" track="Intro"/>)",
        R"(</album>)",
        R"(<album path=")" + best + R"(" title="Artist One Best_Of">)",
        R"(<mp3 title="01_First_Song.mp3" track="01 First Song"/>)",
        R"(<mp3 title="Rock &amp; Roll.mp3" track="Rock &amp; Roll"/>)",
        R"(</album>)",
        R"(</playlist>)",
    };
    const QByteArray written = readBytes(tree.path("jukebox/xml/playlist.xml"));
    QCOMPARE(written, utf16Lines(lines));

    const QStringList outline = {
        "playlist type=[local]",
        "album path=[" + tree.path("Music") + "] title=[Music]",
        "mp3 title=[Intro.MP3] track=[Intro]",
        "album path=[" + best + "] title=[Artist One Best_Of]",
        "mp3 title=[01_First_Song.mp3] track=[01 First Song]",
        "mp3 title=[Rock & Roll.mp3] track=[Rock & Roll]",
    };
    QCOMPARE(xmlOutline(written), outline);
}

void AlbumScanTest::albums_data() {
    QTest::addColumn<QStringList>("entries");  // built under the tree's root
    QTest::addColumn<QString>("typed");        // music folder, relative to the root
    QTest::addColumn<QStringList>("outline");  // {root} stands for the tree's root

    QTest::newRow("trailing separator keeps the first path")
        << QStringList{"Music/a.mp3", "Music/Rock/b.mp3"} << "Music/"
        << QStringList{"album path=[{root}/Music/] title=[Music]", "mp3 title=[a.mp3] track=[a]",
                       "album path=[{root}/Music/Rock] title=[Rock]",
                       "mp3 title=[b.mp3] track=[b]"};
    QTest::newRow("hidden MP3 alone makes no album")
        << QStringList{"Music/.only.mp3 (hidden)"} << "Music" << QStringList{};
    QTest::newRow("hidden MP3 beside a visible one is a track")
        << QStringList{"Music/.hidden.mp3 (hidden)", "Music/b.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]",
                       "mp3 title=[.hidden.mp3] track=[.hidden]", "mp3 title=[b.mp3] track=[b]"};
#ifdef Q_OS_WIN
    // On Windows the attributes alone hide a file, whatever its name.
    QTest::newRow("MP3 hidden by its attribute alone makes no album")
        << QStringList{"Music/only.mp3 (hidden)"} << "Music" << QStringList{};
    QTest::newRow("system MP3 alone makes no album")
        << QStringList{"Music/only.mp3 (system)"} << "Music" << QStringList{};
    QTest::newRow("system MP3 beside a visible one is a track")
        << QStringList{"Music/a.mp3", "Music/boot.mp3 (system)"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]", "mp3 title=[a.mp3] track=[a]",
                       "mp3 title=[boot.mp3] track=[boot]"};
#endif
    QTest::newRow("folder named Live.mp3s takes every file")
        << QStringList{"Music/Live.mp3s/a.mp3", "Music/Live.mp3s/cover.jpg"} << "Music"
        << QStringList{"album path=[{root}/Music/Live.mp3s] title=[Live.mp3s]",
                       "mp3 title=[a.mp3] track=[a]", "mp3 title=[cover.jpg] track=[cover.jpg]"};
    QTest::newRow("every .mp3 removed from the track")
        << QStringList{"Music/a.mp3.mp3", "Music/b.MP3.txt.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]", "mp3 title=[a.mp3.mp3] track=[a]",
                       "mp3 title=[b.MP3.txt.mp3] track=[b.txt]"};
    QTest::newRow("remove, trim, replace, trim")
        << QStringList{"Music/My_Song_ .mp3", "Music/ _x_ .mp3"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]", "mp3 title=[ _x_ .mp3] track=[x]",
                       "mp3 title=[My_Song_ .mp3] track=[My Song]"};
#ifndef Q_OS_WIN  // Windows allows no tab in a name
    QTest::newRow("only tabs are not trimmed")
        << QStringList{"Music/\tsong.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]",
                       "mp3 title=[\tsong.mp3] track=[\tsong]"};
#endif
    QTest::newRow("a no-break space is not trimmed")
        << QStringList{"Music/\u00a0song\u00a0.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]",
                       "mp3 title=[\u00a0song\u00a0.mp3] track=[\u00a0song\u00a0]"};
    QTest::newRow("MP3 files and no sub-folders: one album")
        << QStringList{"Music/2.mp3", "Music/10.mp3", "Music/1.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]", "mp3 title=[1.mp3] track=[1]",
                       "mp3 title=[2.mp3] track=[2]", "mp3 title=[10.mp3] track=[10]"};
    QTest::newRow("no MP3 anywhere")
        << QStringList{"Music/a/cover.jpg", "Music/b/"} << "Music" << QStringList{};
    QTest::newRow("pre-order, depth first, name order")
        << QStringList{"Music/B/x.mp3", "Music/a/y.mp3", "Music/a/sub/z.mp3", "Music/c.mp3"}
        << "Music"
        << QStringList{
               "album path=[{root}/Music] title=[Music]",       "mp3 title=[c.mp3] track=[c]",
               "album path=[{root}/Music/a] title=[a]",         "mp3 title=[y.mp3] track=[y]",
               "album path=[{root}/Music/a/sub] title=[a sub]", "mp3 title=[z.mp3] track=[z]",
               "album path=[{root}/Music/B] title=[B]",         "mp3 title=[x.mp3] track=[x]"};
    QTest::newRow("folder without MP3 still walked")
        << QStringList{"Music/empty/deeper/x.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music/empty/deeper] title=[empty deeper]",
                       "mp3 title=[x.mp3] track=[x]"};
    QTest::newRow("underscores stay in album titles")
        << QStringList{"Music/Best_Of/x.mp3"} << "Music"
        << QStringList{"album path=[{root}/Music/Best_Of] title=[Best_Of]",
                       "mp3 title=[x.mp3] track=[x]"};
    QTest::newRow("a link to a sibling folder is walked")
        << QStringList{"Music/Pop/p.mp3", "Music/Rock/pop -> ../Pop"} << "Music"
        << QStringList{"album path=[{root}/Music/Pop] title=[Pop]", "mp3 title=[p.mp3] track=[p]",
                       "album path=[{root}/Music/Rock/pop] title=[Rock pop]",
                       "mp3 title=[p.mp3] track=[p]"};
    QTest::newRow("links to files and broken links are tracks, never the album's proof")
        << QStringList{"Music/real.mp3", "Music/a/link.mp3 -> ../real.mp3",
                       "Music/b/broken.mp3 -> nowhere", "Music/b/c.txt"}
        << "Music"
        << QStringList{"album path=[{root}/Music] title=[Music]",
                       "mp3 title=[real.mp3] track=[real]", "album path=[{root}/Music/a] title=[a]",
                       "mp3 title=[link.mp3] track=[link]"};
}

void AlbumScanTest::albums() {
    QFETCH(QStringList, entries);
    QFETCH(QString, typed);
    QFETCH(QStringList, outline);
    MusicTree tree;
    tree.addEntries(entries);
    QCOMPARE(scanOutline(tree.path(typed)), expand(outline, tree.root()));
}

void AlbumScanTest::relativeMusicPath() {
    // Only the typed text is removed from the full paths of the folders below,
    // so the rest of the path stays in their titles.
    MusicTree tree;
    tree.addFiles({"Jukebox/Music/a.mp3", "Jukebox/Music/Rock/b.mp3"});
    const CurrentDirectoryScope jukebox(tree.path("Jukebox"));
    const QString rockTitle = writer::trimSpaces(
        QString(tree.path("Jukebox") + QDir::separator() + QDir::separator() + "Rock")
            .replace(QDir::separator(), ' '));
    QCOMPARE(scanOutline("Music"),
             QStringList(
                 {"album path=[Music] title=[Music]", "mp3 title=[a.mp3] track=[a]",
                  "album path=[" + tree.path("Jukebox/Music/Rock") + "] title=[" + rockTitle + "]",
                  "mp3 title=[b.mp3] track=[b]"}));
    QVERIFY(rockTitle.endsWith("Jukebox  Rock"));
}

void AlbumScanTest::escapedLinesParseBack_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("albumLine");  // after the music folder path and a separator
    QTest::addColumn<QString>("trackLine");
    QTest::addColumn<QString>("title");  // as a parser reads the track title back
    QTest::addColumn<QString>("track");

    // Windows allows none of <>" or control characters in a name.
#ifndef Q_OS_WIN
    QTest::newRow("markup characters")
        << "Simon & Garfunkel <\"live\">"
        << "It's <1> & \"2\".mp3"
        << "Simon &amp; Garfunkel &lt;&quot;live&quot;&gt;\" "
           "title=\"Simon &amp; Garfunkel &lt;&quot;live&quot;&gt;\">"
        << "<mp3 title=\"It's &lt;1&gt; &amp; &quot;2&quot;.mp3\" "
           "track=\"It's &lt;1&gt; &amp; &quot;2&quot;\"/>"
        << "It's <1> & \"2\".mp3"
        << "It's <1> & \"2\"";
    QTest::newRow("tab, newline, carriage return")
        << "a\tb"
        << "l1\nl2\r.mp3"
        << "a&#9;b\" title=\"a&#9;b\">"
        << "<mp3 title=\"l1&#10;l2&#13;.mp3\" track=\"l1&#10;l2&#13;\"/>"
        << "l1\nl2\r.mp3"
        << "l1\nl2\r";
    QTest::newRow("control characters replaced")
        << "x\x01y"
        << "\x1b[1m.mp3"
        << "x\uFFFDy\" title=\"x\uFFFDy\">"
        << "<mp3 title=\"\uFFFD[1m.mp3\" track=\"\uFFFD[1m\"/>"
        << "\uFFFD[1m.mp3"
        << "\uFFFD[1m";
#endif
    QTest::newRow("markup characters a Windows name may hold")
        << "Simon & Garfunkel 'live'"
        << "It's 1 & 2.mp3"
        << "Simon &amp; Garfunkel 'live'\" title=\"Simon &amp; Garfunkel 'live'\">"
        << "<mp3 title=\"It's 1 &amp; 2.mp3\" track=\"It's 1 &amp; 2\"/>"
        << "It's 1 & 2.mp3"
        << "It's 1 & 2";
    QTest::newRow("non-ASCII kept as it is")
        << "Bj\u00f6rk \u03b1\u03b2 \u97f3\u697d"
        << "\U0001F3B5 \u00e9t\u00e9.mp3"
        << "Bj\u00f6rk \u03b1\u03b2 \u97f3\u697d\" title=\"Bj\u00f6rk \u03b1\u03b2 \u97f3\u697d\">"
        << "<mp3 title=\"\U0001F3B5 \u00e9t\u00e9.mp3\" track=\"\U0001F3B5 \u00e9t\u00e9\"/>"
        << "\U0001F3B5 \u00e9t\u00e9.mp3"
        << "\U0001F3B5 \u00e9t\u00e9";
}

void AlbumScanTest::escapedLinesParseBack() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, albumLine);
    QFETCH(QString, trackLine);
    QFETCH(QString, title);
    QFETCH(QString, track);
    MusicTree tree;
    tree.addFile("Music/" + folder + "/" + file);

    RealFileSystem fso;
    LineStream ts;
    writeAlbums(fso, ts, tree.path("Music"));
    QCOMPARE(ts.lines,
             QStringList({"<album path=\"" + tree.path("Music") + QDir::separator() + albumLine,
                          trackLine, "</album>"}));

    const QString document = "<playlist>" + ts.lines.join("\r\n") + "</playlist>";
    const QString path = tree.path("Music/" + folder);
    QCOMPARE(xmlOutline(document.toUtf8()),
             QStringList({"playlist",
                          "album path=[" + QString(path).replace(QChar(1), QChar(0xFFFD)) +
                              "] title=[" + QString(folder).replace(QChar(1), QChar(0xFFFD)) + "]",
                          "mp3 title=[" + title + "] track=[" + track + "]"}));
}

void AlbumScanTest::linkLoopEnds() {
    MusicTree tree;
    tree.addEntries({"Music/a.mp3", "Music/Rock/b.mp3", "Music/Rock/up -> ..",
                     "Music/Rock/self -> .", "Music/Rock/top -> " + tree.path("Music"),
                     "Music/Rock/zz/c.mp3"});
    QCOMPARE(
        scanOutline(tree.path("Music")),
        expand({"album path=[{root}/Music] title=[Music]", "mp3 title=[a.mp3] track=[a]",
                "album path=[{root}/Music/Rock] title=[Rock]", "mp3 title=[b.mp3] track=[b]",
                "album path=[{root}/Music/Rock/zz] title=[Rock zz]", "mp3 title=[c.mp3] track=[c]"},
               tree.root()));
}

QTEST_GUILESS_MAIN(AlbumScanTest)
#include "tst_albumscan.moc"
