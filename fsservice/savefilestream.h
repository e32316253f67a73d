#pragma once

#include "filesystem.h"

#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <QFile>
#else
#include <QSaveFile>
#endif

namespace fsservice {

/// A TextStream that writes into a temporary file beside its target and puts it
/// in place on Close. Killed or failed half-way, it leaves the target as it was.
/// Lines are encoded into one large buffer and written out in big blocks.
///
/// On Windows another program (a virus scanner, the search indexer, a backup
/// or sync tool) may hold the target open for a moment, letting others read and
/// write it but not replace it. Close then tries again, with growing pauses,
/// for up to 5 s before it throws; the finished file waits under its temporary
/// name meanwhile, and is removed when Close gives up.
class SaveFileStream final : public TextStream {
public:
    enum class Encoding { Utf16, System };

    /// Opens the temporary file. Throws FsError.
    SaveFileStream(const QString& path, Encoding encoding);
    ~SaveFileStream() override;
    Q_DISABLE_COPY_MOVE(SaveFileStream)

    void WriteLine(QStringView text) override;
    void Close() override;

private:
    void writeOut();

    QString m_path;
#ifdef Q_OS_WIN
    // QSaveFile deletes the finished file when its one try to replace the
    // target fails, so on Windows the temporary file and the replace are this
    // class's own. (QTemporaryFile would keep its handle open after close(),
    // and Windows replaces nothing through an open handle.)
    QFile m_file;
    bool m_placed = false;
#else
    QSaveFile m_file;
#endif
    QStringEncoder m_encoder;
    QByteArray m_buffer;
    qsizetype m_used = 0;
};

}  // namespace fsservice
