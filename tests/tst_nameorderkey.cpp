#include "filesystem.h"
#include "nameorder.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using fsservice::compareNames;
using fsservice::nameOrderKey;

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

// Where two keys differ they must order as compareNames does; where they tie,
// compareNames from the smaller resume point must give compareNames' answer.
QString disagreement(const QString& a, const QString& b) {
    qsizetype resumeA = 0;
    qsizetype resumeB = 0;
    const auto keyA = nameOrderKey(a, &resumeA);
    const auto keyB = nameOrderKey(b, &resumeB);
    const int expected = sign(compareNames(a, b));
    if (keyA != keyB) {
        const int byKey = keyA < keyB ? -1 : 1;
        return byKey == expected ? QString() : QStringLiteral("keys order them the other way");
    }
    if (sign(compareNames(a, b, std::min(resumeA, resumeB))) != expected) {
        return QStringLiteral("resuming after the key changes the answer");
    }
    return {};
}

}  // namespace

class NameOrderKeyTest final : public QObject {
    Q_OBJECT

private slots:
    void agreesWithCompareNames_data();
    void agreesWithCompareNames();
    void agreesOnRandomNames();
    void folderSortsLikeCompareNames();
};

void NameOrderKeyTest::agreesWithCompareNames_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");

    const QString digits300 = QString(300, u'7');
    QTest::newRow("case folds") << "b"
                                << "C";
    QTest::newRow("case only: keys tie") << "A"
                                         << "a";
    QTest::newRow("numbers by value") << "Track 2"
                                      << "Track 10";
    QTest::newRow("equal value, shorter run") << "Track 7"
                                              << "Track 07";
    QTest::newRow("run length before later text") << "7b"
                                                  << "07a";
    QTest::newRow("only zeros") << "0"
                                << "000";
    QTest::newRow("value of 9 digits and more") << "123456789"
                                                << "99999999";
    QTest::newRow("value past 254 digits") << digits300 << QString(200, u'9');
    QTest::newRow("two values past 254 digits") << digits300 << digits300 + u'1';
    QTest::newRow("run past 254 zeros") << QString(300, u'0') + u'1' << QString(250, u'0') + u'1';
    QTest::newRow("digit against letter") << "1a"
                                          << "a";
    QTest::newRow("digit against punctuation") << "a-"
                                               << "a1";
    QTest::newRow("same 16 characters, case differs") << "Midnight Thunder b"
                                                      << "midnight thunder A";
    QTest::newRow("digit run cut by the key") << "Midnight Thund 123"
                                              << "Midnight Thund 45";
    QTest::newRow("non-ASCII after ASCII") << "\u00e9t\u00e9"
                                           << "zoo";
    QTest::newRow("non-ASCII folds") << "\u00c9T\u00c9"
                                     << "\u00e9clair";
    QTest::newRow("Kelvin sign folds to k") << "\u212a"
                                            << "l";
    QTest::newRow("Kelvin sign against k") << "\u212aa"
                                           << "kb";
    QTest::newRow("surrogate pair") << "\U0001F3B5"
                                    << "\uFFFD";
    QTest::newRow("NUL against end") << QStringLiteral("x") << QStringLiteral("x") + QChar(0);
    QTest::newRow("control character") << "a\x01"
                                       << "a";
    QTest::newRow("prefix") << "Abba"
                            << "Abba Gold";
    QTest::newRow("empty") << ""
                           << "a";
}

void NameOrderKeyTest::agreesWithCompareNames() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    const QString forth = disagreement(a, b);
    QVERIFY2(forth.isEmpty(), qPrintable(forth));
    const QString back = disagreement(b, a);
    QVERIFY2(back.isEmpty(), qPrintable(back));
}

void NameOrderKeyTest::agreesOnRandomNames() {
    // Few units, many of them tricky, so long shared prefixes, equal values
    // with different runs, and case twins come up often.
    const QString alphabet =
        QString::fromUtf8("aAbB0019 _.-\u00e9\u00c9\u212a\u017fsk") + QChar(0xD83C) + QChar(0xDFB5);
    QRandomGenerator random(20240611);
    QStringList names;
    for (int n = 0; n < 4000; ++n) {
        QString name;
        const int length = random.bounded(0, 24);
        for (int i = 0; i < length; ++i) {
            name += alphabet[random.bounded(int(alphabet.size()))];
        }
        names << name;
    }
    for (int n = 0; n < 40000; ++n) {
        const QString& a = names[random.bounded(int(names.size()))];
        const QString& b = names[random.bounded(int(names.size()))];
        const QString problem = disagreement(a, b);
        QVERIFY2(problem.isEmpty(), qPrintable(problem + ": " + a + " | " + b));
    }
}

void NameOrderKeyTest::folderSortsLikeCompareNames() {
    QRandomGenerator random(7);
    fsservice::FolderContents contents;
    QStringList expectedFiles;
    QStringList expectedFolders;
    const QStringList words = {"Track", "track", "10", "2", "02", "\u00e9t\u00e9", " ", "_", "a"};
    for (int n = 0; n < 3000; ++n) {
        QString name;
        for (int w = random.bounded(1, 5); w > 0; --w) {
            name += words[random.bounded(int(words.size()))];
        }
        name += QString::number(n);  // every name distinct
        if (n % 10 == 0) {
            contents.subFolders.push_back(
                fsservice::SubFolder{"/m/" + name, name, name.toUtf8(), {}});
            expectedFolders << name;
        } else {
            contents.addFile(name, false, false);
            expectedFiles << name;
        }
    }
    std::sort(expectedFiles.begin(), expectedFiles.end(), fsservice::nameLess);
    std::sort(expectedFolders.begin(), expectedFolders.end(), fsservice::nameLess);

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

QTEST_GUILESS_MAIN(NameOrderKeyTest)
#include "tst_nameorderkey.moc"
