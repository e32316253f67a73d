#include "folderreading.h"
#include "nameorder.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using fsservice::compareNames;

class NameOrderTest final : public QObject {
    Q_OBJECT

private slots:
    void pairs_data();
    void pairs();
    void sortsAlbumLikeAPerson();
    void folderSortsLikeCompareNames();
};

void NameOrderTest::pairs_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    QTest::newRow("numbers by value") << "Track 2"
                                      << "Track 10";
    QTest::newRow("number at the start") << "9 lives"
                                         << "10 lives";
    QTest::newRow("equal values: shorter run first") << "Track 7"
                                                     << "Track 07";
    QTest::newRow("leading zeros do not outweigh value") << "Track 007"
                                                         << "Track 10";
    QTest::newRow("digits past 64 bits") << "99999999999999999999"
                                         << "100000000000000000000";
    QTest::newRow("case ignored before exact") << "b"
                                               << "C";
    QTest::newRow("exact names break the tie") << "A"
                                               << "a";
    QTest::newRow("prefix first") << "Abba"
                                  << "Abba Gold";
    QTest::newRow("non-ASCII folds case") << "\u00e9clair"
                                          << "\u00c9T\u00c9";
    QTest::newRow("Greek folds case") << "\u03b1\u03b2"
                                      << "\u0391\u0393";
    QTest::newRow("digit before letter") << "1a"
                                         << "a";
    QTest::newRow("value decides before later text") << "a2z"
                                                     << "a10a";
    QTest::newRow("later number decides") << "disc 1 track 9"
                                          << "disc 1 track 12";
    QTest::newRow("empty first") << ""
                                 << "a";
    QTest::newRow("number cut inside a shared beginning") << "x19"
                                                          << "x102";
    QTest::newRow("number cut after a long shared beginning") << "Disc 2 Track 19"
                                                              << "Disc 2 Track 102";
    QTest::newRow("run length decides before later text") << "7b"
                                                          << "07a";
    QTest::newRow("only zeros: shorter run first") << "0"
                                                   << "000";
    QTest::newRow("digit against punctuation: units compare") << "a-"
                                                              << "a1";
    QTest::newRow("later letter outweighs earlier case") << "midnight thunder A"
                                                         << "Midnight Thunder b";
    QTest::newRow("non-ASCII after ASCII letters") << "zoo"
                                                   << "\u00e9t\u00e9";
    QTest::newRow("Kelvin sign folds to k") << "\u212a"
                                            << "l";
    QTest::newRow("surrogates compare as units") << "\U0001F3B5"
                                                 << "\uFFFD";
    QTest::newRow("NUL is a unit, not an end")
        << QStringLiteral("x") << QStringLiteral("x") + QChar(0);
}

void NameOrderTest::pairs() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QVERIFY2(compareNames(before, after) < 0, qPrintable(before + " < " + after));
    QVERIFY2(compareNames(after, before) > 0, qPrintable(after + " > " + before));
    QCOMPARE(compareNames(before, before), 0);
}

void NameOrderTest::sortsAlbumLikeAPerson() {
    QStringList names = {"10 - End.mp3", "b side.mp3",   "2 - Two.mp3", "B side.mp3",
                         "1 - One.mp3",  "02 - Two.mp3", "Cover.jpg"};
    std::sort(names.begin(), names.end(), fsservice::nameLess);
    const QStringList expected = {"1 - One.mp3", "2 - Two.mp3", "02 - Two.mp3", "10 - End.mp3",
                                  "B side.mp3",  "b side.mp3",  "Cover.jpg"};
    QCOMPARE(names, expected);
}

void NameOrderTest::folderSortsLikeCompareNames() {
    QRandomGenerator random(7);
    fsservice::FolderContents contents;
    QStringList expectedFiles;
    QStringList expectedFolders;
    QStringList links;
    const QStringList words = {"Track", "track", "10", "2", "02", "\u00e9t\u00e9", " ", "_", "a"};
    for (int n = 0; n < 3000; ++n) {
        QString name;
        for (int w = random.bounded(1, 5); w > 0; --w) {
            name += words[random.bounded(int(words.size()))];
        }
        name += QString::number(n);  // every name distinct
        if (n % 10 == 0) {
            contents.subFolders.push_back(
                fsservice::SubFolder{"/m/" + name, name, name.toUtf8(), n % 20 == 0});
            expectedFolders << name;
            if (n % 20 == 0) {
                links << name;
            }
        } else {
            contents.addFile(name, false, false);
            expectedFiles << name;
        }
    }
    std::sort(expectedFiles.begin(), expectedFiles.end(), fsservice::nameLess);
    std::sort(expectedFolders.begin(), expectedFolders.end(), fsservice::nameLess);

    contents.sortByName();
    // Each sub-folder's native name and link mark go along with it.
    for (std::size_t i = 0; i < contents.subFolders.size(); ++i) {
        const QString name = contents.subFolders[i].Name;
        QCOMPARE(QString::fromUtf8(contents.subFolders[i].nativeName), name);
        QCOMPARE(contents.subFolders[i].link, links.contains(name));
    }
    const fsservice::Folder folder(QStringLiteral("/m"), std::move(contents), {}, nullptr);
    QStringList gotFiles;
    for (const auto& file : folder.Files()) {
        gotFiles << file.Name().toString();
    }
    QStringList gotFolders;
    for (const auto& sub : folder.SubFolders()) {
        gotFolders << sub.Name;
        QCOMPARE(sub.Path, "/m/" + sub.Name);
    }
    QCOMPARE(gotFiles, expectedFiles);
    QCOMPARE(gotFolders, expectedFolders);
}

QTEST_GUILESS_MAIN(NameOrderTest)
#include "tst_nameorder.moc"
