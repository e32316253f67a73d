#pragma once

#include <QByteArray>
#include <QMap>
#include <QStringList>

/// Name (raw on POSIX, UTF-8 on Windows) -> content of every entry directly in
/// `folder` (links and other non-regular entries map to an empty array).
QMap<QByteArray, QByteArray> snapshotFolder(const QString& folder);

/// What is wrong with the bytes of a playlist document, or an empty text: the
/// mark FF FE, UTF-16LE, CR LF after every line and nowhere else, the two
/// opening lines and the closing line exactly, and the whole well-formed.
QString documentProblem(const QByteArray& bytes);

/// The same for the playlist index: text in the 8-bit code page (UTF-8 on
/// POSIX, the ANSI code page on Windows), no mark, CR LF, its fixed lines.
QString indexProblem(const QByteArray& bytes);

/// xmlOutline of the playlist index, read in its 8-bit code page as the
/// jukebox reads it.
QStringList indexOutline(const QByteArray& bytes);

/// `text` as the index holds it: itself on POSIX; on Windows what the system's
/// conversion to the ANSI code page and back makes of it.
QString throughIndexCodePage(const QString& text);

/// The index entries the playlist folder `xml` (ending in a separator) calls for, as
/// indexOutline lines, read from the disk with plain system calls: every
/// regular file that is neither hidden nor a system file whose name matches
/// "*playlist*.xml" in any letter case, the index itself excepted, in
/// referenceNameOrder.
QStringList expectedIndex(const QString& xml);

/// True when `name` matches "*playlist*.xml", letter case ignored.
bool indexPatternMatches(const QString& name);
