#include "recordingview.h"

#include "scanprogress.h"

#include <QScopeGuard>

void RecordingView::focusPathText() {
    events << QStringLiteral("focus PathText");
}

void RecordingView::focusPlayListName() {
    events << QStringLiteral("focus PlayListName");
}

void RecordingView::beep() {
    events << QStringLiteral("beep");
}

void RecordingView::showMessage(writer::MessageIcon icon, const QString& prompt) {
    static const char* const names[] = {"Exclamation", "Information", "Critical"};
    events << QStringLiteral("message %1: %2").arg(QLatin1String(names[int(icon)]), prompt);
}

bool RecordingView::askYesNo(const QString& prompt) {
    events << QStringLiteral("ask: ") + prompt;
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
