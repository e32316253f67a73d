#include "nameorder.h"

#include <QTest>

#include <algorithm>

using fsservice::compareNames;

class NameOrderTest final : public QObject {
    Q_OBJECT

private slots:
    void pairs_data();
    void pairs();
    void sortsAlbumLikeAPerson();
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

QTEST_GUILESS_MAIN(NameOrderTest)
#include "tst_nameorder.moc"
