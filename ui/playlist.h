#pragma once

#include "filesystem.h"
#include "folderchooser.h"
#include "playlistview.h"
#include "texts.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class ClickableImage;

/// Makes the file-system service for one run of the Start command.
using FileSystemFactory = std::function<std::unique_ptr<fsservice::FileSystem>()>;

/// The service on the real disk.
std::unique_ptr<fsservice::FileSystem> makeRealFileSystem();

/// The program's one window: the music folder box with its folder picture, the
/// playlist name box and the Start button, in the language of `texts`.
///
/// The controls keep fixed places in a fixed 426 x 144 window and carry the
/// names the rest of the program knows them by (`PathText`, `PlayListName`,
/// `StartButton`, `Image1`, `Label1`, `Label2`), as members and object names.
/// Start runs the Start command with the wait cursor up until it is over: its
/// checks and boxes on the window's thread, its walk in a thread of its own,
/// while the window keeps painting and, after a second, shows a progress box
/// with Cancel. The folder picture asks `chooseFolder`.
class Playlist final : public QWidget, public writer::PlaylistView {
    Q_OBJECT
public:
    explicit Playlist(const texts::Texts& texts,
                      FolderChooser chooseFolder = chooseFolderWithDialog,
                      FileSystemFactory fileSystem = makeRealFileSystem, QWidget* parent = nullptr);
    ~Playlist() override;
    Q_DISABLE_COPY_MOVE(Playlist)

    /// The font of every control: a small sans serif sized in pixels, as the
    /// controls are, so each text of both languages fits its control whatever
    /// dots-per-inch the screen reports.
    static QFont windowFont();

    QString pathText() const override;
    QString playListName() const override;
    void focusPathText() override;
    void focusPlayListName() override;
    void beep() override;
    /// A box titled "Trackfold" with OK as its only and default button.
    void showMessage(writer::MessageIcon icon, const QString& prompt) override;
    /// A box titled "Trackfold" with Yes (the default) and No and no icon;
    /// closing it counts as No.
    bool askYesNo(const QString& prompt) override;
    /// Runs `work` in a thread of its own and waits for it in an event loop
    /// that takes no input for this window; a ProgressBox opens after
    /// kProgressDelay. Closing the window meanwhile cancels the work and
    /// closes the window once the run is over.
    void runLongWork(writer::ScanProgress& progress, const std::function<void()>& work) override;

    /// How long a run goes before its progress box shows: a run of a library
    /// on a local disk is over well before, so no box flashes up and away.
    static constexpr int kProgressDelayMs = 1000;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void StartButton_Click();
    void Image1_Click();

private:
    const texts::Texts& m_texts;
    FolderChooser m_chooseFolder;
    FileSystemFactory m_fileSystem;
    // The work under way, while runLongWork waits for it.
    writer::ScanProgress* m_running = nullptr;
    bool m_closeWhenDone = false;

    QLabel* Label1;
    QLineEdit* PathText;
    ClickableImage* Image1;
    QLabel* Label2;
    QLineEdit* PlayListName;
    QPushButton* StartButton;
};

}  // namespace ui
