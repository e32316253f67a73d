#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

/// Answers the modal message boxes that appear while it lives, in order, by
/// pressing the buttons named in `answers` ("Ok", "Yes", "No"). Each box is
/// recorded as one line before it is answered:
///   "Warning [Ok] default Ok, cursor Arrow, plain: Enter Playlist Name."
/// A box beyond the answers is recorded and closed with Escape, so a run that
/// shows more boxes than expected fails its comparison instead of hanging.
class MessageBoxAnswerer final : public QObject {
    Q_OBJECT
public:
    explicit MessageBoxAnswerer(QStringList answers);
    Q_DISABLE_COPY_MOVE(MessageBoxAnswerer)

    QStringList seen;

    /// The line that describes a box with these properties.
    static QString describe(QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                            QMessageBox::StandardButton defaultButton, const QString& cursor,
                            const QString& prompt);

private:
    void look();

    QStringList m_answers;
    QTimer m_timer;
};

/// The shape of the override cursor as a word ("Wait", "Arrow"), or "none".
QString overrideCursorName();
