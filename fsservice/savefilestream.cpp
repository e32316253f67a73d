#include "savefilestream.h"

#include "fserror.h"

namespace fsservice {
namespace {

constexpr qsizetype kBlock = 256 * 1024;

}  // namespace

SaveFileStream::SaveFileStream(const QString& path, Encoding encoding)
    : m_path(path),
      m_file(path),
      m_encoder(encoding == Encoding::Utf16 ? QStringConverter::Utf16LE
                                            : QStringConverter::System) {
    if (!m_file.open(QIODevice::WriteOnly)) {
        throw FsError(path, m_file.errorString());
    }
    m_buffer.resize(kBlock);
    if (encoding == Encoding::Utf16) {
        m_buffer[0] = char(0xFF);
        m_buffer[1] = char(0xFE);
        m_used = 2;
    }
}

// A stream that was never closed discards its temporary file here (QSaveFile's
// destructor does that), so the target keeps its earlier content.
SaveFileStream::~SaveFileStream() = default;

void SaveFileStream::WriteLine(QStringView text) {
    const qsizetype needed = m_encoder.requiredSpace(text.size() + 2);
    if (m_used + needed > m_buffer.size()) {
        writeOut();
        if (needed > m_buffer.size()) {
            m_buffer.resize(needed);
        }
    }
    char* out = m_buffer.data() + m_used;
    out = m_encoder.appendToBuffer(out, text);
    out = m_encoder.appendToBuffer(out, u"\r\n");
    m_used = out - m_buffer.data();
    if (m_used >= kBlock / 2) {
        writeOut();
    }
}

void SaveFileStream::writeOut() {
    if (m_used == 0) {
        return;
    }
    if (m_file.write(m_buffer.constData(), m_used) != m_used) {
        throw FsError(m_path, m_file.errorString());
    }
    m_used = 0;
}

void SaveFileStream::Close() {
    writeOut();
    if (!m_file.commit()) {
        throw FsError(m_path, m_file.errorString());
    }
}

}  // namespace fsservice
