#include "folderreading.h"
#include "fserror.h"
#include "musictree.h"
#include "nameorder.h"
#include "readahead.h"
#include "realfilesystem.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
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
    void readAhead_data();
    void readAhead();
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

    RealFileSystem posix(Reading::Native);
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

    RealFileSystem posix(Reading::Native);
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
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("keepWayDown");  // the walk holds every folder above it
    QTest::addColumn<int>("mostAllowed");
    QTest::newRow("1 reader") << 1 << 300 << false << 1;
    // Reading ahead, one reader may be opening the next folder down as well.
    QTest::newRow("16 readers") << 16 << 300 << false << 2;
    // Held folders keep no more directories open than the reader's limit.
    QTest::newRow("the whole way down held") << 1 << 150 << true << 64;
}

void FolderReadingTest::deepChainHoldsOneHandle() {
#ifndef Q_OS_LINUX
    QSKIP("counts descriptors in /proc");
#else
    // Each folder of the chain has one sub-folder: once that is open the
    // parent's handle has nothing left to do, so the walk down never holds
    // more than one, and none once the service is gone.
    QFETCH(int, readers);
    QFETCH(int, depth);
    QFETCH(bool, keepWayDown);
    QFETCH(int, mostAllowed);
    MusicTree tree;
    QString chain = "top";
    for (int level = 0; level < depth; ++level) {
        chain += QStringLiteral("/level %1").arg(level, 3, 10, QChar(u'0'));
    }
    tree.addFile(chain + "/bottom.mp3");

    const int before = openDescriptors();
    {
        RealFileSystem fso(Reading::Native, readers, kReadAheadAlways);
        std::vector<Folder> wayDown{fso.GetFolder(tree.path("top"))};
        int mostOpen = 0;
        while (!wayDown.back().SubFolders().empty()) {
            Folder next = fso.GetFolder(wayDown.back(), wayDown.back().SubFolders().front());
            if (!keepWayDown) {
                wayDown.pop_back();
            }
            wayDown.push_back(std::move(next));
            mostOpen = std::max(mostOpen, openDescriptors() - before);
        }
        QCOMPARE(wayDown.back().Path(), tree.path(chain));
        QCOMPARE(contents(wayDown.back()), QStringList(tree.path(chain + "/bottom.mp3")));
        QVERIFY2(mostOpen <= mostAllowed, qPrintable(QString::number(mostOpen)));
    }
    QCOMPARE(openDescriptors(), before);
#endif
}

namespace {

using namespace std::chrono_literals;

/// A folder tree held in memory, read with programmed delays and failures,
/// and the counts a test of the read-ahead needs. Under /m each folder holds
/// `width` folders down to `depth` levels; with `loop`, /m/a1/b1/loop is a
/// link back to /m/a1.
class MemoryDisk {
public:
    int width = 3;
    int depth = 3;
    bool loop = false;
    std::chrono::microseconds delay{0};  // each read from the `slowFrom`th on
    int slowFrom = 0;
    QString failing;  // the folder whose read fails

    std::atomic<int> started{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> byReaders{0};
    std::atomic<int> firstByReader{-1};  // the number of the first read a reader made
    std::atomic<bool> failedInReader{false};
    std::atomic<int> taken{0};  // folders the walk has got
    std::atomic<int> mostAhead{0};
    std::thread::id walker = std::this_thread::get_id();

    Folder root() const { return folder(QStringLiteral("/m")); }

    Folder read(const Folder&, const SubFolder& sub) {
        const int number = started++;
        ++inFlight;
        int ahead = number + 1 - taken;
        int most = mostAhead;
        while (ahead > most && !mostAhead.compare_exchange_weak(most, ahead)) {
        }
        const bool byReader = std::this_thread::get_id() != walker;
        if (byReader && byReaders++ == 0) {
            firstByReader = number;
        }
        if (number >= slowFrom) {
            std::this_thread::sleep_for(delay);
        }
        const auto done = qScopeGuard([this] { --inFlight; });
        if (sub.Path == failing) {
            failedInReader = byReader;
            throw fsservice::FsError(sub.Path, QStringLiteral("Input/output error"));
        }
        return folder(sub.Path);
    }

private:
    Folder folder(const QString& path) const {
        const qsizetype level = path.count(u'/') - 1;
        const bool isLoop = path.endsWith(QStringLiteral("/loop"));
        // Below the link, the names go on as below the folder it leads to.
        const qsizetype shape = isLoop ? 1 : level;
        fsservice::FolderContents contents;
        if (shape < depth) {
            for (int i = 0; i < width; ++i) {
                const QString name = QChar(char16_t(u'a' + shape)) + QString::number(i);
                contents.subFolders.push_back(SubFolder{path + u'/' + name, name, {}, false});
            }
            if (loop && !isLoop && path == QLatin1String("/m/a1/b1")) {
                contents.subFolders.push_back(SubFolder{path + "/loop", "loop", {}, true});
            }
        }
        const QString id = isLoop ? QStringLiteral("/m/a1") : path;
        return Folder(path, std::move(contents), fsservice::FolderId{0, 0, id.toUtf8()}, nullptr);
    }
};

/// A pre-order walk that leaves out a folder it is inside already, as the album
/// scan walks: each folder's path, or "error PATH" where a read failed and the
/// walk stopped. Stops after `most` folders, and sleeps `pause` after each.
QStringList walk(const std::function<Folder(const Folder&, const SubFolder&)>& next,
                 const Folder& root, MemoryDisk* disk = nullptr, int most = -1,
                 std::chrono::microseconds pause = 0us) {
    QStringList walked;
    QList<QByteArray> wayDown{root.id().path};
    const std::function<bool(const Folder&)> below = [&](const Folder& folder) {
        for (const SubFolder& sub : folder.SubFolders()) {
            if (walked.size() == most) {
                return false;
            }
            std::optional<Folder> read;
            try {
                read = next(folder, sub);
            } catch (const fsservice::FsError& error) {
                walked << "error " + error.path();
                return false;
            }
            if (disk) {
                ++disk->taken;
            }
            walked << read->Path();
            std::this_thread::sleep_for(pause);
            if (wayDown.contains(read->id().path)) {
                continue;
            }
            wayDown << read->id().path;
            const bool goOn = below(*read);
            wayDown.removeLast();
            if (!goOn) {
                return false;
            }
        }
        return true;
    };
    below(root);
    return walked;
}

}  // namespace

void FolderReadingTest::readAhead_data() {
    QTest::addColumn<int>("readers");
    // Reads this slow start the readers (0: every read), far above what a
    // sanitizer makes of a quick read on a busy machine.
    QTest::addColumn<int>("slowReadUs");
    // Delays and pauses of a millisecond at least: Windows sleeps no shorter,
    // and a shorter one there lets the walk end before a reader has started.
    QTest::addColumn<int>("delayUs");  // of each read from the `slowFrom`th on
    QTest::addColumn<int>("slowFrom");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("stopAfter");  // folders the walk takes before it ends; -1 all
    QTest::addColumn<int>("pauseUs");    // the walk's own work on each folder
    QTest::addColumn<bool>("readersRead");

    QTest::newRow("16 readers give one reader's order")
        << 16 << 0 << 1000 << 0 << 4 << 3 << false << "" << -1 << 0 << true;
    QTest::newRow("a failure ahead reaches the walk at its step")
        << 16 << 0 << 1000 << 0 << 4 << 3 << false << "/m/a2/b1/c3" << -1 << 0 << true;
    QTest::newRow("a link back up is read, passed by, and what was read below it dropped")
        << 16 << 0 << 1000 << 0 << 3 << 3 << true << "" << -1 << 0 << true;
    QTest::newRow("slow reads start the readers in the middle of the walk")
        << 4 << 2000 << 10000 << 30 << 4 << 3 << false << "" << -1 << 0 << true;
    QTest::newRow("quick reads never start them")
        << 16 << 5000 << 0 << 0 << 4 << 3 << false << "" << -1 << 0 << false;
    QTest::newRow("destroyed with reads under way")
        << 16 << 0 << 20000 << 0 << 4 << 3 << false << "" << 3 << 0 << true;
    QTest::newRow("never more folders ahead than the bound")
        << 16 << 0 << 0 << 0 << 300 << 1 << false << "" << -1 << 1000 << true;
}

// The read-ahead on a disk held in memory: the walk meets the same folders and
// failures in the same order as when it reads every folder itself, whatever
// the readers do meanwhile; none of them outlives it.
void FolderReadingTest::readAhead() {
    QFETCH(int, readers);
    QFETCH(int, slowReadUs);
    QFETCH(int, delayUs);
    QFETCH(int, slowFrom);
    QFETCH(int, width);
    QFETCH(int, depth);
    QFETCH(bool, loop);
    QFETCH(QString, failing);
    QFETCH(int, stopAfter);
    QFETCH(int, pauseUs);
    QFETCH(bool, readersRead);

    MemoryDisk disk;
    disk.width = width;
    disk.depth = depth;
    disk.loop = loop;
    disk.failing = failing;
    const Folder root = disk.root();
    QStringList expected = walk(
        [&](const Folder& parent, const SubFolder& sub) { return disk.read(parent, sub); }, root);
    if (stopAfter >= 0) {
        expected = expected.mid(0, stopAfter);
    }
    disk.started = 0;
    disk.mostAhead = 0;
    disk.delay = std::chrono::microseconds(delayUs);
    disk.slowFrom = slowFrom;

    std::optional<ReadAhead> ahead(
        std::in_place, readers,
        [&](const Folder& parent, const SubFolder& sub) { return disk.read(parent, sub); },
        std::chrono::microseconds(slowReadUs));
    ahead->start(root, 0us);
    const QStringList walked =
        walk([&](const Folder& parent, const SubFolder& sub) { return ahead->next(parent, sub); },
             root, &disk, stopAfter, std::chrono::microseconds(pauseUs));
    ahead.reset();
    QCOMPARE(disk.inFlight.load(), 0);
    const int reads = disk.started;
    std::this_thread::sleep_for(20ms);
    QCOMPARE(disk.started.load(), reads);

    QCOMPARE(walked, expected);
    QVERIFY2(disk.mostAhead <= int(ReadAhead::kMaxAhead) + 1,
             qPrintable(QString::number(disk.mostAhead)));
    if (!readersRead) {
        QCOMPARE(disk.byReaders.load(), 0);
        return;
    }
    QVERIFY2(disk.byReaders > 0, "the walk read every folder itself");
    QVERIFY2(disk.firstByReader >= slowFrom, qPrintable(QString::number(disk.firstByReader)));
    if (!failing.isEmpty()) {
        QVERIFY2(disk.failedInReader, "the failing folder was not read ahead");
    }
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
