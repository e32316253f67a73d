// Hostile inputs, hostile trees, injected faults, killed processes and two runs
// at once. Every row checks the same four things: the run ends (it does not
// crash or hang), the user gets the right message, nothing earlier in the
// playlist folder is lost or left half-written, and every file written is
// well-formed XML whose attribute values are exactly the raw names.

#include "jukebox.h"
#include "playlistcheck.h"
#include "playlistxml.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"
#include "treemodel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <QCoreApplication>

#include <cerrno>
#include <optional>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using fsservice::RealFileSystem;
using writer::StartCommand;
using Operation = FaultyFileSystem::Operation;

namespace {

enum class Outcome { Done, NotFound, NameHasSeparator, NameIsIndex, NameIsDevice, Error };

#ifndef Q_OS_WIN
// Windows codes of the system's reasons, for systemReason.
constexpr int ERROR_INVALID_NAME = 0;
constexpr int ERROR_FILENAME_EXCED_RANGE = 0;
#endif

}  // namespace

Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Written)

namespace {

const QByteArray kIndex = kIndexName;

QList<QByteArray> standardTree() {
    QList<QByteArray> entries;
    for (const QString& entry : standardMusic()) {
        entries << entry.toUtf8();
    }
    return entries;
}

/// The node at `relative` ('/' between names), or null; const or not as `root` is.
template <typename Node>
Node* nodeAt(Node& root, const QString& relative) {
    Node* node = &root;
    for (const QString& part : relative.split(u'/', Qt::SkipEmptyParts)) {
        const auto found = std::find_if(
            node->children.begin(), node->children.end(),
            [&](const TreeNode& child) { return QString::fromUtf8(child.name) == part; });
        if (found == node->children.end()) {
            return nullptr;
        }
        node = &*found;
    }
    return node;
}

/// Writes `bytes` to the file at `nativePath` (nativeBytes of its path): a new
/// file, or only when none is there yet with `onlyNew`. False when the disk
/// refuses the name; any other failure aborts.
bool putFile(const QByteArray& nativePath, const QByteArray& bytes, bool onlyNew = false) {
#ifdef Q_OS_WIN
    QFile file(fromNativeBytes(nativePath));
    if (!file.open(onlyNew ? QIODevice::WriteOnly | QIODevice::NewOnly : QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", nativePath.constData());
    }
#else
    const int fd = ::open(nativePath.constData(),
                          O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | (onlyNew ? O_EXCL : 0), 0644);
    if (fd < 0 && onlyNew) {
        return false;
    }
    if (fd < 0 || ::write(fd, bytes.constData(), bytes.size()) != bytes.size()) {
        qFatal("cannot write %s", nativePath.constData());
    }
    ::close(fd);
#endif
    return true;
}

/// The jukebox folder of a row: its music tree built from raw names, and more
/// earlier playlists beside "playlist.xml" (names with markup and invalid
/// UTF-8 among them, on Windows markup it allows and a letter outside ASCII),
/// one under the row's own name where the disk takes it.
struct Stage : Jukebox {
    TreeNode jukeboxModel;  // the jukebox folder's own entries
    QMap<QByteArray, QByteArray> before;

    explicit Stage(const QList<QByteArray>& musicEntries, const QString& name = "playlist",
                   bool withPlaylistFolder = true)
        : Jukebox({}, withPlaylistFolder) {
        QList<QByteArray> entries;
        for (const QByteArray& entry : musicEntries) {
            entries << "Music/" + entry;
        }
        entries << "Music/";
        jukeboxModel = parseTree(entries);
        buildTree(nativeBytes(jukebox), jukeboxModel);
        if (!withPlaylistFolder) {
            return;
        }
        const QByteArray folder = nativeBytes(xml);
#ifdef Q_OS_WIN
        const QList<QByteArray> earlier{"Old Playlist.xml", "Caf\xc3\xa9 playlist.xml",
                                        "Rock & Roll 'playlist'.xml"};
#else
        const QList<QByteArray> earlier{"Old Playlist.xml", "Caf\xe9 playlist.xml",
                                        "Rock & Roll <playlist>.xml"};
#endif
        for (const QByteArray& file : earlier) {
            putFile(folder + file, earlierDocument);
        }
#ifdef Q_OS_WIN
        // Windows writes into the device so named (a serial port for "COM1").
        const bool device = StartCommand::isDeviceName(name);
#else
        const bool device = false;
#endif
        if (!device) {
            putFile(folder + nativeBytes(name) + ".xml", earlierDocument, true);
        }
        rememberPlaylistFolder();
        before = snapshotFolder(xml);
    }

    /// A typed path with '/' between names, typed natively.
    QString expand(QString text) const {
        text.replace("{music}", music).replace("{jukebox}", jukebox).replace("{xml}", xml);
        return QDir::toNativeSeparators(text);
    }

    /// The albums the document must hold when the music folder is typed so, and
    /// the folders `leftOut` (in the jukebox folder) cannot be read.
    QStringList albums(const QString& typed, const QStringList& leftOut = {}) const {
        const QString absolute =
            QDir::toNativeSeparators(QDir::cleanPath(QDir(jukebox).absoluteFilePath(typed)));
        TreeNode model = jukeboxModel;
        for (const QString& folder : leftOut) {
            TreeNode* parent = nodeAt(model, folder.section(u'/', 0, -2));
            std::erase_if(parent->children, [&](const TreeNode& child) {
                return child.name == folder.section(u'/', -1).toUtf8();
            });
        }
        const TreeNode* node =
            nodeAt(model, QDir(jukebox).relativeFilePath(QDir::fromNativeSeparators(absolute)));
        if (!node) {
            return {"no such folder in the model: " + typed};
        }
        return expectedAlbums(*node, typed, absolute);
    }

    /// After a run: the playlist folder holds what it held before, except that
    /// the document named `name` and the index may be replaced as `written`
    /// says, and what replaced them is complete and exactly what was meant.
    void verify(Written written, const QString& name, const QStringList& albums) const {
        const QByteArray document = nativeBytes(name) + ".xml";
        const QMap<QByteArray, QByteArray> after = snapshotFolder(xml);
        QList<QByteArray> names = before.keys();
        if (written != Written::Nothing && !names.contains(document)) {
            names << document;
        }
        if (written == Written::Both && !names.contains(kIndex)) {
            names << kIndex;
        }
        std::sort(names.begin(), names.end());
        QCOMPARE(after.keys(), names);  // nothing new besides them, no temporary left
        for (auto it = before.begin(); it != before.end(); ++it) {
            const bool replaced = (written != Written::Nothing && it.key() == document) ||
                                  (written == Written::Both && it.key() == kIndex);
            if (!replaced) {
                QVERIFY2(after.value(it.key()) == it.value(), "changed: " + it.key());
            }
        }
        if (written != Written::Nothing) {
            const QByteArray bytes = after.value(document);
            QCOMPARE(documentProblem(bytes), QString());
            QCOMPARE(xmlOutline(bytes), QStringList("playlist type=[local]") + albums);
        }
        if (written == Written::Both) {
            const QByteArray bytes = after.value(kIndex);
            QCOMPARE(indexProblem(bytes), QString());
            QCOMPARE(indexOutline(bytes), QStringList("filelist") + expectedIndex(xml));
        }
    }
};

/// Says, the first time it is asked, that the playlist folder is not there,
/// and makes it just then: what a second copy of the program does when it
/// starts at the same moment.
class RacingFileSystem final : public fsservice::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    bool FolderExists(const QString& path) override {
        if (!m_raced) {
            m_raced = true;
            QDir().mkdir(path);
            return false;
        }
        return ForwardingFileSystem::FolderExists(path);
    }

private:
    bool m_raced = false;
};

// --- processes -------------------------------------------------------------

/// The driver program. The build names it by its host's path, which a
/// Windows program under Wine cannot start: there it is the one beside the test.
QString driverProgram() {
#ifdef Q_OS_WIN
    return QCoreApplication::applicationDirPath() + QStringLiteral("/trackfold_driver.exe");
#else
    return QStringLiteral(TRACKFOLD_DRIVER);
#endif
}

/// One run of the driver program; see trackfold_driver.cpp.
class Driver {
public:
    explicit Driver(const QStringList& arguments, const QStringList& environment = {}) {
        m_process.setEnvironment(QProcess::systemEnvironment() + environment);
        m_process.setProgram(driverProgram());
        m_process.setArguments(arguments);
        m_process.start();
        if (!m_process.waitForStarted()) {
            qFatal("cannot start %s: %s", qPrintable(driverProgram()),
                   qPrintable(m_process.errorString()));
        }
    }
    ~Driver() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    Q_DISABLE_COPY_MOVE(Driver)

    /// Waits for the line "gate <where>"; false when the driver ended first or
    /// went silent for a minute (a hang).
    bool waitForGate(const QString& where) {
        const QByteArray wanted = "gate " + where.toUtf8() + "\n";
        while (!m_output.contains(wanted)) {
            if (m_process.state() == QProcess::NotRunning || !m_process.waitForReadyRead(60000)) {
                m_output += m_process.readAllStandardOutput();
                return m_output.contains(wanted);
            }
            m_output += m_process.readAllStandardOutput();
        }
        return true;
    }
    void release() { m_process.write("go\n"); }
    qint64 pid() const { return m_process.processId(); }
    /// Ends the driver at once, wherever it is: SIGKILL, on Windows
    /// TerminateProcess.
    void kill() { m_process.kill(); }

    /// Waits until the driver ends (a minute at most: longer is a hang).
    bool finish() {
        const bool ended =
            m_process.state() == QProcess::NotRunning || m_process.waitForFinished(60000);
        m_output += m_process.readAllStandardOutput();
        m_errors += m_process.readAllStandardError();
        return ended;
    }
    bool killed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    int exitCode() const { return m_process.exitCode(); }
    QStringList events() const {
        QStringList lines;
        for (const QByteArray& line : m_output.split('\n')) {
            if (line.startsWith("event: ")) {
                lines << QString::fromUtf8(line.mid(7));
            }
        }
        return lines;
    }
    QByteArray errors() const { return m_errors; }

private:
    QProcess m_process;
    QByteArray m_output;
    QByteArray m_errors;
};

/// Bytes written so far to the new files the process `pid` is writing in the
/// playlist folder of `stage`, or -1 when it writes none there. On Linux the
/// files it holds open there (its temporary files have no name); on Windows
/// the files there under a name the folder did not hold before.
qint64 bytesBeingWritten(qint64 pid, const Stage& stage) {
    qint64 bytes = -1;
#ifdef Q_OS_WIN
    // Sizes from the folder's entries: Windows keeps no list of a process's
    // open files to look them up in.
    Q_UNUSED(pid)
    for (const QByteArray& name : snapshotFolder(stage.xml).keys()) {
        if (!stage.before.contains(name)) {
            bytes =
                std::max<qint64>(bytes, 0) + QFileInfo(stage.xml + fromNativeBytes(name)).size();
        }
    }
#else
    const QByteArray fds = "/proc/" + QByteArray::number(pid) + "/fd/";
    DIR* dir = ::opendir(fds.constData());
    if (!dir) {
        return bytes;
    }
    const QByteArray prefix = QFile::encodeName(stage.xml);
    while (const dirent* d = ::readdir(dir)) {
        char target[4096];
        const QByteArray link = fds + d->d_name;
        const ssize_t length = ::readlink(link.constData(), target, sizeof target);
        struct stat st;
        if (length > 0 && QByteArray(target, length).startsWith(prefix) &&
            ::stat(link.constData(), &st) == 0) {
            bytes = std::max<qint64>(bytes, 0) + st.st_size;
        }
    }
    ::closedir(dir);
#endif
    return bytes;
}

/// A file that replaces an existing one is written under a temporary name
/// beside it ("playlist.xml.AbCdEf") and then renamed over it. True for such
/// a name of the document or the index; the index never lists it, as its
/// name does not end in ".xml".
bool isTemporaryName(const QByteArray& name) {
    static const QRegularExpression temporary(
        QStringLiteral("^(playlist\\.xml|%1)\\.[A-Za-z]{6}$")
            .arg(QRegularExpression::escape(QString::fromLatin1(kIndex))));
    return temporary.match(QString::fromUtf8(name)).hasMatch();
}

#ifdef Q_OS_WIN
/// A killed run on Windows leaves the temporary file it was writing under its
/// temporary name, where Linux's, which have no name until they are
/// complete, go with the process. Removes them from the playlist folder of
/// `stage` and says how many there were.
int removeKilledTemporaries(const Stage& stage) {
    int removed = 0;
    for (const QByteArray& name : snapshotFolder(stage.xml).keys()) {
        if (!stage.before.contains(name) && isTemporaryName(name) &&
            QFile::remove(stage.xml + QString::fromUtf8(name))) {
            ++removed;
        }
    }
    return removed;
}
#endif

QStringList driverDone(const QString& xml, const QString& name, bool asked) {
    const texts::Texts& t = texts::english;
    QStringList events;
    if (asked) {
        events << "beep"
               << "ask: " + t.replaceQuestion.arg(xml + name);
    }
    return events << "beep"
                  << "message Information: " + t.playlistReady.arg(xml + name);
}

/// A music tree whose document runs to megabytes.
QList<QByteArray> largeTree() {
    QList<QByteArray> entries;
    for (const char* album : {"Disc 1", "Disc 2", "Disc 3"}) {
        for (int track = 1; track <= 8000; ++track) {
            entries << QByteArray(album) + "/" + QByteArray::number(track) +
                           " - a track with a long & \"quoted\" title.mp3";
        }
    }
    return entries;
}

/// Figures for the closing summary.
struct Tally {
    int inputs = 0;
    int trees = 0;
    int faults = 0;
    int killed = 0;
    int concurrent = 0;
    int leftovers = 0;      // complete files left under a temporary name by a kill
    int refusedByWine = 0;  // runs side by side whose replace Wine refused
    int unfinished = 0;     // Windows: files a kill left half-written under a temporary name
};
Tally tally;

}  // namespace

class CatalogueTest final : public QObject {
    Q_OBJECT

private slots:
    void inputs_data();
    void inputs();
    void trees_data();
    void trees();
    void chainPastThePathLimit();
    void faults_data();
    void faults();
    void foldersDeniedOnDisk_data();
    void foldersDeniedOnDisk();
    void playlistFolderMadeByAnotherRun();
    void heldByAnotherProgram_data();
    void heldByAnotherProgram();
    void filesystemRoot();
    void killedWhileWriting_data();
    void killedWhileWriting();
    void killedAtRandomMoments();
    void twoRunsAtOnce_data();
    void twoRunsAtOnce();
    void cleanupTestCase();
};

// --- inputs ----------------------------------------------------------------

void CatalogueTest::inputs_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QList<QByteArray>>("entries");  // the music folder's
    QTest::addColumn<QString>("typed");              // {music}: the music folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("errorPath");  // {xml}: the playlist folder
    QTest::addColumn<QString>("reason");

    // A chain of long folder names reaching 4,000 characters with the music folder.
    QList<QByteArray> longChain;
    QString longPath = "{music}";
    {
        const Stage probe({});
        QByteArray chain;
        qsizetype length = probe.music.size();
        for (char c = 'a'; length + 201 <= 4000; ++c) {
            chain += QByteArray(200, c) + "/";
            length += 201;
        }
        const QByteArray last(4000 - length - 1, 'z');
        chain += last;
        longChain << chain + "/track.mp3";
        longPath += "/" + QString::fromLatin1(chain);
    }
    QString missingPath = "{music}";
    for (qsizetype length = Stage({}).music.size(); length < 4000; length += 100) {
        missingPath += "/" + QString(std::min<qsizetype>(99, 4000 - length - 1), u'm');
    }

    const QList<QByteArray> standard = standardTree();
    for (const QString language : {"en", "nl"}) {
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "path of spaces only") << language << standard << "   "
                                                   << "playlist" << Outcome::NotFound << ""
                                                   << "";
        QTest::newRow(row + "path to a file, not a folder")
            << language << standard << "{music}/a.mp3"
            << "playlist" << Outcome::NotFound << ""
            << "";
        QTest::newRow(row + "path with a trailing separator") << language << standard << "{music}/"
                                                              << "playlist" << Outcome::Done << ""
                                                              << "";
        QTest::newRow(row + "relative path") << language << standard << "Music"
                                             << "playlist" << Outcome::Done << ""
                                             << "";
        QTest::newRow(row + "relative path with dot parts")
            << language << standard << "./Music/../Music/Rock"
            << "playlist" << Outcome::Done << ""
            << "";
        QTest::newRow(row + "path of 4,000 characters that does not exist")
            << language << standard << missingPath << "playlist" << Outcome::NotFound << ""
            << "";
        QTest::newRow(row + "path of 4,000 characters to a real folder")
            << language << longChain << longPath << "playlist" << Outcome::Done << ""
            << "";
        const QString markupName =
            "Rock & <Roll> \"live\" 'n' Bj\u00f6rk \u03a9\u03bc\u03ad\u03b3\u03b1 "
            "\u97f3\u697d \U0001F3B5 playlist";
        const QString controlName = "play\tlist\x01\n2";
#ifdef Q_OS_WIN
        // Windows allows none of <>" or control characters in a name: the
        // document cannot be created, which the system says so.
        QTest::newRow(row + "name with markup Windows refuses")
            << language << standard << "{music}" << markupName << Outcome::Error
            << "{xml}" + markupName + ".xml" << systemReason("", ERROR_INVALID_NAME);
        QTest::newRow(row + "name with control characters Windows refuses")
            << language << standard << "{music}" << controlName << Outcome::Error
            << "{xml}" + controlName + ".xml" << systemReason("", ERROR_INVALID_NAME);
#else
        QTest::newRow(row + "name with markup and non-ASCII letters")
            << language << standard << "{music}" << markupName << Outcome::Done << ""
            << "";
        QTest::newRow(row + "name with control characters")
            << language << standard << "{music}" << controlName << Outcome::Done << ""
            << "";
#endif
        QTest::newRow(row + "name with markup a Windows name may hold and non-ASCII letters")
            << language << standard << "{music}"
            << "Rock & Roll 'live' 'n' Bj\u00f6rk \u03a9\u03bc\u03ad\u03b3\u03b1 "
               "\u97f3\u697d \U0001F3B5 playlist"
            << Outcome::Done << ""
            << "";
        QTest::newRow(row + "name with a separator in it")
            << language << standard << "{music}"
            << "sub/playlist" << Outcome::NameHasSeparator << ""
            << "";
        QTest::newRow(row + "name climbing out of the playlist folder")
            << language << standard << "{music}"
            << "../escape" << Outcome::NameHasSeparator << ""
            << "";
        QTest::newRow(row + "name of the index itself")
            << language << standard << "{music}"
            << "brantwell-playlists" << Outcome::NameIsIndex << ""
            << "";
        QTest::newRow(row + "name of the index in other letter case")
            << language << standard << "{music}"
            << "Brantwell-PLAYLISTS" << Outcome::NameIsIndex << ""
            << "";
        // Windows opens a device under these names in every folder, with or
        // without ".xml"; elsewhere they are names like any other.
#ifdef Q_OS_WIN
        constexpr Outcome device = Outcome::NameIsDevice;
#else
        constexpr Outcome device = Outcome::Done;
#endif
        for (const char* name : {"nul", "CON", "Aux", "prn", "COM1", "com9", "LPT1", "lpt9 ",
                                 "nul.old", "Com3 .playlist", "aux:x"}) {
            QTest::newRow(row + "device name " + name)
                << language << standard << "{music}" << name << device << ""
                << "";
        }
        for (const char* name : {"COM0", "LPT10", "console", "nul_playlist", " nul", "com"}) {
            QTest::newRow(row + "name close to a device " + name)
                << language << standard << "{music}" << name << Outcome::Done << ""
                << "";
        }
        // Refused when the document is created, before the walk.
        QTest::newRow(row + "name of 300 characters is refused")
            << language << standard << "{music}" << QString(300, u'p') << Outcome::Error
            << "{xml}" + QString(300, u'p') + ".xml"
            << systemReason("File name too long", ERROR_FILENAME_EXCED_RANGE);
        QTest::newRow(row + "name of spaces only") << language << standard << "{music}"
                                                   << "   " << Outcome::Done << ""
                                                   << "";
        QTest::newRow(row + "hidden name is written but not listed")
            << language << standard << "{music}"
            << ".playlist" << Outcome::Done << ""
            << "";
        QTest::newRow(row + "earlier playlist under the same name is replaced")
            << language << standard << "{music}"
            << "Old Playlist" << Outcome::Done << ""
            << "";
    }
}

void CatalogueTest::inputs() {
    QFETCH(QString, language);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QFETCH(Outcome, outcome);
    QFETCH(QString, errorPath);
    QFETCH(QString, reason);
    const texts::Texts& t = textsFor(language);
    const Stage stage(entries, name);
    typed = stage.expand(typed);

    RealFileSystem real;
    FaultyFileSystem fso(real, Operation::None, {});
    const QStringList events = stage.run(fso, typed, name, t);
    ++tally.inputs;

    switch (outcome) {
        case Outcome::Done:
            QCOMPARE(events, stage.doneEvents(name, t));
            stage.verify(Written::Both, name, stage.albums(typed));
            break;
        case Outcome::NotFound:
            QCOMPARE(events,
                     QStringList({"beep", "message Exclamation: " + t.pathNotFound.arg(typed),
                                  "focus PathText"}));
            stage.verify(Written::Nothing, name, {});
            break;
        case Outcome::NameHasSeparator:
        case Outcome::NameIsIndex:
        case Outcome::NameIsDevice: {
            const QString message =
                outcome == Outcome::NameIsIndex    ? t.nameIsIndex.arg(stage.xml + name)
                : outcome == Outcome::NameIsDevice ? t.nameIsDevice.arg(stage.xml + name)
                                                   : t.nameHasSeparator;
            QCOMPARE(events, QStringList({"beep", "message Exclamation: " + message,
                                          "focus PlayListName"}));
        }
            stage.verify(Written::Nothing, name, {});
            break;
        case Outcome::Error: {
            QCOMPARE(fso.foldersRead(), 0);
            const QStringList error = {
                "beep", "message Critical: " + t.error.arg(stage.expand(errorPath), reason)};
            QCOMPARE(events, stage.replaceQuestion(name, t) + error);
        }
            stage.verify(Written::Nothing, name, {});
            break;
    }
}

// --- trees -----------------------------------------------------------------

void CatalogueTest::trees_data() {
    QTest::addColumn<QList<QByteArray>>("entries");  // inside the music folder

#ifdef Q_OS_UNIX
    // Windows allows none of <>" or control characters in a name, and its
    // names are UTF-16: the rows below their Windows-legal neighbours.
    QTest::newRow("markup characters in names")
        << QList<QByteArray>{"Simon & Garfunkel/It's <1> & \"2\".mp3", "a<b>c/\"q\".mp3",
                             "&amp; &lt;/&#9;.mp3", "'single'/x.mp3"};
    QTest::newRow("tab, newline and control characters in names")
        << QList<QByteArray>{"tab\there/a\tb.mp3", "new\nline/l1\nl2\r.mp3",
                             "ctl\x01\x1b\x7f/\x02x\x1f.mp3", "\r/\x0b.mp3"};
    QTest::newRow("names that are not valid UTF-8")
        << QList<QByteArray>{"bad\xff/x\xfe.mp3", "ok/\xc3(.mp3", "\xed\xa0\x80/a.mp3",
                             "\xf0\x9f\x8e/\xc0\xaf.mp3", "latin/Caf\xe9.mp3"};
#endif
    QTest::newRow("markup characters a Windows name may hold")
        << QList<QByteArray>{"Simon & Garfunkel/It's 1 & 2.mp3", "a&b;c/'q'.mp3",
                             "&amp; &lt;/&#9;.mp3", "'single'/x.mp3", "del\x7f/x\x7f.mp3"};
#ifdef Q_OS_WIN  // hidden and system by attribute
    QTest::newRow("hidden and system files are tracks, never the album's proof")
        << QList<QByteArray>{"hid/h.mp3 (hidden)",  "hid/h.txt",  "sys/s.mp3 (system)",
                             "both/s.mp3 (system)", "both/t.mp3", "both/u.mp3 (hidden)"};
#endif
    // The byte-order mark is written as its character, U+FEFF, in UTF-8.
    const QByteArray bom = "\xef\xbb\xbf";
    QTest::newRow("names starting with a byte-order mark keep it")
        << QList<QByteArray>{bom + "Bom/" + bom + "a.mp3", "plain/" + bom + ".mp3"};
    QTest::newRow("Dutch, Greek, Japanese and emoji names")
        << QList<QByteArray>{"\xc3\x89\xc3\xa9n \xc4\xb3sje/\xc4\xb2ssel_meer.mp3",
                             "\xce\x95\xce\xbb\xce\xbb\xce\xac\xce\xb4\xce\xb1/"
                             "\xce\xa9\xce\xb4\xce\xae.mp3",
                             "\xe9\x9f\xb3\xe6\xa5\xbd/\xe6\x9b\xb2 01.MP3",
                             "\xf0\x9f\x8e\xb5/\xf0\x9f\x8e\xb8 \xf0\x9f\xa5\x81.mp3"};
    QTest::newRow("link loop to the grandparent ends, siblings still walked") << QList<QByteArray>{
        "A/x.mp3", "A/B/a.mp3", "A/B/loop -> ../..", "A/B/self -> .", "A/B/z/c.mp3", "A/C/d.mp3"};
    QTest::newRow("dangling link named x.mp3") << QList<QByteArray>{
        "alone/x.mp3 -> no such target", "beside/x.mp3 -> no such target", "beside/y.mp3"};
#ifdef Q_OS_UNIX  // Windows has no FIFO
    QTest::newRow("FIFO named y.mp3 does not block the walk")
        << QList<QByteArray>{"y.mp3 |", "beside/y.mp3 |", "beside/z.mp3", "after/w.mp3"};
#endif
    QTest::newRow("empty music folder") << QList<QByteArray>{};
    QTest::newRow("macOS ._ files are tracks, never albums on their own")
        << QList<QByteArray>{"mac/._song.mp3", "both/._song.mp3", "both/song.mp3", "both/._.mp3"};

    QList<QByteArray> wide;
    wide.reserve(100000);
    for (int i = 1; i <= 100000; ++i) {
        wide << "Wide/" + QByteArray::number(i) + ".mp3";
    }
    QTest::newRow("folder of 100,000 files") << wide;

    QByteArray chain;
    QList<QByteArray> deep;
    for (int level = 1; level <= 300; ++level) {
        chain += "d/";
        if (level % 50 == 0 || level == 1) {
            deep << chain + "t" + QByteArray::number(level) + ".mp3";
        }
    }
    QTest::newRow("chain 300 folders deep") << deep;

    // Past MAX_PATH, Wine cannot give a folder's resolved path the usual way;
    // a link back up the tree from that deep is still a loop.
    const QByteArray longer = QByteArray(40, 'n') + "/";
    QTest::newRow("link loop to the grandparent past MAX_PATH ends")
        << QList<QByteArray>{longer.repeated(8) + "a.mp3", longer.repeated(10) + "b.mp3",
                             longer.repeated(10) + "loop -> ../.."};
}

void CatalogueTest::trees() {
    QFETCH(QList<QByteArray>, entries);
    const Stage stage(entries);
    // One reader reads each folder when the walk asks for it; sixteen read
    // ahead. Both give the same document, byte for byte.
    QByteArray sequential;
    for (const int readers : {1, 16}) {
        RealFileSystem fso(RealFileSystem::kDefaultReading, readers, kReadAheadAlways);
        const QStringList events = stage.run(fso, stage.music, "playlist", texts::english);
        ++tally.trees;
        QCOMPARE(events, stage.doneEvents("playlist", texts::english));
        stage.verify(Written::Both, "playlist", stage.albums(stage.music));
        const QByteArray document = readBytes(stage.xml + "playlist.xml");
        if (readers == 1) {
            sequential = document;
        } else {
            QVERIFY2(document == sequential, "reading ahead changed the document");
        }
    }
}

void CatalogueTest::chainPastThePathLimit() {
    // Paths past the system's limit (4,096 bytes on Linux, MAX_PATH on
    // Windows) cannot be opened by name. Either the walk gets through anyway
    // or it stops with the system's reason; never a crash and never a
    // half-written file.
#ifdef Q_OS_WIN
    // 3,100 characters: Wine's host holds no path past 4,096 bytes at all.
    constexpr int kLevels = 100;
#else
    constexpr int kLevels = 300;
#endif
    QByteArray chain;
    for (int level = 1; level <= kLevels; ++level) {
        chain += QByteArray(30, 'n') + "/";
    }
    const Stage stage({"first.mp3", chain + "last.mp3"});
    RealFileSystem fso;
    const QStringList events = stage.run(fso, stage.music, "playlist", texts::english);
    ++tally.trees;
    QCOMPARE(events.size(), 4);  // replace question, then one message
    if (events.last().startsWith("message Information: ")) {
        QCOMPARE(events, stage.doneEvents("playlist", texts::english));
        stage.verify(Written::Both, "playlist", stage.albums(stage.music));
    } else {
        QVERIFY2(events.last().startsWith("message Critical: Error: " + stage.music + "/nnn"),
                 qPrintable(events.last().left(200)));
        QVERIFY(events.last().endsWith(
            ": " + systemReason("File name too long", ERROR_FILENAME_EXCED_RANGE)));
        stage.verify(Written::Nothing, "playlist", {});
    }
}

// --- faults ----------------------------------------------------------------

void CatalogueTest::faults_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QList<QByteArray>>("entries");  // the music folder's
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("pathEnd");  // in the jukebox folder: the path that fails
    QTest::addColumn<int>("line");         // WriteLine: the line that fails; -1 the last
    QTest::addColumn<Written>("written");  // what the run replaced before the fault
    // Folders the run leaves out, in the jukebox folder; the run then ends normally.
    QTest::addColumn<QStringList>("leftOut");
    // The service's readers: 1 reads each folder when the walk asks for it.
    QTest::addColumn<int>("readers");
    // Cancel: how many folders the walk asks for before it stops.
    QTest::addColumn<int>("foldersRead");

    // Twelve folders that cannot be read: the message names ten.
    QList<QByteArray> twelveLocked{"a.mp3"};
    QStringList twelveLeftOut;
    for (int disc = 1; disc <= 12; ++disc) {
        const QByteArray folder = "Disc " + QByteArray::number(disc);
        twelveLocked << folder + "/b.mp3" << folder + "/Locked/c.mp3";
        twelveLeftOut << "Music/" + QString::fromLatin1(folder) + "/Locked";
    }

    for (const int readers : {1, 16}) {
        for (const QString language : {"en", "nl"}) {
            const QByteArray row =
                language.toLatin1() + ", " + QByteArray::number(readers) + " readers: ";
            for (const FaultRow& fault : faultRows()) {
                QTest::newRow(row + fault.what)
                    << language << standardTree() << fault.operation << fault.pathEnd << fault.line
                    << fault.written << QStringList() << readers << -1;
            }

            const auto leaveOut = [&](const char* what, const QList<QByteArray>& entries,
                                      const QString& pathEnd, const QStringList& leftOut) {
                QTest::newRow(row + what)
                    << language << entries << Operation::GetFolderDenied << pathEnd << 0
                    << Written::Both << leftOut << readers << -1;
            };
            leaveOut("a folder deep in the tree may not be read", standardTree(),
                     "Music/Rock/Live/Deep", {"Music/Rock/Live/Deep"});
            leaveOut("a folder with folders inside may not be read", standardTree(), "Music/Rock",
                     {"Music/Rock"});
            leaveOut("twelve folders may not be read", twelveLocked, "Locked", twelveLeftOut);

            // The walk reads Music, Pop & Soul, Rock, Rock/Live, Rock/Live/Deep.
            const auto cancel = [&](const char* what, const QString& pathEnd, int foldersRead,
                                    Written written) {
                QTest::newRow(row + what)
                    << language << standardTree() << Operation::Cancel << pathEnd << 0 << written
                    << QStringList() << readers << foldersRead;
            };
            cancel("cancel before the first folder is read", "xml/playlist.xml", 0,
                   Written::Nothing);
            cancel("cancel while the music folder is read", "Music", 1, Written::Nothing);
            cancel("cancel in the middle of the walk", "Music/Rock", 3, Written::Nothing);
            cancel("cancel as the last folder is read", "Music/Rock/Live/Deep", 5,
                   Written::Nothing);
            cancel("cancel once the document is in place",
                   QStringLiteral("xml/") + QLatin1String(kIndexName), 5, Written::Both);
        }
    }
}

void CatalogueTest::faults() {
    QFETCH(QString, language);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(Operation, operation);
    QFETCH(QString, pathEnd);
    QFETCH(int, line);
    QFETCH(Written, written);
    QFETCH(QStringList, leftOut);
    QFETCH(int, readers);
    QFETCH(int, foldersRead);
    const texts::Texts& t = textsFor(language);
    const bool playlistFolderMissing = operation == Operation::CreateFolder;
    const Stage stage(entries, "playlist", !playlistFolderMissing);
    const QStringList albums = stage.albums(stage.music, leftOut);
    if (line < 0) {
        line = 3 + albums.size() + albums.filter(QRegularExpression("^album ")).size();
    }

    // A run that fails leaves no descriptor open, whatever was read ahead.
    const int descriptorsBefore = openDescriptors();
    const int threadsBefore = runningThreads();
    std::optional<RealFileSystem> real(std::in_place, RealFileSystem::kDefaultReading, readers,
                                       kReadAheadAlways);
    std::optional<FaultyFileSystem> fso(std::in_place, *real, operation, pathEnd, line);
    RecordingView view;
    fso->cancel = [&view] { view.cancel(); };
    const QStringList events = stage.run(*fso, stage.music, "playlist", t, &view);
    const int fired = fso->fired();
    const int asked = fso->foldersRead();
    fso.reset();
    real.reset();
    QCOMPARE(openDescriptors(), descriptorsBefore);
    QCOMPARE(runningThreads(), threadsBefore);
    ++tally.faults;

    if (operation == Operation::Cancel) {
        // Stopped at the next folder, without a word, the earlier files kept;
        // too late to stop once the document is in place, and done as ever.
        QCOMPARE(fired, 1);
        QCOMPARE(asked, foldersRead);
        QCOMPARE(events, written == Written::Both ? stage.doneEvents("playlist", t)
                                                  : stage.replaceQuestion("playlist", t) +
                                                        QStringList{"focus PathText"});
        stage.verify(written, "playlist", stage.albums(stage.music));
        return;
    }

    if (!leftOut.isEmpty()) {
        // Left out, said once after the index is written, then done as ever.
        QCOMPARE(fired, leftOut.size());
        QCOMPARE(events, stage.leftOutEvents("playlist", t, leftOut));
        stage.verify(written, "playlist", albums);
        return;
    }

    QCOMPARE(fired, 1);
    const QStringList error = {
        "beep",
        "message Critical: " + t.error.arg(QDir::toNativeSeparators(stage.jukebox + "/" + pathEnd),
                                           faultReason(operation))};
    QCOMPARE(events, stage.replaceQuestion("playlist", t) + error);
    if (playlistFolderMissing) {
        QVERIFY(!QFileInfo::exists(stage.xml));
        return;
    }
    stage.verify(written, "playlist", albums);
    if (QTest::currentTestFailed()) {
        return;
    }

    // The program is still there, and its next press works.
    RealFileSystem again(RealFileSystem::kDefaultReading, readers, kReadAheadAlways);
    QCOMPARE(stage.run(again, stage.music, "playlist", t), stage.doneEvents("playlist", t));
}

void CatalogueTest::foldersDeniedOnDisk_data() {
    QTest::addColumn<int>("readers");
    QTest::newRow("1 reader") << 1;
    QTest::newRow("16 readers") << 16;
}

void CatalogueTest::foldersDeniedOnDisk() {
    // Folders the system itself will not open: the reader that meets one, in
    // whichever thread, leaves it out where the walk reaches it, as the
    // injected refusals above are.
#ifndef Q_OS_UNIX
    QSKIP(
        "Windows shuts a folder by its access list, which Wine does not check; the injected "
        "refusals stand in for it");
#else
    QFETCH(int, readers);
    const QList<QByteArray> entries{"a.mp3",
                                    "Rock/b.mp3",
                                    "Rock/Live/c.mp3",
                                    "Rock/Live/Locked/d.mp3",
                                    "Rock/Live/Locked/Inner/e.mp3",
                                    "Rock/Live/z.mp3",
                                    "Shut/",
                                    "Zed/f.mp3"};
    const QStringList leftOut{"Music/Rock/Live/Locked", "Music/Shut"};
    const Stage stage(entries);
    const texts::Texts& t = texts::english;
    const QStringList albums = stage.albums(stage.music, leftOut);

    Unprivileged user(stage.tree.root());
    if (!user.active()) {
        QSKIP("no unprivileged user to run as: root reads every folder");
    }
    const auto permit = [&](mode_t mode) {
        for (const QString& folder : leftOut) {
            ::chmod(QFile::encodeName(stage.jukebox + "/" + folder).constData(), mode);
        }
    };
    // Put back, so that the tree can be removed even when a check fails.
    const auto restore = qScopeGuard([&] { permit(0755); });
    permit(0);
    const int descriptorsBefore = openDescriptors();
    const int threadsBefore = runningThreads();
    QStringList events;
    {
        RealFileSystem fso(RealFileSystem::kDefaultReading, readers, kReadAheadAlways);
        events = stage.run(fso, stage.music, "playlist", t);
    }
    QCOMPARE(openDescriptors(), descriptorsBefore);
    QCOMPARE(runningThreads(), threadsBefore);
    ++tally.faults;
    QCOMPARE(events, stage.leftOutEvents("playlist", t, leftOut));
    stage.verify(Written::Both, "playlist", albums);
#endif
}

void CatalogueTest::playlistFolderMadeByAnotherRun() {
    // A second copy of the program may make the playlist folder between this
    // run's look and its own attempt; the folder is there, so the run goes on.
    const Stage stage(standardTree(), "playlist", false);
    RealFileSystem real;
    RacingFileSystem fso(real);
    const QStringList events = stage.run(fso, stage.music, "playlist", texts::english);
    ++tally.faults;
    QCOMPARE(events, stage.doneEvents("playlist", texts::english));
    stage.verify(Written::Both, "playlist", stage.albums(stage.music));
}

void CatalogueTest::heldByAnotherProgram_data() {
    QTest::addColumn<QString>("held");  // in the playlist folder
    QTest::addColumn<int>("milliseconds");
    QTest::addColumn<Written>("written");

    const QString index = QString::fromLatin1(kIndex);
    // A scanner's moment passes; what is held past the last try stays as it was.
    QTest::newRow("index held for 1 s") << index << 1000 << Written::Both;
    QTest::newRow("document held for 1 s") << "playlist.xml" << 1000 << Written::Both;
    QTest::newRow("index held for 10 s") << index << 10000 << Written::Document;
    QTest::newRow("document held for 10 s") << "playlist.xml" << 10000 << Written::Nothing;
}

void CatalogueTest::heldByAnotherProgram() {
#ifndef Q_OS_WIN
    QSKIP("Only Windows refuses to replace a file another program holds open");
#else
    QFETCH(QString, held);
    QFETCH(int, milliseconds);
    QFETCH(Written, written);
    const Stage stage(standardTree());
    QProcess holder;
    holder.start(QCoreApplication::applicationDirPath() + "/trackfold_holdfile.exe",
                 {stage.xml + held, QString::number(milliseconds)});
    // It lets go by itself; killed, it could leave Wine's console host behind.
    const auto stop = qScopeGuard([&holder] {
        if (!holder.waitForFinished(30000)) {
            holder.kill();
            holder.waitForFinished(10000);
        }
    });
    QVERIFY2(holder.waitForReadyRead(60000) && holder.readAllStandardOutput().trimmed() == "held",
             holder.readAllStandardError().constData());

    RealFileSystem fso;
    const QStringList events = stage.run(fso, stage.music, "playlist", texts::english);
    ++tally.faults;
    if (written == Written::Both) {
        QCOMPARE(events, stage.doneEvents("playlist", texts::english));
    } else {
        const QString error =
            texts::english.error.arg(stage.xml + held, systemReason("", ERROR_ACCESS_DENIED));
        QCOMPARE(events, stage.replaceQuestion("playlist", texts::english) +
                             QStringList({"beep", "message Critical: " + error}));
    }
    stage.verify(written, "playlist", stage.albums(stage.music));
#endif
}

// --- processes -------------------------------------------------------------

void CatalogueTest::filesystemRoot() {
    // The real root would walk the machine; a process of its own is given a
    // tree as its root instead (on Windows a drive of its own, as subst makes
    // one), and runs with the root as its current directory too, so the
    // playlist folder is "//xml/" (on Windows "T:\\xml\").
    MusicTree tree;
    const TreeNode root =
        parseTree({"b.mp3", "Rock/a.mp3", "Rock/Live/c.mp3", "Pop/fscommand/d.mp3", "xml/"});
    buildTree(nativeBytes(tree.root()), root);

#ifdef Q_OS_WIN
    const QString top = tree.asDrive() + "\\";
    Driver driver({top, top, "playlist"});
    QVERIFY(driver.finish());
#else
    const QString top = "/";
    // A sanitizer's leak check reads /proc, which is not there inside.
    const QString options = qEnvironmentVariable("ASAN_OPTIONS");
    Driver driver({"--chroot", tree.root(), "/", "/", "playlist"},
                  {"ASAN_OPTIONS=" + options + (options.isEmpty() ? "" : ":") + "detect_leaks=0"});
    QVERIFY(driver.finish());
    if (driver.exitCode() == 77) {
        QSKIP("cannot change the root directory here (not root)");
    }
#endif
    QVERIFY2(driver.exitCode() == 0, driver.errors());
    ++tally.inputs;
    const QString playlistFolder = top + QDir::separator() + "xml" + QDir::separator();
    QCOMPARE(driver.events(), driverDone(playlistFolder, "playlist", false));

    const QString xml = tree.path("xml") + QDir::separator();
    const QByteArray document = readBytes(xml + "playlist.xml");
    QCOMPARE(documentProblem(document), QString());
    QCOMPARE(xmlOutline(document),
             QStringList("playlist type=[local]") + expectedAlbums(root, top, top));
    QVERIFY(xmlOutline(document).contains("album path=[" + top + "] title=[]"));
    const QByteArray index = readBytes(xml + kIndex);
    QCOMPARE(indexProblem(index), QString());
    QCOMPARE(indexOutline(index), QStringList({"filelist", "file name=[playlist] path=[" +
                                                               playlistFolder + "playlist.xml]"}));
}

void CatalogueTest::killedWhileWriting_data() {
    QTest::addColumn<QString>("gate");
    QTest::addColumn<int>("line");
    QTest::addColumn<Written>("written");

    QTest::newRow("in the middle of a large document") << "document" << 15000 << Written::Nothing;
    QTest::newRow("in the middle of the index") << "index" << 3 << Written::Document;
}

void CatalogueTest::killedWhileWriting() {
    QFETCH(QString, gate);
    QFETCH(int, line);
    QFETCH(Written, written);
    const Stage stage(largeTree());
    const QStringList albums = stage.albums(stage.music);

    {
        Driver driver(
            {"--gate-" + gate, QString::number(line), stage.jukebox, stage.music, "playlist"});
        QVERIFY2(driver.waitForGate(gate), driver.errors());
        // Killed with the new file open and part of it on the disk.
        const qint64 bytes = bytesBeingWritten(driver.pid(), stage);
        QVERIFY2(gate == "document" ? bytes > 100000 : bytes >= 0, QByteArray::number(bytes));
        driver.kill();
        QVERIFY(driver.finish());
        QVERIFY(driver.killed());
        ++tally.killed;
    }
#ifdef Q_OS_WIN
    QCOMPARE(removeKilledTemporaries(stage), 1);  // the one it was writing
    ++tally.unfinished;
#endif
    stage.verify(written, "playlist", albums);
    if (QTest::currentTestFailed()) {
        return;
    }
    // Nothing under a name the index would list is incomplete.
    const QMap<QByteArray, QByteArray> after = snapshotFolder(stage.xml);
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (indexPatternMatches(QString::fromUtf8(it.key()))) {
            QCOMPARE(xmlOutline(it.value()).filter("error: "), QStringList());
        }
    }

    // A new run after the kill works.
    Driver again({stage.jukebox, stage.music, "playlist"});
    QVERIFY(again.finish());
    QCOMPARE(again.events(), driverDone(stage.xml, "playlist", true));
    QCOMPARE(documentProblem(readBytes(stage.xml + "playlist.xml")), QString());
}

void CatalogueTest::killedAtRandomMoments() {
    // Unpaced runs killed after a random delay, from before the walk to after
    // the end: whatever the moment, each file is the earlier one or a complete
    // new one.
    const Stage stage(largeTree());
    const QStringList albums = stage.albums(stage.music);
    const QByteArray earlierDocument = stage.before.value("playlist.xml");
    const QByteArray earlierIndex = stage.before.value(kIndex);
    const QStringList newIndex = QStringList("filelist") + expectedIndex(stage.xml);

    QElapsedTimer clock;
    clock.start();
    {
        // One run to learn how long a run takes here; its files are put back.
        Driver probe({stage.jukebox, stage.music, "playlist"});
        QVERIFY(probe.finish());
        putFile(nativeBytes(stage.xml) + "playlist.xml", earlierDocument);
        putFile(nativeBytes(stage.xml) + kIndex, earlierIndex);
    }
    const qint64 runMs = std::max<qint64>(clock.elapsed(), 20);

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill delays drawn with seed %u over %lld ms", seed, runMs);
    QRandomGenerator random(seed);
    int killedHere = 0;
    for (int round = 0; round < 16; ++round) {
        Driver driver({stage.jukebox, stage.music, "playlist"});
        QThread::msleep(random.bounded(int(runMs * 12 / 10)));
        driver.kill();
        QVERIFY(driver.finish());
        killedHere += driver.killed() ? 1 : 0;

        QMap<QByteArray, QByteArray> after = snapshotFolder(stage.xml);
        // On Linux a new file is linked in under its temporary name only once
        // complete; a kill between that and the rename leaves that name
        // behind, holding the complete new file. On Windows it is written
        // under that name from the start, so a kill leaves it complete or not.
        for (const QByteArray& name : after.keys()) {
            if (stage.before.contains(name)) {
                continue;
            }
            QVERIFY2(isTemporaryName(name), name.constData());
            const QByteArray bytes = after.take(name);
            QVERIFY(QFile::remove(fromNativeBytes(nativeBytes(stage.xml) + name)));
#ifdef Q_OS_WIN
            const bool complete = name.startsWith("playlist.xml") ? documentProblem(bytes).isEmpty()
                                                                  : indexProblem(bytes).isEmpty();
            if (!complete) {
                ++tally.unfinished;
                continue;
            }
#endif
            if (name.startsWith("playlist.xml")) {
                QCOMPARE(documentProblem(bytes), QString());
                QCOMPARE(xmlOutline(bytes), QStringList("playlist type=[local]") + albums);
            } else {
                QCOMPARE(indexProblem(bytes), QString());
                QCOMPARE(indexOutline(bytes), newIndex);
            }
            ++tally.leftovers;
        }
        QCOMPARE(after.keys(), stage.before.keys());
        const QByteArray document = after.value("playlist.xml");
        if (document != earlierDocument) {
            QCOMPARE(documentProblem(document), QString());
            QCOMPARE(xmlOutline(document), QStringList("playlist type=[local]") + albums);
        }
        const QByteArray index = after.value(kIndex);
        if (index != earlierIndex) {
            QCOMPARE(indexProblem(index), QString());
            QCOMPARE(indexOutline(index), newIndex);
        }
        for (auto it = after.begin(); it != after.end(); ++it) {
            if (it.key() != "playlist.xml" && it.key() != kIndex) {
                QVERIFY(it.value() == stage.before.value(it.key()));
            }
        }
    }
    qInfo("%d of 16 runs killed before they ended", killedHere);
    tally.killed += killedHere;
}

/// Under Wine a replace that meets another one in flight onto the same file
/// is often refused with ERROR_ACCESS_DENIED, where Linux's rename always
/// goes through. True when
/// `message` is the error that run then ends with, naming the document or the
/// index with the system's reason; the run's own temporary file goes with it.
bool refusedByWine(const Stage& stage, const QString& message) {
#ifdef Q_OS_WIN
    for (const QString& file : {QStringLiteral("playlist.xml"), QString::fromLatin1(kIndex)}) {
        if (message ==
            "message Critical: " +
                texts::english.error.arg(stage.xml + file, systemReason("", ERROR_ACCESS_DENIED))) {
            return true;
        }
    }
#else
    Q_UNUSED(stage)
    Q_UNUSED(message)
#endif
    return false;
}

void CatalogueTest::twoRunsAtOnce_data() {
    QTest::addColumn<QStringList>("gateA");  // driver options; empty: no gate
    QTest::addColumn<QStringList>("gateB");
    QTest::addColumn<bool>("playlistFolder");  // there before the runs

    QTest::newRow("both stopped mid-document, released together")
        << QStringList{"--gate-document", "4"} << QStringList{"--gate-document", "4"} << true;
    QTest::newRow("one stopped mid-document while the other runs through")
        << QStringList{"--gate-document", "4"} << QStringList{} << true;
    QTest::newRow("both stopped in the index, released together")
        << QStringList{"--gate-index", "3"} << QStringList{"--gate-index", "3"} << true;
    QTest::newRow("both found no playlist folder, released together")
        << QStringList{"--gate-folder"} << QStringList{"--gate-folder"} << false;
}

void CatalogueTest::twoRunsAtOnce() {
    QFETCH(QStringList, gateA);
    QFETCH(QStringList, gateB);
    QFETCH(bool, playlistFolder);
    // Two music folders, one playlist name: afterwards the document is one
    // run's complete output, and the index is complete.
    const Stage stage({"A/a1.mp3", "A/Sub/a2.mp3", "B/b1.mp3", "B/b2.mp3", "B/Sub/b3.mp3"},
                      "playlist", playlistFolder);
    const QString musicA = stage.music + "/A";
    const QString musicB = stage.music + "/B";

    Driver a(gateA + QStringList{stage.jukebox, musicA, "playlist"});
    Driver b(gateB + QStringList{stage.jukebox, musicB, "playlist"});
    if (!gateA.isEmpty()) {
        QVERIFY2(a.waitForGate(gateA.first().mid(7)), a.errors());
    }
    if (!gateB.isEmpty()) {
        QVERIFY2(b.waitForGate(gateB.first().mid(7)), b.errors());
    } else {
        QVERIFY(b.finish());  // B runs through while A waits
    }
    a.release();
    if (!gateB.isEmpty()) {
        b.release();
    }
    QVERIFY(a.finish());
    QVERIFY(b.finish());
    tally.concurrent += 2;

    int refused = 0;
    for (const Driver* driver : {&a, &b}) {
        const QStringList events = driver->events();
        if (underWine() && !events.isEmpty() && refusedByWine(stage, events.last())) {
            ++refused;
            continue;
        }
        QVERIFY2(
            !events.isEmpty() && events.last() == driverDone(stage.xml, "playlist", false).last(),
            qPrintable(events.join(" | ")));
    }
    QVERIFY(refused < 2);
    tally.refusedByWine += refused;
    const QByteArray document = readBytes(stage.xml + "playlist.xml");
    QCOMPARE(documentProblem(document), QString());
    const QStringList outline = xmlOutline(document);
    const QStringList fromA = QStringList("playlist type=[local]") + stage.albums(musicA);
    const QStringList fromB = QStringList("playlist type=[local]") + stage.albums(musicB);
    QVERIFY2(outline == fromA || outline == fromB, qPrintable(outline.join('\n')));

    const QByteArray index = readBytes(stage.xml + kIndex);
    QCOMPARE(indexProblem(index), QString());
    QCOMPARE(indexOutline(index), QStringList("filelist") + expectedIndex(stage.xml));
    QCOMPARE(snapshotFolder(stage.xml).size(), playlistFolder ? stage.before.size() : 2);
}

void CatalogueTest::cleanupTestCase() {
    qInfo(
        "catalogue: %d bad inputs, %d hostile trees, %d faults injected, %d processes killed, "
        "%d runs side by side, %d complete files left under a temporary name by a kill",
        tally.inputs, tally.trees, tally.faults, tally.killed, tally.concurrent, tally.leftovers);
#ifdef Q_OS_WIN
    qInfo(
        "catalogue: %d half-written files left under a temporary name by a kill, %d runs side "
        "by side whose replace Wine refused",
        tally.unfinished, tally.refusedByWine);
#endif
}

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
