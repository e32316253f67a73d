#include "playlist.h"

#include "clickableimage.h"
#include "overridecursor.h"
#include "program.h"
#include "realfilesystem.h"
#include "startcommand.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {

QMessageBox::Icon boxIcon(writer::MessageIcon icon) {
    switch (icon) {
        case writer::MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case writer::MessageIcon::Information:
            return QMessageBox::Information;
        case writer::MessageIcon::Critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Runs a message box. The box waits for the user, so it shows the ordinary
// pointer even in the middle of a run; the wait cursor comes back after it.
int ask(QMessageBox& box) {
    // Prompts hold paths typed by the user; "<b>" in a folder name is text.
    box.setTextFormat(Qt::PlainText);
    const OverrideCursor pointer(Qt::ArrowCursor);
    return box.exec();
}

}  // namespace

std::unique_ptr<fsservice::FileSystem> makeRealFileSystem() {
    return std::make_unique<fsservice::RealFileSystem>();
}

Playlist::Playlist(const texts::Texts& texts, FolderChooser chooseFolder,
                   FileSystemFactory fileSystem, QWidget* parent)
    : QWidget(parent),
      m_texts(texts),
      m_chooseFolder(std::move(chooseFolder)),
      m_fileSystem(std::move(fileSystem)),
      Label1(new QLabel(texts.pathPrompt, this)),
      PathText(new QLineEdit(this)),
      Image1(new ClickableImage(this)),
      Label2(new QLabel(texts.namePrompt, this)),
      PlayListName(new QLineEdit(texts::kInitialPlaylistName.toString(), this)),
      StartButton(new QPushButton(texts::kStartCaption.toString(), this)) {
    setObjectName(QStringLiteral("Playlist"));
    setWindowTitle(texts::kTitle.toString());
    setWindowIcon(programIcon());
    setFont(windowFont());
    // Nothing reacts to a change of size, so the window offers none.
    setFixedSize(426, 144);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(48, 24, 369, 25);
    Label1->setBuddy(PathText);

    PathText->setObjectName(QStringLiteral("PathText"));
    PathText->setGeometry(48, 48, 361, 19);

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 40, 32, 32);
    Image1->setIcon(folderIcon());
    Image1->setIconSize(QSize(32, 32));
    Image1->setToolTip(texts.chooseFolder);
    Image1->setAccessibleName(texts.chooseFolder);

    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(48, 80, 73, 17);
    Label2->setBuddy(PlayListName);

    PlayListName->setObjectName(QStringLiteral("PlayListName"));
    PlayListName->setGeometry(128, 80, 281, 19);

    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setGeometry(168, 104, 81, 33);

    // Labels and the picture take no focus, so Tab walks the two boxes and the
    // button only, starting in the path box.
    setTabOrder(PathText, PlayListName);
    setTabOrder(PlayListName, StartButton);
    PathText->setFocus();

    connect(StartButton, &QPushButton::clicked, this, &Playlist::StartButton_Click);
    connect(Image1, &ClickableImage::clicked, this, &Playlist::Image1_Click);
}

Playlist::~Playlist() = default;

QFont Playlist::windowFont() {
    // DejaVu Sans comes with Qt on Debian; elsewhere the style hint picks the
    // system's sans serif, whose letters are no wider.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(10);
    return font;
}

QString Playlist::pathText() const {
    return PathText->text();
}

QString Playlist::playListName() const {
    return PlayListName->text();
}

void Playlist::focusPathText() {
    PathText->setFocus(Qt::OtherFocusReason);
}

void Playlist::focusPlayListName() {
    PlayListName->setFocus(Qt::OtherFocusReason);
}

void Playlist::beep() {
    QApplication::beep();
}

void Playlist::showMessage(writer::MessageIcon icon, const QString& prompt) {
    QMessageBox box(boxIcon(icon), texts::kTitle.toString(), prompt, QMessageBox::Ok, this);
    box.setDefaultButton(QMessageBox::Ok);
    ask(box);
}

bool Playlist::askYesNo(const QString& prompt) {
    QMessageBox box(QMessageBox::NoIcon, texts::kTitle.toString(), prompt,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return ask(box) == QMessageBox::Yes;
}

void Playlist::StartButton_Click() {
    const OverrideCursor wait(Qt::WaitCursor);
    const std::unique_ptr<fsservice::FileSystem> fso = m_fileSystem();
    writer::StartCommand(*fso, *this, m_texts).run();
}

void Playlist::Image1_Click() {
    // Cancelling keeps what the user typed: the box changes only for a choice.
    if (const std::optional<QString> folder = m_chooseFolder(this)) {
        PathText->setText(*folder);
    }
}

}  // namespace ui
