#pragma once

#include "scanprogress.h"
#include "texts.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace ui {

/// The box a long run shows over the window: a busy bar (how many folders
/// there are is not known until the end), the folders read and albums found
/// so far, the folder being read, and Cancel. It reads `progress` ten times a
/// second while it shows.
///
/// Cancel, Escape and closing the box all ask the walk to stop; the box stays
/// up, its button disabled, until the owner closes it with finish() once the
/// work has ended, so nothing else can be pressed in between.
class ProgressBox final : public QDialog {
    Q_OBJECT
public:
    ProgressBox(const texts::Texts& texts, writer::ScanProgress& progress, QWidget* owner);
    Q_DISABLE_COPY_MOVE(ProgressBox)

    /// Shows the box, modal to the whole program, with the counts of now.
    void start();
    /// Closes the box for good; the work is over.
    void finish();

    void reject() override;

private slots:
    void refresh();

private:
    const texts::Texts& m_texts;
    writer::ScanProgress& m_progress;
    QLabel* m_counts;
    QLabel* m_folder;
    QPushButton* m_cancel;
    QTimer m_refresh;
    bool m_finished = false;
};

}  // namespace ui
