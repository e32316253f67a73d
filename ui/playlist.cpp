#include "playlist.h"

#include "clickableimage.h"
#include "overridecursor.h"
#include "program.h"
#include "progressbox.h"
#include "realfilesystem.h"
#include "scanprogress.h"
#include "startcommand.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <optional>
#include <thread>

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

// For as long as it lives, swallows the input meant for one window (clicks,
// keys, wheel, drops), so that while a run goes on nothing in it can be typed
// into or pressed, without greying it out for a run that is over in a blink.
// Painting and the system's requests still reach it; other windows, the
// progress box among them, get their input as ever.
class InputBlock final : public QObject {
public:
    explicit InputBlock(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~InputBlock() override { qApp->removeEventFilter(this); }
    Q_DISABLE_COPY_MOVE(InputBlock)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd: {
                const auto* widget = qobject_cast<QWidget*>(watched);
                return widget && widget->window() == m_window;
            }
            default:
                return false;
        }
    }

private:
    QWidget* m_window;
};

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

void Playlist::runLongWork(writer::ScanProgress& progress, const std::function<void()>& work) {
    const InputBlock block(this);
    ProgressBox box(m_texts, progress, this);
    std::optional<OverrideCursor> busy;
    QTimer delay;
    delay.setSingleShot(true);
    // A coarse timer may fire a twentieth early.
    delay.setTimerType(Qt::PreciseTimer);
    connect(&delay, &QTimer::timeout, &box, [&] {
        // The box can be pressed, so the pointer says busy rather than wait.
        busy.emplace(Qt::BusyCursor);
        box.start();
    });

    QEventLoop waiting;
    std::exception_ptr failure;
    m_running = &progress;
    // A std::thread, joined below, as the service's readers are: the hand-over
    // of `failure` is then plain to see for ThreadSanitizer too.
    std::thread thread([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    delay.start(kProgressDelayMs);
    waiting.exec();
    thread.join();
    m_running = nullptr;
    box.finish();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void Playlist::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // The run must end before the window goes: it stops at its next
        // folder and leaves the earlier files as they were.
        m_running->cancel();
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Playlist::StartButton_Click() {
    {
        const OverrideCursor wait(Qt::WaitCursor);
        const std::unique_ptr<fsservice::FileSystem> fso = m_fileSystem();
        writer::StartCommand(*fso, *this, m_texts).run();
    }
    if (m_closeWhenDone) {
        m_closeWhenDone = false;
        close();
    }
}

void Playlist::Image1_Click() {
    // Cancelling keeps what the user typed: the box changes only for a choice.
    if (const std::optional<QString> folder = m_chooseFolder(this)) {
        PathText->setText(*folder);
    }
}

}  // namespace ui
