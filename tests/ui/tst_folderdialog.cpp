#include "folderchooser.h"
#include "musictree.h"

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

namespace {

/// What the folder dialog looked like when it opened.
struct SeenDialog {
    QString caption;
    QString startFolder;
    bool foldersOnly = false;
    bool keepsLinks = false;
};

/// Waits for the modal folder dialog, notes how it was opened, then moves into
/// `folder` and accepts, as a user picking that folder would; or cancels when
/// `folder` is empty.
class DialogUser final : public QObject {
public:
    explicit DialogUser(QString folder) : m_folder(std::move(folder)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            m_timer.stop();
            seen = SeenDialog{dialog->windowTitle(), dialog->directory().absolutePath(),
                              dialog->fileMode() == QFileDialog::Directory &&
                                  dialog->testOption(QFileDialog::ShowDirsOnly),
                              dialog->testOption(QFileDialog::DontResolveSymlinks)};
            if (m_folder.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(m_folder);
                // The Choose button: the dialog checks what is selected first.
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        m_timer.start(10);
    }

    std::optional<SeenDialog> seen;

private:
    QString m_folder;
    QTimer m_timer;
};

}  // namespace

class FolderDialogTest final : public QObject {
    Q_OBJECT

private slots:
    void choosing_data();
    void choosing();
};

void FolderDialogTest::choosing_data() {
    QTest::addColumn<QString>("walkTo");  // relative to the tree; "" cancels
    QTest::addColumn<QString>("chosen");  // relative to the tree; "" for nothing

    const QString unicode = QStringLiteral("Müziek/日本語 Ελληνικά/\U0001D11E");
    QTest::newRow("letters outside any 8-bit code page") << unicode << unicode;
    QTest::newRow("through a link, kept as walked") << "shortcut/Album"
                                                    << "shortcut/Album";
    QTest::newRow("cancelled") << ""
                               << "";
}

// The real dialog, driven as a user would: how it opens, and what comes back.
void FolderDialogTest::choosing() {
    QFETCH(QString, walkTo);
    QFETCH(QString, chosen);

    MusicTree tree;
    tree.addFolder(QStringLiteral("Müziek/日本語 Ελληνικά/\U0001D11E"));
    tree.addFolder("Real/Album");
#ifdef Q_OS_UNIX
    tree.addLink("shortcut", tree.path("Real"));
#else
    if (walkTo.startsWith("shortcut")) {
        QSKIP("folder links are a POSIX matter here");
    }
#endif

    QWidget owner;
    owner.show();
    DialogUser user(walkTo.isEmpty() ? QString() : tree.path(walkTo));
    const std::optional<QString> result = ui::chooseFolderWithDialog(&owner);

    QVERIFY(user.seen);
    QVERIFY(user.seen->foldersOnly);
    QVERIFY(user.seen->keepsLinks);
    QCOMPARE(user.seen->startFolder, QDir::rootPath());
    if (chosen.isEmpty()) {
        QCOMPARE(result, std::nullopt);
    } else {
        QCOMPARE(result, std::optional(tree.path(chosen)));
    }
}

QTEST_MAIN(FolderDialogTest)
#include "tst_folderdialog.moc"
