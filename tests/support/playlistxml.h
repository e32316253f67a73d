#pragma once

#include <QByteArray>
#include <QStringList>

/// Parses `bytes` with QXmlStreamReader and gives one line per element, in
/// document order: the element name, then each attribute as name=[value] with
/// the value as the parser hands it back. A parse error adds a last line
/// "error: ..." (and no well-formed document ever has one).
///
///     <album path="a&amp;b" title="x">  gives  "album path=[a&b] title=[x]"
QStringList xmlOutline(const QByteArray& bytes);

/// What a playlist document with these lines must hold, byte for byte: FF FE,
/// then each line in UTF-16LE followed by CR LF. Encoded here by hand, not by
/// the code under test.
QByteArray utf16Lines(const QStringList& lines);

/// Each line in UTF-8 followed by CR LF, no mark.
QByteArray utf8Lines(const QStringList& lines);
