#pragma once

#include "filesystem.h"

#include <QSaveFile>
#include <QStringEncoder>

namespace fsservice {

/// A TextStream that writes into a temporary file beside its target and puts it
/// in place on Close. Killed or failed half-way, it leaves the target as it was.
/// Lines are encoded into one large buffer and written out in big blocks.
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
    QSaveFile m_file;
    QStringEncoder m_encoder;
    QByteArray m_buffer;
    qsizetype m_used = 0;
};

}  // namespace fsservice
