#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace ui {

/// Asks the user for a folder, modal to `owner`. Gives the folder's full path in
/// the platform's separators, or nothing when the user cancels. The window takes
/// one of these so tests can answer without a dialog on screen.
using FolderChooser = std::function<std::optional<QString>(QWidget* owner)>;

/// The platform's folder dialog: folders only, starting at the top of the file
/// system, with no caption of ours. Links in the chosen path are kept as the
/// user walked them, and the path comes back in full Unicode.
///
///     if (const auto folder = chooseFolderWithDialog(window)) use(*folder);
std::optional<QString> chooseFolderWithDialog(QWidget* owner);

}  // namespace ui
