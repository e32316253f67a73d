#pragma once

#include "playlistview.h"

#include <QStringList>

#include <functional>

/// The window without a window, for the tests, the driver program and the
/// benchmark: a PlaylistView that records every call, in order, as a line of
/// text:
///   "beep", "message Exclamation: <prompt>", "ask: <prompt>",
///   "focus PathText", "focus PlayListName"
/// hands each line to `onEvent` too, when set, and answers the yes/no question
/// with `answerYes`. The long work runs in place, and cancel() asks it to stop
/// as the progress box's Cancel would.
class RecordingView final : public writer::PlaylistView {
public:
    QString path;
    QString name = QStringLiteral("playlist");
    bool answerYes = true;
    QStringList events;
    std::function<void(const QString&)> onEvent;

    /// True when the last thing shown was the message that the playlist is ready.
    bool done() const;

    QString pathText() const override { return path; }
    QString playListName() const override { return name; }
    void focusPathText() override;
    void focusPlayListName() override;
    void beep() override;
    void showMessage(writer::MessageIcon icon, const QString& prompt) override;
    bool askYesNo(const QString& prompt) override;
    void runLongWork(writer::ScanProgress& progress, const std::function<void()>& work) override;

    /// Presses Cancel on the work under way; nothing outside one.
    void cancel();

private:
    void record(const QString& event);

    writer::ScanProgress* m_running = nullptr;
};
