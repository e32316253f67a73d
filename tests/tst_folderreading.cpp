#include "fserror.h"
#include "musictree.h"
#include "nameorder.h"
#include "readahead.h"
#include "realfilesystem.h"

#include <QDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using fsservice::Folder;
using fsservice::ReadAhead;
using fsservice::RealFileSystem;
using fsservice::SubFolder;
using Reading = RealFileSystem::Reading;

Q_DECLARE_METATYPE(Reading)

namespace {

QStringList contents(const Folder& folder) {
    QStringList lines;
    for (const auto& sub : folder.SubFolders()) {
        lines << sub.Path + "/";
    }
    for (const auto& file : folder.Files()) {
        lines << file.Path() + (file.isHidden() ? " hidden" : "") +
                     (file.isSystem() ? " system" : "");
    }
    return lines;
}

}  // namespace

class FolderReadingTest final : public QObject {
    Q_OBJECT

private slots:
    void readings_data();
    void bigFolderReadsWhole();
    void namesOfEveryWidthKeepTheirPlace();
    void idsMatchAFreshRead_data() { readings_data(); }
    void idsMatchAFreshRead();
    void parentAskedAgainAfterItsLastSubFolder_data() { readings_data(); }
    void parentAskedAgainAfterItsLastSubFolder();
    void deepChainHoldsOneHandle_data();
    void deepChainHoldsOneHandle();
    void slowReadsStartTheReaders();
    void pathsPastMaxPathRead_data() { readings_data(); }
    void pathsPastMaxPathRead();
};

void FolderReadingTest::readings_data() {
    QTest::addColumn<Reading>("reading");
    QTest::newRow("native") << Reading::Native;
    QTest::newRow("qt") << Reading::Qt;
}

void FolderReadingTest::bigFolderReadsWhole() {
    // Far more than one 64 KiB directory read holds: every entry must come
    // back once, in the same order both ways.
    MusicTree tree;
    QStringList names;
    for (int i = 0; i < 3000; ++i) {
        names << QStringLiteral("Big/%1 a long enough name to fill the buffer.mp3").arg(i);
    }
    tree.addFiles(names);
    tree.addFolder("Big/sub");
    tree.addFile("Big/.hidden");

    RealFileSystem posix(Reading::Posix);
    RealFileSystem qt(Reading::Qt);
    const QStringList fast = contents(posix.GetFolder(tree.path("Big")));
    QCOMPARE(fast.size(), 3002);
    QCOMPARE(fast, contents(qt.GetFolder(tree.path("Big"))));
}

void FolderReadingTest::namesOfEveryWidthKeepTheirPlace() {
    // The POSIX reading decodes each name from its UTF-8 bytes and keeps all
    // names in one shared text: a name that takes fewer units than bytes must
    // not leave a gap or shift its neighbours, across several directory reads.
    const QStringList endings = {QStringLiteral("plain"), QStringLiteral("caf\u00e9"),
                                 QStringLiteral("\u6771\u4eac"), QStringLiteral("\U0001F3B5 note"),
                                 QStringLiteral("\u00dcber_\U0001D11E")};
    MusicTree tree;
    QStringList names;
    for (int i = 0; i < 2500; ++i) {
        names << QStringLiteral("%1 %2.mp3").arg(i).arg(endings[i % endings.size()]);
    }
    QStringList paths;
    for (const QString& name : names) {
        paths << "W/" + name;
    }
    tree.addFiles(paths);
    std::sort(names.begin(), names.end(), fsservice::nameLess);

    RealFileSystem posix(Reading::Posix);
    const Folder folder = posix.GetFolder(tree.path("W"));
    QStringList got;
    for (const auto& file : folder.Files()) {
        got << file.Name().toString();
        QCOMPARE(file.Path(), tree.path("W/" + got.back()));
    }
    QCOMPARE(got, names);
    RealFileSystem qt(Reading::Qt);
    QCOMPARE(contents(folder), contents(qt.GetFolder(tree.path("W"))));
}

void FolderReadingTest::idsMatchAFreshRead() {
    // A sub-folder read through its parent must have the id that reading the
    // folder by its path gives.
    QFETCH(Reading, reading);
    MusicTree tree;
    tree.addFolder("Music/Rock");
    tree.addFolder("Music/Pop");
    tree.addLink("Music/link to rock", tree.path("Music/Rock"));

    RealFileSystem fso(reading);
    const Folder music = fso.GetFolder(tree.path("Music"));
    QCOMPARE(int(music.SubFolders().size()), 3);
    for (const auto& sub : music.SubFolders()) {
        const Folder viaParent = fso.GetFolder(music, sub);
        QVERIFY2(viaParent.id() == fso.GetFolder(sub.Path).id(), qPrintable(sub.Path));
    }
    const Folder link = fso.GetFolder(music, music.SubFolders()[0]);
    const Folder rock = fso.GetFolder(music, music.SubFolders()[2]);
    QCOMPARE(link.Path(), tree.path("Music/link to rock"));
    QVERIFY(link.id() == rock.id());
    QVERIFY(!(link.id() == music.id()));
}

void FolderReadingTest::parentAskedAgainAfterItsLastSubFolder() {
    // Opening the last sub-folder lets the parent's handle go; asking again
    // must still work, by path.
    QFETCH(Reading, reading);
    MusicTree tree;
    tree.addFile("Music/A/a.mp3");
    tree.addFile("Music/B/b.mp3");

    RealFileSystem fso(reading);
    const Folder music = fso.GetFolder(tree.path("Music"));
    const auto& last = music.SubFolders().back();
    const QStringList first = contents(fso.GetFolder(music, last));
    QCOMPARE(contents(fso.GetFolder(music, last)), first);
    QCOMPARE(contents(fso.GetFolder(music, music.SubFolders().front())),
             QStringList(tree.path("Music/A/a.mp3")));
}

void FolderReadingTest::deepChainHoldsOneHandle_data() {
    QTest::addColumn<int>("readers");
    QTest::addColumn<int>("mostAllowed");
    QTest::newRow("1 reader") << 1 << 1;
    // Reading ahead, one reader may be opening the next folder down as well.
    QTest::newRow("16 readers") << 16 << 2;
}

void FolderReadingTest::deepChainHoldsOneHandle() {
#ifndef Q_OS_LINUX
    QSKIP("counts descriptors in /proc");
#else
    // Each folder of the chain has one sub-folder: once that is open the
    // parent's handle has nothing left to do, so the walk down 300 levels
    // never holds more than one.
    QFETCH(int, readers);
    QFETCH(int, mostAllowed);
    MusicTree tree;
    QString chain = "top";
    for (int level = 0; level < 300; ++level) {
        chain += QStringLiteral("/level %1").arg(level, 3, 10, QChar(u'0'));
    }
    tree.addFile(chain + "/bottom.mp3");

    const int before = openDescriptors();
    RealFileSystem fso(Reading::Posix, readers, kReadAheadAlways);
    Folder folder = fso.GetFolder(tree.path("top"));
    int depth = 0;
    int mostOpen = 0;
    while (!folder.SubFolders().empty()) {
        Folder next = fso.GetFolder(folder, folder.SubFolders().front());
        folder = std::move(next);
        mostOpen = std::max(mostOpen, openDescriptors() - before);
        ++depth;
    }
    QCOMPARE(depth, 300);
    QCOMPARE(contents(folder), QStringList(tree.path(chain + "/bottom.mp3")));
    QVERIFY2(mostOpen <= mostAllowed, qPrintable(QString::number(mostOpen)));
#endif
}

void FolderReadingTest::slowReadsStartTheReaders() {
    // A disk that takes a millisecond for every folder: after the first reads
    // the readers take over, and the walk still meets every folder in order.
    using namespace std::chrono_literals;
    MusicTree tree;
    QStringList expected;
    for (int artist = 0; artist < 4; ++artist) {
        expected << tree.path(QStringLiteral("Music/A%1").arg(artist));
        for (int album = 0; album < 5; ++album) {
            const QString folder = QStringLiteral("Music/A%1/B%2").arg(artist).arg(album);
            tree.addFile(folder + "/t.mp3");
            expected << tree.path(folder);
        }
    }
    RealFileSystem disk(Reading::Posix, 1);
    const std::thread::id walker = std::this_thread::get_id();
    std::atomic<int> readByReaders{0};
    ReadAhead ahead(
        4,
        [&](const Folder& parent, const SubFolder& sub) {
            std::this_thread::sleep_for(1ms);
            if (std::this_thread::get_id() != walker) {
                ++readByReaders;
            }
            return disk.GetFolder(parent, sub);
        },
        RealFileSystem::kSlowRead);
    const Folder root = disk.GetFolder(tree.path("Music"));
    ahead.start(root, 1ms);

    QStringList walked;
    const std::function<void(const Folder&)> walk = [&](const Folder& folder) {
        for (const SubFolder& sub : folder.SubFolders()) {
            const Folder next = ahead.next(folder, sub);
            walked << next.Path();
            walk(next);
        }
    };
    walk(root);
    QCOMPARE(walked, expected);
    QVERIFY2(readByReaders > 0, "the walk read every folder itself");
}

void FolderReadingTest::pathsPastMaxPathRead() {
    // Windows opens a path of more than MAX_PATH (260) units only in its
    // \\?\ form; the walk goes on below that depth as above it.
    QFETCH(Reading, reading);
    MusicTree tree;
    QString deep = "top";
    while (tree.path(deep).size() < 300) {
        deep += "/a folder name of some length";
    }
    tree.addFile(deep + "/bottom.mp3");

    RealFileSystem fso(reading);
    Folder folder = fso.GetFolder(tree.path("top"));
    while (!folder.SubFolders().empty()) {
        Folder next = fso.GetFolder(folder, folder.SubFolders().front());
        folder = std::move(next);
    }
    QCOMPARE(folder.Path(), tree.path(deep));
    QCOMPARE(contents(folder), QStringList(tree.path(deep + "/bottom.mp3")));
    QVERIFY(fso.GetFolder(tree.path(deep)).id() == folder.id());
}

QTEST_GUILESS_MAIN(FolderReadingTest)
#include "tst_folderreading.moc"
