#include "xmlattribute.h"

namespace writer {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool needsWork(char16_t c) {
    return c < 0x20 || c == u'&' || c == u'<' || c == u'>' || c == u'"' ||
           (c >= 0xD800 && c <= 0xDFFF) || c >= 0xFFFE;
}

}  // namespace

void appendAttribute(QString& out, QStringView raw) {
    qsizetype clean = 0;
    while (clean < raw.size() && !needsWork(raw[clean].unicode())) {
        ++clean;
    }
    out.append(raw.left(clean));
    for (qsizetype i = clean; i < raw.size(); ++i) {
        const char16_t c = raw[i].unicode();
        switch (c) {
            case u'&':
                out.append(u"&amp;");
                continue;
            case u'<':
                out.append(u"&lt;");
                continue;
            case u'>':
                out.append(u"&gt;");
                continue;
            case u'"':
                out.append(u"&quot;");
                continue;
            case u'\t':
                out.append(u"&#9;");
                continue;
            case u'\n':
                out.append(u"&#10;");
                continue;
            case u'\r':
                out.append(u"&#13;");
                continue;
            default:
                break;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < raw.size() &&
            QChar::isLowSurrogate(raw[i + 1].unicode())) {
            out.append(raw.mid(i, 2));
            ++i;
        } else if (c < 0x20 || QChar::isSurrogate(c) || c >= 0xFFFE) {
            out.append(QChar(kReplacement));
        } else {
            out.append(QChar(c));
        }
    }
}

}  // namespace writer
