#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

namespace fsservice {

/// The platform's path separator: '/' on Linux and macOS, '\' on Windows.
/// Every path text the service takes or gives uses it.
QChar separator();

/// Joins a folder's path and a name with one separator, not doubling the one a
/// root path already ends in.
///
///     joinPath(u"/music", u"Rock") == "/music/Rock",  joinPath(u"/", u"Rock") == "/Rock"
QString joinPath(QStringView folderPath, QStringView name);

#ifdef Q_OS_WIN
/// An absolute, clean `path` in Windows' \\?\ form, the only one Windows opens
/// past MAX_PATH (260 units). That form takes the path as it is, without
/// working out "." or ".." or dropping a trailing dot or space, so a name that
/// ends in a dot is then read as the folder holds it.
QString longPath(const QString& path);
#endif

/// True when `name` matches the wildcard `pattern`, whose '*' matches any run of
/// characters; letter case is ignored.
bool matchesWildcard(QStringView name, QStringView pattern);

}  // namespace fsservice
