#include "albumscan.h"
#include "folderreading.h"

#include <QDir>
#include <QTest>

using writer::AlbumScan;
using writer::trimSpaces;

namespace {

// The track title as the plain QString operations give it; the album scan
// takes a faster route that must end in the same text.
QString plainTrackTitle(QString name) {
    name.remove(QStringLiteral(".mp3"), Qt::CaseInsensitive);
    name = trimSpaces(name);
    name.replace(u'_', u' ');
    return trimSpaces(name);
}

}  // namespace

class TitlesTest final : public QObject {
    Q_OBJECT

private slots:
    void trackTitle_data();
    void trackTitle();
    void albumTitle_data();
    void albumTitle();
};

void TitlesTest::trackTitle_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");

    QTest::newRow("every .mp3") << "a.mp3.mp3"
                                << "a";
    QTest::newRow("remove, trim, replace, trim") << "My_Song_ .mp3"
                                                 << "My Song";
    QTest::newRow("any letter case") << "Intro.Mp3"
                                     << "Intro";
    QTest::newRow("only the suffix") << ".MP3"
                                     << "";
    QTest::newRow("removal does not make new ones") << ".m.mp3p3"
                                                    << ".mp3";
    QTest::newRow("inside the name") << "x.mP3y.txt"
                                     << "xy.txt";
    QTest::newRow("no dot before mp3") << "mp3 song.mp"
                                       << "mp3 song.mp";
    QTest::newRow("underscores and spaces at both ends") << "_ _a_b_ _.mp3"
                                                         << "a b";
    QTest::newRow("only underscores") << "__.mp3"
                                      << "";
    QTest::newRow("tab is not trimmed") << "\tx .mp3"
                                        << "\tx";
    QTest::newRow("non-ASCII kept") << "\u00c9t\u00e9 \U0001F3B5.MP3"
                                    << "\u00c9t\u00e9 \U0001F3B5";
    QTest::newRow("full-width letters are not .mp3") << "a.\uff4d\uff50\uff13"
                                                     << "a.\uff4d\uff50\uff13";
}

void TitlesTest::trackTitle() {
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(AlbumScan::trackTitle(name), title);
    QCOMPARE(AlbumScan::trackTitle(name), plainTrackTitle(name));
}

void TitlesTest::albumTitle_data() {
    QTest::addColumn<QString>("typed");       // '/' stands for the separator
    QTest::addColumn<QString>("folderspec");  // its folder's Name is its last component
    QTest::addColumn<QString>("title");

    QTest::newRow("other letter case") << "/Music"
                                       << "/MUSIC/Rock/music/Last"
                                       << "Rock Last";
    QTest::newRow("trailing separator typed") << "/Music/"
                                              << "/Music/Rock/Last"
                                              << "Rock Last";
    QTest::newRow("nothing left: the folder's name") << "/Music/Last"
                                                     << "/music/Last"
                                                     << "Last";
    QTest::newRow("occurrences do not overlap") << "aa"
                                                << "/aaa/Last"
                                                << "a Last";
    QTest::newRow("every occurrence removed") << "/m"
                                              << "/m/x/m/y"
                                              << "x y";
    QTest::newRow("spaces at the ends trimmed") << "/a"
                                                << "/a/ b /Last"
                                                << "b  Last";
    QTest::newRow("non-ASCII typed") << "/M\u00fcsic"
                                     << "/M\u00dcSIC/x/Last"
                                     << "x Last";
    QTest::newRow("non-ASCII in the folder only") << "/Music"
                                                  << "/music/\u00e9t\u00e9/Last"
                                                  << "\u00e9t\u00e9 Last";
    QTest::newRow("long s folds to s") << "/music"
                                       << "/mu\u017fic/Rock/Last"
                                       << "Rock Last";
    QTest::newRow("Kelvin sign folds to k") << "/rock"
                                            << "/roc\u212a/Last"
                                            << "Last";
    // The root's path text is all separators: removing every one would run
    // the folder names together, so it goes once, at the start.
    QTest::newRow("root music folder has no name") << "/"
                                                   << "/"
                                                   << "";
    QTest::newRow("folder below the root") << "/"
                                           << "/Rock"
                                           << "Rock";
    QTest::newRow("two levels below the root") << "/"
                                               << "/Rock/Live"
                                               << "Rock Live";
    QTest::newRow("root typed with doubled separators") << "//"
                                                        << "/Rock/Live"
                                                        << "Rock Live";
}

void TitlesTest::albumTitle() {
    QFETCH(QString, typed);
    QFETCH(QString, folderspec);
    QFETCH(QString, title);
    typed = QDir::toNativeSeparators(typed);
    folderspec = QDir::toNativeSeparators(folderspec);
    const fsservice::Folder folder(folderspec, {}, {}, nullptr);
    QCOMPARE(AlbumScan(typed).albumTitle(folderspec, folder), title);
}

QTEST_GUILESS_MAIN(TitlesTest)
#include "tst_titles.moc"
