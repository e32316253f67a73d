#include "linestream.h"
#include "musictree.h"
#include "playlistindex.h"
#include "playlistxml.h"
#include "realfilesystem.h"

#include <QDir>
#include <QTest>

class PlaylistIndexTest final : public QObject {
    Q_OBJECT

private slots:
    void entries_data();
    void entries();
};

void PlaylistIndexTest::entries_data() {
    QTest::addColumn<QStringList>("files");    // in the playlist folder; "x/" is a folder
    QTest::addColumn<QStringList>("outline");  // {xml} stands for the playlist folder

    QTest::newRow("pattern and the index's own name")
        << QStringList{"playlist.xml", "rock.xml", "Party Playlist 2.xml",
                       "brantwell-playlists.xml"}
        << QStringList{"file name=[Party Playlist 2] path=[{xml}Party Playlist 2.xml]",
                       "file name=[playlist] path=[{xml}playlist.xml]"};
    QTest::newRow("every .xml removed from the name")
        << QStringList{"playlist.xml.xml"}
        << QStringList{"file name=[playlist] path=[{xml}playlist.xml.xml]"};
    QTest::newRow("letter case ignored in the pattern")
        << QStringList{"MyPlayList.XML"}
        << QStringList{"file name=[MyPlayList] path=[{xml}MyPlayList.XML]"};
    QTest::newRow("the index's name heeds letter case")
        << QStringList{"Brantwell-Playlists.xml"}
        << QStringList{"file name=[Brantwell-Playlists] path=[{xml}Brantwell-Playlists.xml]"};
    QTest::newRow("hidden files, folders and leftovers are not listed")
        << QStringList{".playlist.xml (hidden)", "folder playlist.xml/", "playlist.xml.Ab12Cd"}
        << QStringList{};
#ifdef Q_OS_WIN
    // On Windows the attributes alone hide a file, whatever its name.
    QTest::newRow("hidden and system by attribute are not listed")
        << QStringList{"secret playlist.xml (hidden)", "boot playlist.xml (system)"}
        << QStringList{};
#else  // Windows allows none of <>" in a name
    QTest::newRow("escaped and parsed back")
        << QStringList{"Rock & Roll \"best\" <playlist>.xml"}
        << QStringList{
               "file name=[Rock & Roll \"best\" <playlist>] "
               "path=[{xml}Rock & Roll \"best\" <playlist>.xml]"};
#endif
    QTest::newRow("escaped as a Windows name allows, and parsed back")
        << QStringList{"Rock & Roll 'best' playlist.xml"}
        << QStringList{
               "file name=[Rock & Roll 'best' playlist] "
               "path=[{xml}Rock & Roll 'best' playlist.xml]"};
    QTest::newRow("name order") << QStringList{"playlist 10.xml", "Playlist 9.xml"}
                                << QStringList{
                                       "file name=[Playlist 9] path=[{xml}Playlist 9.xml]",
                                       "file name=[playlist 10] path=[{xml}playlist 10.xml]"};
    QTest::newRow("nothing to list") << QStringList{"rock.xml"} << QStringList{};
}

void PlaylistIndexTest::entries() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, outline);
    MusicTree tree;
    tree.addFolder("xml");
    QStringList entries;
    for (const QString& file : files) {
        entries << "xml/" + file;
    }
    tree.addEntries(entries);
    const QString folder = tree.path("xml") + QDir::separator();

    fsservice::RealFileSystem fso;
    LineStream ts;
    writer::MakeFileList(fso, ts, folder);

    const QString document = "<filelist>" + ts.lines.join("\r\n") + "</filelist>";
    outline.replaceInStrings("{xml}", folder);
    outline.prepend("filelist");
    QCOMPARE(xmlOutline(document.toUtf8()), outline);
}

QTEST_GUILESS_MAIN(PlaylistIndexTest)
#include "tst_playlistindex.moc"
