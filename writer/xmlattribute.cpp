#include "xmlattribute.h"

namespace writer {
namespace {

// Nearly every unit of a name: printable, no markup, not a surrogate.
bool standsAsItIs(char16_t c) {
    return c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>' && c != u'"';
}

// What a unit that cannot stand in an attribute value becomes.
QStringView escaped(char16_t c) {
    switch (c) {
        case u'&':
            return u"&amp;";
        case u'<':
            return u"&lt;";
        case u'>':
            return u"&gt;";
        case u'"':
            return u"&quot;";
        case u'\t':
            return u"&#9;";
        case u'\n':
            return u"&#10;";
        case u'\r':
            return u"&#13;";
        default:
            return u"\uFFFD";
    }
}

}  // namespace

void appendAttribute(QString& out, QStringView raw) {
    // Units that stand as they are go in runs, usually the whole name in one.
    qsizetype run = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i].unicode();
        if (standsAsItIs(c) || (c >= 0xE000 && c < 0xFFFE)) {
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < raw.size() &&
            QChar::isLowSurrogate(raw[i + 1].unicode())) {
            ++i;
            continue;
        }
        out.append(raw.mid(run, i - run));
        out.append(escaped(c));
        run = i + 1;
    }
    out.append(raw.mid(run));
}

}  // namespace writer
