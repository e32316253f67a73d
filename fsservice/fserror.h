#pragma once

#include <QString>

#include <exception>

namespace fsservice {

/// A file-system operation that could not do its work.
///
/// Carries the path the operation was given and the system's own reason, so the
/// message the user sees names both: "/home/ann/jukebox/xml/: Permission denied".
/// Every operation of the service throws this and nothing else for file-system
/// failures; the Start command catches it once and ends the run there.
class FsError final : public std::exception {
public:
    FsError(QString path, QString reason);

    /// Failure of a system call; `errorCode` is an errno (or GetLastError on Windows).
    static FsError fromSystem(const QString& path, int errorCode);

    const QString& path() const noexcept { return m_path; }
    const QString& reason() const noexcept { return m_reason; }
    /// "path: reason"
    QString message() const;

    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_path;
    QString m_reason;
    QByteArray m_what;
};

}  // namespace fsservice
