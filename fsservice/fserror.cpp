#include "fserror.h"

namespace fsservice {

FsError::FsError(QString path, QString reason)
    : m_path(std::move(path)), m_reason(std::move(reason)), m_what(message().toUtf8()) {}

FsError FsError::fromSystem(const QString& path, int errorCode) {
    return FsError(path, qt_error_string(errorCode));
}

QString FsError::message() const {
    return m_path + QStringLiteral(": ") + m_reason;
}

}  // namespace fsservice
