#pragma once

#include <QByteArray>
#include <QMap>
#include <QStringList>

/// Raw name -> content of every entry directly in `folder` (links and other
/// non-regular entries map to an empty array).
QMap<QByteArray, QByteArray> snapshotFolder(const QString& folder);

/// What is wrong with the bytes of a playlist document, or an empty text: the
/// mark FF FE, UTF-16LE, CR LF after every line and nowhere else, the two
/// opening lines and the closing line exactly, and the whole well-formed.
QString documentProblem(const QByteArray& bytes);

/// The same for the playlist index: valid UTF-8, no mark, CR LF, its fixed lines.
QString indexProblem(const QByteArray& bytes);

/// The index entries the playlist folder `xml` (ending in '/') calls for, as
/// xmlOutline lines, read from the disk with plain POSIX calls: every regular,
/// non-hidden file whose name matches "*playlist*.xml" in any letter case, the
/// index itself excepted, in referenceNameOrder.
QStringList expectedIndex(const QString& xml);

/// True when `name` matches "*playlist*.xml", letter case ignored.
bool indexPatternMatches(const QString& name);
