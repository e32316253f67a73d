// Trees drawn at random from a hostile alphabet, a few hundred per run. For
// each, the Start command writes a playlist under a random name, and the
// document and index are parsed back and compared with what the rules select,
// worked out apart from the writer (treemodel.h).
//
// The seed is new on every run and printed; TRACKFOLD_SEED=<seed> repeats a
// run, TRACKFOLD_TREES=<count> changes how many trees it draws.

#include "musictree.h"
#include "playlistcheck.h"
#include "playlistxml.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"
#include "treemodel.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

// Pieces names are made of: markup, blanks and controls, bytes that are not
// UTF-8, letters in two cases and several scripts, digit runs, and the
// ".mp3" and "_" the titles are cut by.
const QList<QByteArray> kPieces = {"&",
                                   "<",
                                   ">",
                                   "\"",
                                   "'",
                                   "&amp;",
                                   " ",
                                   "  ",
                                   "\t",
                                   "\n",
                                   "\r",
                                   "\x01",
                                   "\x1b",
                                   "\x7f",
                                   "\xff",
                                   "\xc3",
                                   "\xed\xa0\x80",
                                   "\xc0\xaf",
                                   "_",
                                   ".",
                                   "-",
                                   "a",
                                   "A",
                                   "b",
                                   "B",
                                   "z",
                                   "Z",
                                   "\xc3\xa9",
                                   "\xc3\x89",
                                   "\xc4\xb3",
                                   "\xc4\xb2",
                                   "\xce\xa9",
                                   "\xcf\x89",
                                   "\xce\xa3",
                                   "\xcf\x82",
                                   "\xe9\x9f\xb3",
                                   "\xe6\xa5\xbd",
                                   "\xf0\x9f\x8e\xb5",
                                   "\xf0\x9f\xa5\x81",
                                   "0",
                                   "1",
                                   "2",
                                   "9",
                                   "007",
                                   "10",
                                   "0010",
                                   "99999999999999999999999",
                                   ".mp3",
                                   ".MP3",
                                   "mp3",
                                   "\\",
                                   "%1",
                                   "Playlist"};

const QList<QByteArray> kFileEnds = {".mp3",     ".mp3", ".mp3", ".MP3",  ".Mp3", "_ .mp3",
                                     ".mp3.mp3", ".jpg", "",     ".mp3 ", ".mp3s"};

class Generator {
public:
    explicit Generator(quint64 seed) : m_random(seed) {}

    int below(int n) { return int(m_random.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }

    QByteArray word(int maxPieces) {
        QByteArray word;
        for (int i = 1 + below(maxPieces); i > 0; --i) {
            word += kPieces[below(int(kPieces.size()))];
        }
        return word;
    }

    QByteArray fileName() {
        QByteArray name = word(4) + kFileEnds[below(int(kFileEnds.size()))];
        if (chance(10)) {
            name.prepend(chance(50) ? "._" : ".");  // hidden, the macOS way too
        }
        return name;
    }

    QByteArray folderName() {
        QByteArray name = word(3);
        if (chance(8)) {
            name += ".mp3s";  // every file in it is a track
        }
        return name;
    }

    /// Fills `folder` (at `depth` below the music folder) with up to `budget`
    /// nodes, in one of three shapes.
    void fill(TreeNode& folder, int depth, int& budget, int shape) {
        const int files = shape == 1 ? below(40) : below(5);
        const int folders = shape == 2 ? (depth < 40 ? 1 : 0) : (depth < 5 ? below(4) : 0);
        for (int i = 0; i < files && budget > 0; ++i, --budget) {
            TreeNode::Kind kind = TreeNode::Kind::File;
            if (chance(4)) {
                kind = TreeNode::Kind::Fifo;
            } else if (chance(4)) {
                kind = TreeNode::Kind::BrokenLink;
            }
            add(folder, TreeNode{kind, fileName(), 0, {}});
        }
        if (chance(6) && budget > 0) {
            --budget;
            add(folder, TreeNode{TreeNode::Kind::LinkUp, folderName(), below(depth + 1), {}});
        }
        for (int i = 0; i < folders && budget > 0; ++i, --budget) {
            TreeNode* sub = add(folder, TreeNode{TreeNode::Kind::Folder, folderName(), 0, {}});
            if (sub) {
                fill(*sub, depth + 1, budget, shape);
            }
        }
    }

private:
    // Adds `node` unless the disk would refuse its name or its decoded name
    // would tie with a sibling's (their order would then be left to chance).
    static TreeNode* add(TreeNode& folder, TreeNode node) {
        if (node.name.isEmpty() || node.name == "." || node.name == ".." ||
            node.name.contains('/') || node.name.size() > 255) {
            return nullptr;
        }
        const QString decoded = QString::fromUtf8(node.name);
        for (const TreeNode& sibling : folder.children) {
            if (QString::fromUtf8(sibling.name) == decoded) {
                return nullptr;
            }
        }
        folder.children.push_back(std::move(node));
        return &folder.children.back();
    }

    QRandomGenerator64 m_random;
};

quint64 seedOfThisRun() {
    bool given = false;
    const quint64 seed = qEnvironmentVariable("TRACKFOLD_SEED").toULongLong(&given);
    return given ? seed : quint64(QDateTime::currentMSecsSinceEpoch());
}

}  // namespace

class PropertyTest final : public QObject {
    Q_OBJECT

private slots:
    void documentHoldsWhatTheRulesSelect();
};

void PropertyTest::documentHoldsWhatTheRulesSelect() {
    const quint64 seed = seedOfThisRun();
    const int trees = qEnvironmentVariableIsSet("TRACKFOLD_TREES")
                          ? qEnvironmentVariableIntValue("TRACKFOLD_TREES")
                          : 300;
    qInfo("property seed %llu, %d trees (repeat with TRACKFOLD_SEED=%llu)", seed, trees, seed);

    int albums = 0;
    int tracks = 0;
    int nodes = 0;
    for (int n = 0; n < trees; ++n) {
        Generator generate(seed + quint64(n));
        TreeNode music;
        int budget = 20 + generate.below(100);
        generate.fill(music, 0, budget, generate.below(3));

        MusicTree tree;
        tree.addFolder("jukebox/xml");
        // A music folder with a hostile name of its own, typed in one of four ways.
        QByteArray musicName;
        while (musicName.isEmpty() || musicName.contains('/') || musicName == "." ||
               musicName == ".." || musicName == "xml" ||
               QString::fromUtf8(musicName).toUtf8() != musicName) {
            musicName = generate.folderName();
        }
        const QString musicFolder = QString::fromUtf8(musicName);
        tree.addFolder("jukebox/" + musicFolder);
        const QString jukebox = tree.path("jukebox");
        const QString absolute = jukebox + "/" + musicFolder;
        buildTree(QFile::encodeName(absolute), music);
        const QString typed = QStringList{absolute, absolute + "/", musicFolder,
                                          musicFolder + "/"}[generate.below(4)];

        QByteArray rawName;
        while (rawName.isEmpty() || rawName.contains('/') ||
               QString::fromUtf8(rawName).toUtf8() != rawName) {
            rawName = generate.word(3) + (generate.chance(50) ? " playlist" : "");
        }
        const QString name = QString::fromUtf8(rawName);

        RecordingView view;
        view.path = typed;
        view.name = name;
        {
            const CurrentDirectoryScope current(jukebox);
            fsservice::RealFileSystem fso(fsservice::RealFileSystem::kDefaultReading, 1);
            writer::StartCommand(fso, view, texts::english).run();
        }

        const QString xml = jukebox + "/xml/";
        const QStringList wanted = expectedAlbums(music, typed, absolute);
        const QByteArray document = readBytes(xml + name + ".xml");
        const QByteArray index = readBytes(xml + "brantwell-playlists.xml");
        const QStringList events = {"beep", "message Information: Playlist: " + xml + name +
                                                " is ready. Start the jukebox or press the "
                                                "(R)eload button on the Album Panel."};
        const bool holds = view.events == events && documentProblem(document).isEmpty() &&
                           xmlOutline(document) == QStringList("playlist type=[local]") + wanted &&
                           indexProblem(index).isEmpty() &&
                           xmlOutline(index) == QStringList("filelist") + expectedIndex(xml);
        if (!holds) {
            qWarning().noquote() << "tree" << n << "of seed" << seed << "typed" << typed << "name"
                                 << name << "\n"
                                 << describeTree(music);
        }
        QCOMPARE(view.events, events);
        QCOMPARE(documentProblem(document), QString());
        QCOMPARE(xmlOutline(document), QStringList("playlist type=[local]") + wanted);
        QCOMPARE(indexProblem(index), QString());
        QCOMPARE(xmlOutline(index), QStringList("filelist") + expectedIndex(xml));

        // Reading ahead gives the same document, byte for byte, and the same
        // messages (the replace question first, as the document is there now).
        RecordingView again;
        again.path = typed;
        again.name = name;
        {
            const CurrentDirectoryScope current(jukebox);
            fsservice::RealFileSystem fso(fsservice::RealFileSystem::kDefaultReading, 16,
                                          kReadAheadAlways);
            writer::StartCommand(fso, again, texts::english).run();
        }
        QCOMPARE(again.events.mid(again.events.size() - 2), events);
        QVERIFY2(readBytes(xml + name + ".xml") == document, "reading ahead changed the document");

        nodes += music.size() - 1;
        albums += int(wanted.filter(QRegularExpression("^album ")).size());
        tracks += int(wanted.size()) - int(wanted.filter(QRegularExpression("^album ")).size());
    }
    qInfo("%d trees, %d entries, %d albums, %d tracks: all as the rules select", trees, nodes,
          albums, tracks);
}

QTEST_GUILESS_MAIN(PropertyTest)
#include "tst_property.moc"
