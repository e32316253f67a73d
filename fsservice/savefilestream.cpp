#include "savefilestream.h"

#include "fserror.h"

#ifdef Q_OS_WIN
#include "paths.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

#include <windows.h>

#include <io.h>
#endif

namespace fsservice {
namespace {

constexpr qsizetype kBlock = 256 * 1024;

#ifdef Q_OS_WIN
// A name beside the target, as QSaveFile makes its own: "NAME.xml.AbCdEf".
QString temporaryName(const QString& path) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    QString name = path + u'.';
    for (int i = 0; i < 6; ++i) {
        name += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(52)]);
    }
    return name;
}

// How Windows says that another program holds the target open without
// letting others delete or rename it. Any other failure is final at once.
bool isHeldByAnother(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

// Puts the finished file `from` in place of `to`. Scanners hold a file for tens
// to hundreds of milliseconds, so the pauses start short and grow, 5 s in all.
void replaceHeldFile(const QString& from, const QString& to) {
    constexpr int kFirstPause = 10;
    constexpr int kLongestPause = 1000;
    constexpr int kAllPauses = 5000;
    // A playlist folder at a drive root doubles its separator (T:\\xml\),
    // which the \\?\ form would not forgive.
    const QString source = longPath(QDir::cleanPath(QFileInfo(from).absoluteFilePath()));
    const QString target = longPath(QDir::cleanPath(QFileInfo(to).absoluteFilePath()));
    int paused = 0;
    int pause = kFirstPause;
    for (;;) {
        if (::MoveFileExW(reinterpret_cast<const wchar_t*>(source.utf16()),
                          reinterpret_cast<const wchar_t*>(target.utf16()),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return;
        }
        const DWORD error = ::GetLastError();
        if (!isHeldByAnother(error) || paused >= kAllPauses) {
            throw FsError::fromSystem(to, int(error));
        }
        pause = std::min(pause, kAllPauses - paused);
        QThread::msleep(pause);
        paused += pause;
        pause = std::min(pause * 2, kLongestPause);
    }
}
#endif

}  // namespace

SaveFileStream::SaveFileStream(const QString& path, Encoding encoding)
    : m_path(path),
#ifndef Q_OS_WIN
      m_file(path),
#endif
      m_encoder(encoding == Encoding::Utf16 ? QStringConverter::Utf16LE
                                            : QStringConverter::System) {
#ifdef Q_OS_WIN
    // Made new, so that no other run's temporary file is ever taken over; a
    // name taken already is the only failure worth another name.
    bool opened = false;
    for (int attempt = 0; attempt < 16 && !opened; ++attempt) {
        m_file.setFileName(temporaryName(path));
        opened = m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        if (!opened && !m_file.exists()) {
            break;
        }
    }
#else
    const bool opened = m_file.open(QIODevice::WriteOnly);
#endif
    if (!opened) {
        throw FsError(path, m_file.errorString());
    }
    m_buffer.resize(kBlock);
    if (encoding == Encoding::Utf16) {
        m_buffer[0] = char(0xFF);
        m_buffer[1] = char(0xFE);
        m_used = 2;
    }
}

// A stream that was never closed, or whose Close failed, discards its temporary
// file here (on Linux QSaveFile's destructor does that), so the target keeps
// its earlier content.
SaveFileStream::~SaveFileStream() {
#ifdef Q_OS_WIN
    if (!m_placed) {
        m_file.close();
        m_file.remove();
    }
#endif
}

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
#ifdef Q_OS_WIN
    if (!m_file.flush()) {
        throw FsError(m_path, m_file.errorString());
    }
    // On the disk before it replaces the target, as QSaveFile does; a disk that
    // cannot say so (some network shares) is no reason to fail, as there.
    ::FlushFileBuffers(HANDLE(::_get_osfhandle(m_file.handle())));
    m_file.close();
    replaceHeldFile(m_file.fileName(), m_path);
    // Gone from its temporary name; nothing there for the destructor to remove.
    m_placed = true;
#else
    if (!m_file.commit()) {
        throw FsError(m_path, m_file.errorString());
    }
#endif
}

}  // namespace fsservice
