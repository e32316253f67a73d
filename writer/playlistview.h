#pragma once

#include <QString>

#include <functional>

namespace writer {

enum class MessageIcon { Exclamation, Information, Critical };

class ScanProgress;

/// What the Start command needs of the window: the two boxes, the focus, a beep,
/// modal message boxes titled "Trackfold", and a way to run the long part of a
/// run while the window stays alive. The window implements it; tests implement
/// it with a fake that records every call.
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

    /// Runs `work` to its end and rethrows here whatever it throws. Meanwhile
    /// the window keeps painting and answering the system but takes no input;
    /// when the work is still going after a second, a modal box shows
    /// `progress`, and its Cancel (or Escape, or closing the box or the window)
    /// calls progress.cancel(), which the work answers by throwing
    /// ScanCancelled. `work` may run in another thread, so it must not touch
    /// the window; the fake of the tests runs it in place.
    virtual void runLongWork(ScanProgress& progress, const std::function<void()>& work) = 0;
};

}  // namespace writer
