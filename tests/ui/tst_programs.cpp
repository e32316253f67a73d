#include "program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray utf16Bytes(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

}  // namespace

class ProgramsTest final : public QObject {
    Q_OBJECT

private slots:
    void eachProgramCarriesOneLanguage_data();
    void eachProgramCarriesOneLanguage();
    void programStartsAndOnlyShowsItsWindow_data();
    void programStartsAndOnlyShowsItsWindow();
    void nameVersionAndPictures();
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
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
    // A pixel inside each picture is drawn, not transparent.
    QVERIFY(QApplication::windowIcon().pixmap(32, 32).toImage().pixelColor(4, 16).alpha() > 0);
    QVERIFY(ui::folderIcon().pixmap(32, 32).toImage().pixelColor(16, 20).alpha() > 0);
}

QTEST_MAIN(ProgramsTest)
#include "tst_programs.moc"
