#include "fserror.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#endif

namespace fsservice {

FsError::FsError(QString path, QString reason, bool accessDenied)
    : m_path(std::move(path)),
      m_reason(std::move(reason)),
      m_accessDenied(accessDenied),
      m_what(message().toUtf8()) {}

FsError FsError::fromSystem(const QString& path, int errorCode) {
#ifdef Q_OS_WIN
    const bool denied = errorCode == ERROR_ACCESS_DENIED;
#else
    const bool denied = errorCode == EACCES || errorCode == EPERM;
#endif
    return FsError(path, qt_error_string(errorCode), denied);
}

QString FsError::message() const {
    return m_path + QStringLiteral(": ") + m_reason;
}

}  // namespace fsservice
