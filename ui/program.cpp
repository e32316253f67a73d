#include "program.h"

#include "playlist.h"

#include <QApplication>

namespace ui {

QIcon programIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/trackfold-16.xpm"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/trackfold-32.xpm"), QSize(32, 32));
    // For the task bar and title bar of screens at 150% and more.
    icon.addFile(QStringLiteral(":/icons/trackfold-48.png"), QSize(48, 48));
    icon.addFile(QStringLiteral(":/icons/trackfold-256.png"), QSize(256, 256));
    return icon;
}

QIcon folderIcon() {
    return QIcon(QStringLiteral(":/icons/folder-32.xpm"));
}

void describeProgram() {
    QCoreApplication::setApplicationName(texts::kTitle.toString());
    QCoreApplication::setApplicationVersion(QStringLiteral(TRACKFOLD_VERSION));
    QApplication::setWindowIcon(programIcon());
}

int runProgram(int& argc, char** argv, const texts::Texts& texts) {
    const QApplication application(argc, argv);
    describeProgram();
    Playlist window(texts);
    window.show();
    return QApplication::exec();
}

}  // namespace ui
