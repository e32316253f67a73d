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

/// True when `name` matches the wildcard `pattern`, whose '*' matches any run of
/// characters; letter case is ignored.
bool matchesWildcard(QStringView name, QStringView pattern);

}  // namespace fsservice
