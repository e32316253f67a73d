#include "musictree.h"
#include "playlistxml.h"
#include "program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QByteArray utf16Bytes(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

#ifdef Q_OS_WIN
// The program built beside this test, or the one of the folder named by
// TRACKFOLD_PROGRAM_DIR (a copy from the zip alone in a folder, which must
// start with no DLL or plugin beside it).
QString programFile(const QString& built) {
    const QString folder = qEnvironmentVariable("TRACKFOLD_PROGRAM_DIR");
    return folder.isEmpty() ? built : QDir(folder).filePath(QFileInfo(built).fileName());
}

struct WindowSearch {
    DWORD processId;
    HWND besides;
    HWND window;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<WindowSearch*>(search);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == wanted->processId && window != wanted->besides && ::IsWindowVisible(window)) {
        wanted->window = window;
        return FALSE;
    }
    return TRUE;
}

// A shown top-level window of the process, other than `besides`.
HWND visibleWindowOf(qint64 processId, HWND besides = nullptr) {
    WindowSearch search{DWORD(processId), besides, nullptr};
    ::EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

// Presses and lets go of a key, as the keyboard does: a virtual key, or a
// character typed as itself (`key` 0).
void press(WORD key, wchar_t character = 0) {
    INPUT input[2] = {};
    for (INPUT& event : input) {
        event.type = INPUT_KEYBOARD;
        event.ki.wVk = key;
        event.ki.wScan = character;
        event.ki.dwFlags = key ? 0 : KEYEVENTF_UNICODE;
    }
    input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof(INPUT));
}

void type(const QString& text) {
    for (const QChar character : text) {
        press(0, wchar_t(character.unicode()));
    }
}

// A left click at `point` of the window's client area.
void click(HWND window, POINT point) {
    ::ClientToScreen(window, &point);
    ::SetCursorPos(point.x, point.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

// One text of the version resource `info`, in the block of `language`.
QString versionText(const QByteArray& info, const QString& language, const QString& name) {
    const QString key = "\\StringFileInfo\\" + language + "04b0\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(info.constData(), wide(key), &value, &length) || length == 0) {
        return QStringLiteral("(none)");
    }
    // The length counts the closing zero.
    return QString::fromWCharArray(static_cast<const wchar_t*>(value), int(length) - 1);
}

BOOL CALLBACK firstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<QString*>(found) = IS_INTRESOURCE(name)
                                             ? QStringLiteral("#%1").arg(quintptr(name))
                                             : QString::fromWCharArray(name);
    return FALSE;
}
#endif

}  // namespace

class ProgramsTest final : public QObject {
    Q_OBJECT

private slots:
    void eachProgramCarriesOneLanguage_data();
    void eachProgramCarriesOneLanguage();
    void programStartsAndOnlyShowsItsWindow_data();
    void programStartsAndOnlyShowsItsWindow();
    void nameVersionAndPictures();
#ifdef Q_OS_WIN
    // On Linux the window tests press Start on the same widgets.
    void startWritesIntoXmlOfTheCurrentFolder_data();
    void startWritesIntoXmlOfTheCurrentFolder();
    void versionResourceAndIcon_data();
    void versionResourceAndIcon();
#endif
};

void ProgramsTest::eachProgramCarriesOneLanguage_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<const texts::Texts*>("own");
    QTest::addColumn<const texts::Texts*>("other");

    QTest::newRow("songrig_en") << SONGRIG_EN << &texts::english << &texts::dutch;
    QTest::newRow("songrig_nl") << SONGRIG_NL << &texts::dutch << &texts::english;
}

// Each program file holds its own language's window and message texts and
// none of the other language's: the language is settled when it is linked.
void ProgramsTest::eachProgramCarriesOneLanguage() {
    QFETCH(QString, program);
    QFETCH(const texts::Texts*, own);
    QFETCH(const texts::Texts*, other);

    QFile file(program);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray binary = file.readAll();
    const auto holds = [&](const QString& text) { return binary.contains(utf16Bytes(text)); };
    for (const auto member : {&texts::Texts::pathPrompt, &texts::Texts::namePrompt,
                              &texts::Texts::pathMissing, &texts::Texts::chooseFolder}) {
        QVERIFY2(holds(own->*member), qPrintable(own->*member));
        QVERIFY2(!holds(other->*member), qPrintable(other->*member));
    }
}

void ProgramsTest::programStartsAndOnlyShowsItsWindow_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("songrig_en") << SONGRIG_EN;
    QTest::newRow("songrig_nl") << SONGRIG_NL;
}

// Started in an empty folder, the program keeps running with its window up and
// writes nothing: the playlist folder is made only when Start is pressed.
void ProgramsTest::programStartsAndOnlyShowsItsWindow() {
    QFETCH(QString, program);

    QTemporaryDir current;
    QVERIFY(current.isValid());
    QProcess process;
    process.setWorkingDirectory(current.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(program, {});
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    QVERIFY2(!process.waitForFinished(1500), process.readAllStandardError().constData());
    process.kill();
    process.waitForFinished();

    QCOMPARE(QDir(current.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void ProgramsTest::nameVersionAndPictures() {
    ui::describeProgram();
    QCOMPARE(QCoreApplication::applicationName(), "Trackfold");
    QCOMPARE(QCoreApplication::applicationVersion(), "1.00");
    // The pictures are compiled into the library the programs link; an empty
    // icon here means they did not come along.
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    QCOMPARE(sizes, QList<QSize>({{16, 16}, {32, 32}, {48, 48}, {256, 256}}));
    // A pixel inside each picture is drawn, not transparent.
    QVERIFY(QApplication::windowIcon().pixmap(32, 32).toImage().pixelColor(4, 16).alpha() > 0);
    QVERIFY(ui::folderIcon().pixmap(32, 32).toImage().pixelColor(16, 20).alpha() > 0);
}

#ifdef Q_OS_WIN
void ProgramsTest::startWritesIntoXmlOfTheCurrentFolder_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("typed");   // into the path box; "" types nothing
    QTest::addColumn<QString>("chosen");  // in the folder dialog; "" cancels it
    QTest::addColumn<bool>("dialog");     // the folder picture is clicked

    QTest::newRow("songrig_en, typed") << SONGRIG_EN << "Müziek"
                                       << "" << false;
    QTest::newRow("songrig_nl, typed") << SONGRIG_NL << "Müziek"
                                       << "" << false;
    QTest::newRow("chosen in the folder dialog") << SONGRIG_EN << ""
                                                 << "Müziek" << true;
    QTest::newRow("typed, then the folder dialog cancelled") << SONGRIG_EN << "Müziek"
                                                             << "" << true;
}

// The real program on the windows platform, as a user drives it: the music
// folder typed into the path box or chosen in the system's folder dialog, Tab
// past the name box (which offers "playlist"), Space on Start. The document
// and the index appear in xml\ of the folder the program was started in.
void ProgramsTest::startWritesIntoXmlOfTheCurrentFolder() {
    QFETCH(QString, program);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(bool, dialog);
    MusicTree tree;
    tree.addFiles({"Müziek/日本語 Ελληνικά/b.mp3", "Müziek/a.mp3"});
    tree.addFolder("run");
    const QString music = tree.path("Müziek");
    const QString xml = tree.path("run/xml") + "\\";

    QProcess process;
    process.setWorkingDirectory(tree.path("run"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "windows");
    environment.remove("QT_PLUGIN_PATH");
    process.setProcessEnvironment(environment);
    process.start(programFile(program), {});
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    const auto stop = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
    });
    HWND window = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((window = visibleWindowOf(process.processId())) != nullptr, 20000);
    QVERIFY(::SetForegroundWindow(window));
    QTest::qWait(300);
    if (!typed.isEmpty()) {
        type(tree.path(typed));
    }
    if (dialog) {
        // The middle of the folder picture, left of the path box.
        click(window, POINT{24, 56});
        HWND picker = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((picker = visibleWindowOf(process.processId(), window)) != nullptr,
                                 20000);
        // The system's dialog, not Qt's own.
        wchar_t name[64] = {};
        ::GetClassNameW(picker, name, 64);
        QCOMPARE(QString::fromWCharArray(name), "#32770");
        QTest::qWait(500);
        if (chosen.isEmpty()) {
            press(VK_ESCAPE);
        } else {
            type(tree.path(chosen));
            press(VK_RETURN);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!::IsWindow(picker) || !::IsWindowVisible(picker), 20000);
        QVERIFY(::SetForegroundWindow(window));
        QTest::qWait(300);
    }
    press(VK_TAB);
    press(VK_TAB);
    press(VK_SPACE);

    // The message that the playlist is ready comes once both files are in place.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(xml + "brantwell-playlists.xml"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(
        xmlOutline(readBytes(xml + "playlist.xml")),
        QStringList({"playlist type=[local]", "album path=[" + music + "] title=[Müziek]",
                     "mp3 title=[a.mp3] track=[a]",
                     "album path=[" + music + "\\日本語 Ελληνικά] title=[日本語 Ελληνικά]",
                     "mp3 title=[b.mp3] track=[b]"}),
        20000);
    QCOMPARE(xmlOutline(readBytes(xml + "brantwell-playlists.xml")),
             QStringList({"filelist", "file name=[playlist] path=[" + xml + "playlist.xml]"}));
    QCOMPARE(process.state(), QProcess::Running);
}

void ProgramsTest::versionResourceAndIcon_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("description");
    QTest::newRow("songrig_en") << SONGRIG_EN << "0409"
                                << "Writes a jukebox playlist from a folder of music";
    QTest::newRow("songrig_nl") << SONGRIG_NL << "0413"
                                << "Maakt een jukebox-playlist van een map met muziek";
}

// What Explorer shows of a program file: its version, its description in the
// program's language, and the program icon in every size its views ask for.
void ProgramsTest::versionResourceAndIcon() {
    QFETCH(QString, program);
    QFETCH(QString, language);
    QFETCH(QString, description);
    const QString native = QDir::toNativeSeparators(program);
    const wchar_t* const file = wide(native);

    const DWORD size = ::GetFileVersionInfoSizeW(file, nullptr);
    QVERIFY2(size > 0, qPrintable(qt_error_string(int(::GetLastError()))));
    QByteArray info(int(size), 0);
    QVERIFY(::GetFileVersionInfoW(file, 0, size, info.data()));
    QCOMPARE(versionText(info, language, "FileVersion"), "1.00");
    QCOMPARE(versionText(info, language, "ProductVersion"), "1.00");
    QCOMPARE(versionText(info, language, "FileDescription"), description);
    QCOMPARE(versionText(info, language, "OriginalFilename"), QFileInfo(program).fileName());
    void* fixed = nullptr;
    UINT length = 0;
    QVERIFY(::VerQueryValueW(info.constData(), L"\\", &fixed, &length));
    QCOMPARE(static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwFileVersionMS, DWORD(0x00010000));
    QCOMPARE(static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwProductVersionMS, DWORD(0x00010000));

    HMODULE module = ::LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    QVERIFY(module);
    const auto unload = qScopeGuard([&] { ::FreeLibrary(module); });
    QString icon;
    ::EnumResourceNamesW(module, RT_GROUP_ICON, firstName, reinterpret_cast<LONG_PTR>(&icon));
    QCOMPARE(icon, "IDI_ICON1");
    // The icon's directory: six bytes of header, then fourteen an image, whose
    // first byte is its width (0 for 256).
    HRSRC found = ::FindResourceW(module, wide(icon), RT_GROUP_ICON);
    QVERIFY(found);
    const auto* directory =
        static_cast<const uchar*>(::LockResource(::LoadResource(module, found)));
    QVERIFY(directory);
    QList<int> widths;
    for (int image = 0; image < qFromLittleEndian<quint16>(directory + 4); ++image) {
        const int width = directory[6 + 14 * image];
        widths << (width == 0 ? 256 : width);
    }
    QCOMPARE(widths, QList<int>({16, 32, 48, 256}));
    for (const int side : {16, 32, 48, 256}) {
        HICON handle =
            static_cast<HICON>(::LoadImageW(module, wide(icon), IMAGE_ICON, side, side, 0));
        QVERIFY2(handle, qPrintable(QString::number(side)));
        ICONINFO parts{};
        QVERIFY(::GetIconInfo(handle, &parts));
        BITMAP colour{};
        QVERIFY(::GetObjectW(parts.hbmColor, sizeof colour, &colour));
        QCOMPARE(colour.bmWidth, side);
        ::DeleteObject(parts.hbmColor);
        ::DeleteObject(parts.hbmMask);
        ::DestroyIcon(handle);
    }
}
#endif

QTEST_MAIN(ProgramsTest)
#include "tst_programs.moc"
