#pragma once

#include <QString>

namespace writer {

enum class MessageIcon { Exclamation, Information, Critical };

/// What the Start command needs of the window: the two boxes, the focus, a beep
/// and modal message boxes titled "Trackfold". The window implements it; tests
/// implement it with a fake that records every call.
class PlaylistView {
public:
    virtual ~PlaylistView() = default;

    /// Text of the music folder box, as typed.
    virtual QString pathText() const = 0;
    /// Text of the playlist name box, as typed.
    virtual QString playListName() const = 0;

    virtual void focusPathText() = 0;
    virtual void focusPlayListName() = 0;

    virtual void beep() = 0;
    /// A message box with an OK button and the icon.
    virtual void showMessage(MessageIcon icon, const QString& prompt) = 0;
    /// A message box with Yes and No (Yes the default) and no icon; true for Yes.
    virtual bool askYesNo(const QString& prompt) = 0;
};

}  // namespace writer
