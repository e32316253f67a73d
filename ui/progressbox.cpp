#include "progressbox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ui {

namespace {

// Ten times a second: the counts move with every folder, and a label redrawn
// more often than the eye can read it only costs the window's thread.
constexpr int kRefreshMs = 100;
// The narrowest the box gets; a language whose counts line is longer widens it.
constexpr int kMinimumWidth = 400;

}  // namespace

ProgressBox::ProgressBox(const texts::Texts& texts, writer::ScanProgress& progress, QWidget* owner)
    : QDialog(owner),
      m_texts(texts),
      m_progress(progress),
      m_counts(new QLabel(this)),
      m_folder(new QLabel(this)),
      m_cancel(new QPushButton(texts.cancel, this)) {
    setObjectName(QStringLiteral("ProgressBox"));
    setWindowTitle(texts::kTitle.toString());
    setWindowModality(Qt::ApplicationModal);
    // The box has no help and nothing to resize.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    m_counts->setObjectName(QStringLiteral("Counts"));
    m_counts->setTextFormat(Qt::PlainText);
    m_folder->setObjectName(QStringLiteral("Folder"));
    m_folder->setTextFormat(Qt::PlainText);
    m_cancel->setObjectName(QStringLiteral("Cancel"));

    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);  // busy: the total is not known
    bar->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProgressBox::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_counts);
    layout->addWidget(m_folder);
    layout->addWidget(bar);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Room for the counts of the largest library, so the box does not change
    // its width as the numbers grow.
    const QString largest = QStringLiteral("9999999");
    const int width = std::max(kMinimumWidth, m_counts->fontMetrics().horizontalAdvance(
                                                  texts.progressCounts.arg(largest, largest)));
    m_counts->setFixedWidth(width);
    m_folder->setFixedWidth(width);

    connect(&m_refresh, &QTimer::timeout, this, &ProgressBox::refresh);
}

void ProgressBox::start() {
    refresh();
    m_refresh.start(kRefreshMs);
    open();
}

void ProgressBox::finish() {
    m_finished = true;
    m_refresh.stop();
    done(Rejected);
}

void ProgressBox::reject() {
    if (m_finished) {
        QDialog::reject();
        return;
    }
    // The walk stops at its next folder; the box goes when the work has ended.
    m_progress.cancel();
    m_cancel->setEnabled(false);
}

void ProgressBox::refresh() {
    const writer::ScanProgress::Snapshot now = m_progress.snapshot();
    m_counts->setText(
        m_texts.progressCounts.arg(QString::number(now.foldersRead), QString::number(now.albums)));
    // A deep path is cut in the middle, where it is least telling; the
    // tooltip has it whole.
    m_folder->setText(
        m_folder->fontMetrics().elidedText(now.folder, Qt::ElideMiddle, m_folder->width()));
    m_folder->setToolTip(now.folder);
}

}  // namespace ui
