#include "playlistxml.h"

#include <QXmlStreamReader>

QStringList xmlOutline(const QByteArray& bytes) {
    QStringList outline;
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        QString line = reader.name().toString();
        for (const QXmlStreamAttribute& attribute : reader.attributes()) {
            line += u' ' + attribute.name().toString() + QStringLiteral("=[") +
                    attribute.value().toString() + u']';
        }
        outline << line;
    }
    if (reader.hasError()) {
        outline << QStringLiteral("error: ") + reader.errorString();
    }
    return outline;
}

QByteArray utf16Lines(const QStringList& lines) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QString& line : lines) {
        for (const QChar c : line + QStringLiteral("\r\n")) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
    }
    return bytes;
}

QByteArray utf8Lines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8() + "\r\n";
    }
    return bytes;
}
