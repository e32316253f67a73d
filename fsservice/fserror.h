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
    FsError(QString path, QString reason, bool accessDenied = false);

    /// Failure of a system call; `errorCode` is an errno, and on Windows a
    /// GetLastError code, never an errno: each is read by its own system.
    /// EACCES and EPERM (ERROR_ACCESS_DENIED on Windows) count as access denied.
    static FsError fromSystem(const QString& path, int errorCode);

    const QString& path() const noexcept { return m_path; }
    const QString& reason() const noexcept { return m_reason; }
    /// The system refused for lack of permission: the folder is there, but this
    /// user may not open or list it (a "lost+found", a "System Volume Information").
    bool accessDenied() const noexcept { return m_accessDenied; }
    /// "path: reason"
    QString message() const;

    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_path;
    QString m_reason;
    bool m_accessDenied;
    QByteArray m_what;
};

}  // namespace fsservice
