#include "recordingview.h"

#include "scanprogress.h"

#include <QScopeGuard>

void RecordingView::record(const QString& event) {
    events << event;
    if (onEvent) {
        onEvent(event);
    }
}

bool RecordingView::done() const {
    return !events.isEmpty() && events.last().startsWith(QLatin1String("message Information: "));
}

void RecordingView::focusPathText() {
    record(QStringLiteral("focus PathText"));
}

void RecordingView::focusPlayListName() {
    record(QStringLiteral("focus PlayListName"));
}

void RecordingView::beep() {
    record(QStringLiteral("beep"));
}

void RecordingView::showMessage(writer::MessageIcon icon, const QString& prompt) {
    static const char* const names[] = {"Exclamation", "Information", "Critical"};
    record(QStringLiteral("message %1: %2").arg(QLatin1String(names[int(icon)]), prompt));
}

bool RecordingView::askYesNo(const QString& prompt) {
    record(QStringLiteral("ask: ") + prompt);
    return answerYes;
}

void RecordingView::runLongWork(writer::ScanProgress& progress, const std::function<void()>& work) {
    m_running = &progress;
    const auto over = qScopeGuard([this] { m_running = nullptr; });
    work();
}

void RecordingView::cancel() {
    if (m_running) {
        m_running->cancel();
    }
}
