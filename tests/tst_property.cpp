// Trees drawn at random from a hostile alphabet, a few hundred per run. For
// each, the Start command writes a playlist under a random name, and the
// document and index are parsed back and compared with what the rules select,
// worked out apart from the writer (treemodel.h).
//
// The seed is new on every run and printed; TRACKFOLD_SEED=<seed> repeats a
// run, TRACKFOLD_TREES=<count> changes how many trees it draws.
//
// On Windows the alphabet keeps only what a Windows name may hold: no bytes
// that are not UTF-8, no control characters, none of the characters Windows
// forbids, no trailing dot or space, and siblings differ in more than letter
// case. Hidden and system files are made by attribute there, as Windows has no
// FIFO (Wine also hides the names starting with '.').

#include "musictree.h"
#include "playlistcheck.h"
#include "playlistxml.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"
#include "treemodel.h"

#include <QDateTime>
#include <QDir>
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

// Whether a Windows name may hold every character of `text`: UTF-8, and none
// of the characters Windows forbids. POSIX names may hold them all.
bool charactersAllowed(const QByteArray& text) {
#ifdef Q_OS_WIN
    const QString decoded = QString::fromUtf8(text);
    return decoded.toUtf8() == text && std::none_of(decoded.begin(), decoded.end(), [](QChar c) {
               return c.unicode() < 0x20 || QStringView(u"<>:\"/\\|?*").contains(c);
           });
#else
    Q_UNUSED(text)
    return true;
#endif
}

// Whether the disk takes `name` (its length aside). Windows also refuses a
// trailing dot or space; the pieces make no device name such as "con".
bool nameAllowed(const QByteArray& name) {
#ifdef Q_OS_WIN
    if (name.endsWith('.') || name.endsWith(' ')) {
        return false;
    }
#endif
    return charactersAllowed(name);
}

// Whether two names would stand for the same entry: the same text, or on
// Windows the same text in other letter case.
bool sameName(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    return a.toCaseFolded() == b.toCaseFolded() || a.toUpper() == b.toUpper();
#else
    return a == b;
#endif
}

// The pieces this platform's names may hold.
QList<QByteArray> allowedPieces() {
    QList<QByteArray> pieces;
    for (const QByteArray& piece : kPieces) {
        if (charactersAllowed(piece)) {
            pieces << piece;
        }
    }
    return pieces;
}

class Generator {
public:
    explicit Generator(quint64 seed) : m_random(seed) {}

    int below(int n) { return int(m_random.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }

    QByteArray word(int maxPieces) {
        QByteArray word;
        static const QList<QByteArray> pieces = allowedPieces();
        for (int i = 1 + below(maxPieces); i > 0; --i) {
            word += pieces[below(int(pieces.size()))];
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
            QByteArray target;
            bool system = false;
            if (chance(4)) {
#ifdef Q_OS_WIN
                system = true;  // Windows has no FIFO
#else
                kind = TreeNode::Kind::Fifo;
#endif
            } else if (chance(4)) {
                kind = TreeNode::Kind::Link;
                target = "no such target";
            }
            TreeNode file{kind, fileName(), target, {}, false, system};
#ifdef Q_OS_WIN
            file.hidden = kind == TreeNode::Kind::File && chance(10);
#endif
            add(folder, std::move(file));
        }
        if (chance(6) && budget > 0) {
            --budget;
            const QByteArray name = folderName();
            // "." is the folder holding the link, each ".." a level above.
            const int up = below(depth + 1);
            const QByteArray target = up == 0 ? "." : QByteArray("/..").repeated(up).mid(1);
            add(folder, TreeNode{TreeNode::Kind::Link, name, target, {}, false, false});
        }
        for (int i = 0; i < folders && budget > 0; ++i, --budget) {
            TreeNode* sub =
                add(folder, TreeNode{TreeNode::Kind::Folder, folderName(), {}, {}, false, false});
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
            node.name.contains('/') || node.name.size() > 255 || !nameAllowed(node.name)) {
            return nullptr;
        }
        const QString decoded = QString::fromUtf8(node.name);
        for (const TreeNode& sibling : folder.children) {
            if (sameName(QString::fromUtf8(sibling.name), decoded)) {
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
               musicName == ".." || sameName(QString::fromUtf8(musicName), "xml") ||
               QString::fromUtf8(musicName).toUtf8() != musicName || !nameAllowed(musicName)) {
            musicName = generate.folderName();
        }
        const QString musicFolder = QString::fromUtf8(musicName);
        tree.addFolder("jukebox/" + musicFolder);
        const QString jukebox = tree.path("jukebox");
        const QString absolute = jukebox + QDir::separator() + musicFolder;
        buildTree(nativeBytes(absolute), music);
        const QString typed = QStringList{absolute, absolute + QDir::separator(), musicFolder,
                                          musicFolder + QDir::separator()}[generate.below(4)];

        QByteArray rawName;
        while (rawName.isEmpty() || rawName.contains('/') || rawName.contains('\\') ||
               QString::fromUtf8(rawName).toUtf8() != rawName || !nameAllowed(rawName + ".xml")) {
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

        const QString xml = jukebox + QDir::separator() + "xml" + QDir::separator();
        const QStringList wanted = expectedAlbums(music, typed, absolute);
        const QByteArray document = readBytes(xml + name + ".xml");
        const QByteArray index = readBytes(xml + "brantwell-playlists.xml");
        const QStringList events = {"beep", "message Information: Playlist: " + xml + name +
                                                " is ready. Start the jukebox or press the "
                                                "(R)eload button on the Album Panel."};
        const bool holds = view.events == events && documentProblem(document).isEmpty() &&
                           xmlOutline(document) == QStringList("playlist type=[local]") + wanted &&
                           indexProblem(index).isEmpty() &&
                           indexOutline(index) == QStringList("filelist") + expectedIndex(xml);
        if (!holds) {
            qWarning().noquote() << "tree" << n << "of seed" << seed << "typed" << typed << "name"
                                 << name << "\n"
                                 << describeTree(music);
            qWarning().noquote() << "document holds:\n"
                                 << xmlOutline(document).join(u'\n') << "\nthe rules select:\n"
                                 << wanted.join(u'\n');
        }
        QCOMPARE(view.events, events);
        QCOMPARE(documentProblem(document), QString());
        QCOMPARE(xmlOutline(document), QStringList("playlist type=[local]") + wanted);
        QCOMPARE(indexProblem(index), QString());
        QCOMPARE(indexOutline(index), QStringList("filelist") + expectedIndex(xml));

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
