#include "folderchooser.h"

#include <QDir>
#include <QFileDialog>

namespace ui {

std::optional<QString> chooseFolderWithDialog(QWidget* owner) {
    // Resolving links would hand back a path the user never saw; the writer
    // follows links itself when it reads the folder.
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QString(), QDir::rootPath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(folder);
}

}  // namespace ui
