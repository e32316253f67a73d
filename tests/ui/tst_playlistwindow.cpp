#include "fserror.h"
#include "jukebox.h"
#include "messageboxanswerer.h"
#include "musictree.h"
#include "playlist.h"
#include "playlistxml.h"
#include "realfilesystem.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using ui::Playlist;

namespace {

/// The real service, with the current directory of a jukebox folder, noting
/// which cursor the program shows whenever the Start command touches the disk.
class WatchedFileSystem final : public fsservice::ForwardingFileSystem {
public:
    WatchedFileSystem(QString current, QStringList& cursors)
        : ForwardingFileSystem(std::make_unique<fsservice::RealFileSystem>()),
          m_current(std::move(current)),
          m_cursors(cursors) {}

    QString CurrentDirectory() override {
        m_cursors << overrideCursorName();
        return m_current;
    }
    bool FolderExists(const QString& path) override {
        m_cursors << overrideCursorName();
        return ForwardingFileSystem::FolderExists(path);
    }
    std::unique_ptr<fsservice::TextStream> CreateTextFile(const QString& path, bool overwrite,
                                                          bool unicode) override {
        m_cursors << overrideCursorName();
        return ForwardingFileSystem::CreateTextFile(path, overwrite, unicode);
    }

private:
    QString m_current;
    QStringList& m_cursors;
};

/// The real service, with the current directory of a jukebox folder, whose
/// every folder read takes `delay` longer: a disk on the far side of a slow
/// network. Counts the folders the walk asked for.
class SlowFileSystem final : public fsservice::ForwardingFileSystem {
public:
    /// `failAt`: the read that fails as a disk would, counting from 1; 0 none.
    SlowFileSystem(QString current, std::chrono::milliseconds delay, std::atomic<int>& asked,
                   int failAt, QString& failed)
        : ForwardingFileSystem(std::make_unique<fsservice::RealFileSystem>()),
          m_current(std::move(current)),
          m_delay(delay),
          m_asked(asked),
          m_failAt(failAt),
          m_failed(failed) {}

    QString CurrentDirectory() override { return m_current; }
    fsservice::Folder GetFolder(const QString& path) override {
        wait(path);
        return ForwardingFileSystem::GetFolder(path);
    }
    fsservice::Folder GetFolder(const fsservice::Folder& parent,
                                const fsservice::SubFolder& sub) override {
        wait(sub.Path);
        return ForwardingFileSystem::GetFolder(parent, sub);
    }

private:
    void wait(const QString& path) {
        QThread::msleep(m_delay.count());
        if (++m_asked == m_failAt) {
            m_failed = path;
            throw fsservice::FsError(path, FaultyFileSystem::reason());
        }
    }

    QString m_current;
    std::chrono::milliseconds m_delay;
    std::atomic<int>& m_asked;
    int m_failAt;
    QString& m_failed;
};

template <typename T>
T* control(const Playlist& window, const char* name) {
    T* widget = window.findChild<T*>(QLatin1String(name));
    if (!widget) {
        qFatal("no control %s", name);
    }
    return widget;
}

QString focusName(const Playlist& window) {
    return window.focusWidget() ? window.focusWidget()->objectName() : QStringLiteral("none");
}

}  // namespace

class PlaylistWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void textsShowWhole_data();
    void textsShowWhole();
    void screenReaderNames_data();
    void screenReaderNames();
    void tabWalksBoxesAndButton();
    void startRunsTheCommand_data();
    void startRunsTheCommand();
    void folderChooser_data();
    void folderChooser();
    void longRunShowsProgress_data();
    void longRunShowsProgress();
};

void PlaylistWindowTest::textsShowWhole_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");

    for (const QString language : {"en", "nl"}) {
        const texts::Texts& texts = textsFor(language);
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "path prompt") << language << "Label1" << texts.pathPrompt;
        QTest::newRow(row + "name prompt") << language << "Label2" << texts.namePrompt;
        QTest::newRow(row + "initial name") << language << "PlayListName"
                                            << "playlist";
        QTest::newRow(row + "empty path box") << language << "PathText"
                                              << "";
        QTest::newRow(row + "button caption") << language << "StartButton"
                                              << "Start";
    }
}

// Each control shows its language's text in the window's font, with room for
// every letter across and for a whole line of the font top to bottom.
void PlaylistWindowTest::textsShowWhole() {
    QFETCH(QString, language);
    QFETCH(QString, control);
    QFETCH(QString, text);

    const Playlist window(textsFor(language));
    QCOMPARE(window.windowTitle(), "Trackfold");
    auto* widget = window.findChild<QWidget*>(control);
    QVERIFY(widget);
    const QFontMetrics metrics = widget->fontMetrics();
    QCOMPARE(widget->font().pixelSize(), Playlist::windowFont().pixelSize());

    QString shown;
    QRect room;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        shown = label->text();
        room = label->contentsRect();
    } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        shown = box->text();
        QStyleOptionFrame option;
        option.initFrom(box);
        option.rect = box->rect();
        option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
        // Less the margins QLineEdit keeps inside its contents: 2 across, 1 down.
        room = box->style()
                   ->subElementRect(QStyle::SE_LineEditContents, &option, box)
                   .marginsRemoved(box->textMargins())
                   .adjusted(2, 1, -2, -1);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        shown = button->text();
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = button->rect();
        option.text = button->text();
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    } else {
        QFAIL("a control of an unexpected kind");
    }

    QCOMPARE(shown, text);
    QVERIFY2(metrics.horizontalAdvance(shown) <= room.width(),
             qPrintable(QStringLiteral("%1 px of text in %2 px")
                            .arg(QString::number(metrics.horizontalAdvance(shown)),
                                 QString::number(room.width()))));
    QVERIFY2(
        metrics.height() <= room.height(),
        qPrintable(QStringLiteral("%1 px high text in %2 px")
                       .arg(QString::number(metrics.height()), QString::number(room.height()))));
}

void PlaylistWindowTest::screenReaderNames_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");

    for (const QString language : {"en", "nl"}) {
        const texts::Texts& texts = textsFor(language);
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "path box, named by its label")
            << language << "PathText" << texts.pathPrompt << QAccessible::EditableText;
        QTest::newRow(row + "name box, named by its label")
            << language << "PlayListName" << texts.namePrompt << QAccessible::EditableText;
        QTest::newRow(row + "folder picture, a button")
            << language << "Image1" << texts.chooseFolder << QAccessible::Button;
        QTest::newRow(row + "Start button") << language << "StartButton"
                                            << "Start" << QAccessible::Button;
    }
}

void PlaylistWindowTest::screenReaderNames() {
    QFETCH(QString, language);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);

    const Playlist window(textsFor(language));
    auto* widget = window.findChild<QWidget*>(control);
    QVERIFY(widget);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->role(), role);
    if (control == QLatin1String("Image1")) {
        QCOMPARE(widget->toolTip(), name);
    }
}

void PlaylistWindowTest::tabWalksBoxesAndButton() {
    Playlist window(texts::english, [](QWidget*) { return std::nullopt; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(focusName(window), "PathText");

    QStringList forward;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        forward << focusName(window);
    }
    QCOMPARE(forward, QStringList({"PlayListName", "StartButton", "PathText"}));

    QStringList backward;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(window.focusWidget(), Qt::Key_Backtab);
        backward << focusName(window);
    }
    QCOMPARE(backward, QStringList({"StartButton", "PlayListName", "PathText"}));

    // Clicking the picture leaves the focus where it was.
    window.findChild<QWidget*>("PlayListName")->setFocus();
    QTest::mouseClick(window.findChild<QWidget*>("Image1"), Qt::LeftButton);
    QCOMPARE(focusName(window), "PlayListName");
}

void PlaylistWindowTest::startRunsTheCommand_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("path");  // relative to the tree; "" types nothing
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("earlierDocument");  // a playlist of that name exists
    QTest::addColumn<bool>("xmlIsAFile");       // the playlist folder cannot be made
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("boxes");  // what each box was, see describe(); %1 the tree
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("written");  // the document and index were (re)written

    using Box = QMessageBox;
    const auto ok = [](Box::Icon icon, const QString& prompt) {
        return MessageBoxAnswerer::describe(icon, Box::Ok, Box::Ok, "Arrow", prompt);
    };
    const auto question = [](const QString& prompt) {
        return MessageBoxAnswerer::describe(Box::NoIcon, Box::Yes | Box::No, Box::Yes, "Arrow",
                                            prompt);
    };
    const QString sep = QDir::separator();
    const QString xml = "%1" + sep + "jukebox" + sep + "xml" + sep;
    const QString missing = "Music" + sep + "<i>nowhere</i>";

    for (const QString language : {"en", "nl"}) {
        const texts::Texts& t = textsFor(language);
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "both boxes empty: the path is asked for")
            << language << ""
            << "" << false << false << QStringList{"Ok"}
            << QStringList{ok(Box::Warning, t.pathMissing)} << "PathText" << false;
        QTest::newRow(row + "name empty")
            << language << "Music"
            << "" << false << false << QStringList{"Ok"}
            << QStringList{ok(Box::Warning, t.nameMissing)} << "PlayListName" << false;
        QTest::newRow(row + "music folder missing, shown as typed")
            << language << missing << "playlist" << false << false << QStringList{"Ok"}
            << QStringList{ok(Box::Warning,
                              t.pathNotFound.arg("%1" + sep + QDir::toNativeSeparators(missing)))}
            << "PathText" << false;
        QTest::newRow(row + "replace? No")
            << language << "Music"
            << "playlist" << true << false << QStringList{"No"}
            << QStringList{question(t.replaceQuestion.arg(xml + "playlist"))} << "PlayListName"
            << false;
        QTest::newRow(row + "replace? Yes")
            << language << "Music"
            << "playlist" << true << false << QStringList{"Yes", "Ok"}
            << QStringList{question(t.replaceQuestion.arg(xml + "playlist")),
                           ok(Box::Information, t.playlistReady.arg(xml + "playlist"))}
            << "StartButton" << true;
        QTest::newRow(row + "new playlist")
            << language << "Music"
            << "playlist" << false << false << QStringList{"Ok"}
            << QStringList{ok(Box::Information, t.playlistReady.arg(xml + "playlist"))}
            << "StartButton" << true;
    }
#ifndef Q_OS_WIN
    constexpr int ERROR_ALREADY_EXISTS = 0;
#endif
    QTest::newRow("en: the playlist folder cannot be made")
        << "en"
        << "Music"
        << "playlist" << false << true << QStringList{"Ok"}
        << QStringList{ok(
               Box::Critical,
               texts::english.error.arg(xml, systemReason("File exists", ERROR_ALREADY_EXISTS)))}
        << "StartButton" << false;
}

// One press of Start, through the real service on a temporary jukebox folder:
// the boxes the user sees, where the focus lands, what is written, and which
// cursor shows while the command works, over each box and afterwards.
void PlaylistWindowTest::startRunsTheCommand() {
    QFETCH(QString, language);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(bool, earlierDocument);
    QFETCH(bool, xmlIsAFile);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, boxes);
    QFETCH(QString, focus);
    QFETCH(bool, written);

    MusicTree tree;
    tree.addFile("Music/a.mp3");
    tree.addFolder("jukebox");
    const QByteArray earlier = "<?xml version=\"1.0\"?>\r\n<filelist>\r\n</filelist>\r\n";
    if (earlierDocument) {
        tree.addFile("jukebox/xml/" + name + ".xml", earlier);
    }
    if (xmlIsAFile) {
        tree.addFile("jukebox/xml");
    }
    const QString xml = tree.path("jukebox/xml") + QDir::separator();

    QStringList cursors;
    int services = 0;
    Playlist window(
        textsFor(language), [](QWidget*) { return std::nullopt; },
        [&] {
            ++services;
            return std::make_unique<WatchedFileSystem>(tree.path("jukebox"), cursors);
        });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* pathText = control<QLineEdit>(window, "PathText");
    auto* playListName = control<QLineEdit>(window, "PlayListName");
    auto* startButton = control<QPushButton>(window, "StartButton");
    if (!path.isEmpty()) {
        QTest::keyClicks(pathText, tree.path(path));
    }
    playListName->clear();
    QTest::keyClicks(playListName, name);
    startButton->setFocus();

    {
        MessageBoxAnswerer answerer(answers);
        QTest::mouseClick(startButton, Qt::LeftButton);
        QStringList expected;
        for (const QString& box : boxes) {
            expected << QString(box).replace("%1", tree.root());
        }
        QCOMPARE(answerer.seen, expected);
    }

    QCOMPARE(services, 1);
    QVERIFY(!cursors.isEmpty());
    QCOMPARE(cursors, QStringList(cursors.size(), "Wait"));
    QCOMPARE(overrideCursorName(), "none");
    QCOMPARE(focusName(window), focus);
    QCOMPARE(pathText->text(), path.isEmpty() ? QString() : tree.path(path));
    QCOMPARE(playListName->text(), name);

    if (written) {
        const QString music = tree.path("Music");
        QCOMPARE(xmlOutline(readBytes(xml + name + ".xml")),
                 QStringList({"playlist type=[local]", "album path=[" + music + "] title=[Music]",
                              "mp3 title=[a.mp3] track=[a]"}));
        QCOMPARE(xmlOutline(readBytes(xml + "brantwell-playlists.xml")),
                 QStringList({"filelist", "file name=[playlist] path=[" + xml + "playlist.xml]"}));
    } else if (!xmlIsAFile) {
        // The playlist folder is made before the checks; nothing is written in it.
        const QStringList left = QDir(xml).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, earlierDocument ? QStringList(name + ".xml") : QStringList());
        if (earlierDocument) {
            QCOMPARE(readBytes(xml + name + ".xml"), earlier);
        }
    }
}

void PlaylistWindowTest::folderChooser_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<std::optional<QString>>("chosen");
    QTest::addColumn<QString>("shown");

    const QString unicode = QDir::toNativeSeparators(
        QDir::rootPath() + QStringLiteral("Müziek/日本語 Ελληνικά/\U0001D11E"));
    QTest::newRow("choice replaces what was typed")
        << "C:\\MP3Music" << std::optional(unicode) << unicode;
    QTest::newRow("choice fills an empty box") << "" << std::optional(unicode) << unicode;
    QTest::newRow("cancel keeps what was typed")
        << "/half/typed " << std::optional<QString>() << "/half/typed ";
    QTest::newRow("cancel keeps an empty box") << "" << std::optional<QString>() << "";
}

void PlaylistWindowTest::folderChooser() {
    QFETCH(QString, typed);
    QFETCH(std::optional<QString>, chosen);
    QFETCH(QString, shown);

    QList<QWidget*> owners;
    Playlist window(texts::english, [&](QWidget* owner) {
        owners << owner;
        return chosen;
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* pathText = control<QLineEdit>(window, "PathText");
    QTest::keyClicks(pathText, typed);

    QTest::mouseClick(control<QWidget>(window, "Image1"), Qt::LeftButton);
    QCOMPARE(owners, QList<QWidget*>{&window});
    QCOMPARE(pathText->text(), shown);
}

void PlaylistWindowTest::longRunShowsProgress_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("delayMs");  // added to every folder read
    // What the user does once the progress box shows: "" nothing, "Cancel",
    // "Escape", "close box", "close window".
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("failAt");  // the folder read that fails; 0 none

    for (const QString language : {"en", "nl"}) {
        const QByteArray row = language.toLatin1() + ": ";
        QTest::newRow(row + "quick run shows no box") << language << 0 << "" << 0;
        QTest::newRow(row + "slow run shows the box, then is done") << language << 60 << "" << 0;
        QTest::newRow(row + "Cancel") << language << 60 << "Cancel" << 0;
        QTest::newRow(row + "Escape cancels") << language << 60 << "Escape" << 0;
        QTest::newRow(row + "closing the box cancels") << language << 60 << "close box" << 0;
        QTest::newRow(row + "closing the window cancels, then closes")
            << language << 60 << "close window" << 0;
        QTest::newRow(row + "a folder fails with the box up: the error once it is gone")
            << language << 60 << "" << 25;
    }
}

// A run on a slow disk: the window's thread goes on handling its timers, the
// box comes after a second with the counts and the folder being read, and a
// cancel, however given, stops the walk early and leaves the earlier files
// and no thread behind, without a message, the focus in the path box.
void PlaylistWindowTest::longRunShowsProgress() {
    QFETCH(QString, language);
    QFETCH(int, delayMs);
    QFETCH(QString, action);
    QFETCH(int, failAt);
    const texts::Texts& t = textsFor(language);

    QStringList music;
    for (int album = 1; album <= 30; ++album) {
        music << QStringLiteral("Album %1/track.mp3").arg(album);
    }
    const Jukebox jukebox(music);
    const int folders = 31;
    std::atomic<int> asked = 0;
    QString failed;
    QThreadPool::globalInstance()->waitForDone();
    const int threadsBefore = runningThreads();
    Playlist window(
        t, [](QWidget*) { return std::nullopt; },
        [&] {
            return std::make_unique<SlowFileSystem>(
                jukebox.jukebox, std::chrono::milliseconds(delayMs), asked, failAt, failed);
        });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(control<QLineEdit>(window, "PathText"), jukebox.music);

    QElapsedTimer clock;
    qint64 boxAfter = -1;
    QString counts;
    bool countsFit = false;
    QString folderTip;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (boxAfter >= 0 || !box || box->objectName() != QLatin1String("ProgressBox") ||
            !box->isVisible()) {
            return;
        }
        boxAfter = clock.elapsed();
        // Let the box read the walk once more, past the first folder.
        QTest::qWait(250);
        const auto* countsLabel = box->findChild<QLabel*>("Counts");
        counts = countsLabel->text();
        countsFit = countsLabel->fontMetrics().horizontalAdvance(counts) <=
                    countsLabel->contentsRect().width();
        folderTip = box->findChild<QLabel*>("Folder")->toolTip();
        if (action == QLatin1String("Cancel")) {
            QTest::mouseClick(box->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
        } else if (action == QLatin1String("Escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (action == QLatin1String("close box")) {
            box->close();
        } else if (action == QLatin1String("close window")) {
            window.close();
        }
        // Typing into the window meanwhile changes nothing.
        QTest::keyClicks(control<QLineEdit>(window, "PlayListName"), "typed");
    });
    watcher.start(10);
    ticker.start(20);

    QStringList expectedBoxes{MessageBoxAnswerer::describe(
        QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, "Arrow",
        t.replaceQuestion.arg(jukebox.xml + "playlist"))};
    {
        MessageBoxAnswerer answerer({"Yes", "Ok"});
        clock.start();
        QTest::mouseClick(control<QPushButton>(window, "StartButton"), Qt::LeftButton);
        if (failAt > 0) {
            expectedBoxes << MessageBoxAnswerer::describe(
                QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, "Arrow",
                t.error.arg(failed, FaultyFileSystem::reason()));
        } else if (action.isEmpty()) {
            expectedBoxes << MessageBoxAnswerer::describe(
                QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, "Arrow",
                t.playlistReady.arg(jukebox.xml + "playlist"));
        }
        QCOMPARE(answerer.seen, expectedBoxes);
    }
    const qint64 took = clock.elapsed();
    ticker.stop();
    watcher.stop();
    // Showing the box may start threads of Qt's own pool, which are not the
    // run's; a thread that was joined may linger in the system a moment.
    QThreadPool::globalInstance()->waitForDone();
    QTRY_COMPARE(runningThreads(), threadsBefore);
    QCOMPARE(control<QLineEdit>(window, "PlayListName")->text(), "playlist");

    if (delayMs == 0) {
        QCOMPARE(boxAfter, -1);
    } else {
        QVERIFY2(boxAfter >= Playlist::kProgressDelayMs, qPrintable(QString::number(boxAfter)));
        // The window's thread went on with its timers all along.
        QVERIFY2(ticks > 10, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took)));
        // The counts in plain digits, in the sentence of the language.
        QStringList numbers;
        for (const QRegularExpressionMatch& number :
             QRegularExpression("[0-9]+").globalMatch(counts)) {
            numbers << number.captured();
        }
        QCOMPARE(numbers.size(), 2);
        QCOMPARE(counts, t.progressCounts.arg(numbers[0], numbers[1]));
        QVERIFY2(countsFit, qPrintable(counts));
        QVERIFY(numbers[0].toInt() >= 1);
        QVERIFY(numbers[1].toInt() <= numbers[0].toInt());
        QVERIFY2(folderTip.startsWith(jukebox.music), qPrintable(folderTip));
    }

    if (action.isEmpty() && failAt == 0) {
        QCOMPARE(asked.load(), folders);
        QCOMPARE(xmlOutline(jukebox.document()).size(), 1 + 2 * (folders - 1));
        QCOMPARE(xmlOutline(jukebox.index()),
                 QStringList(
                     {"filelist", "file name=[playlist] path=[" + jukebox.xml + "playlist.xml]"}));
        QCOMPARE(focusName(window), "StartButton");
        return;
    }
    // Stopped early by the user or the disk: the earlier files as they were.
    QVERIFY2(asked.load() < folders, qPrintable(QString::number(asked.load())));
    QCOMPARE(jukebox.document(), jukebox.earlierDocument);
    QCOMPARE(jukebox.index(), jukebox.earlierIndex);
    QCOMPARE(jukebox.playlistFolder(),
             QStringList({QLatin1String(kIndexName), QStringLiteral("playlist.xml")}));
    if (failAt > 0) {
        QCOMPARE(asked.load(), failAt);
        QCOMPARE(focusName(window), "StartButton");
        return;
    }
    QCOMPARE(window.isVisible(), action != QLatin1String("close window"));
    QCOMPARE(focusName(window), "PathText");
}

QTEST_MAIN(PlaylistWindowTest)
#include "tst_playlistwindow.moc"
