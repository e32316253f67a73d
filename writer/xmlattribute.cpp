#include "xmlattribute.h"

#include <cstring>

namespace writer {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The most units the escaped form of `rawSize` units can take: each may become
// "&quot;".
constexpr qsizetype maxAttributeSize(qsizetype rawSize) {
    return 6 * rawSize;
}

template <std::size_t N>
char16_t* put(char16_t* out, const char16_t (&text)[N]) {
    std::memcpy(out, text, (N - 1) * sizeof(char16_t));
    return out + N - 1;
}

// Writes the escaped `raw` at `out`, which has room for
// maxAttributeSize(raw.size()) units, and returns the end.
char16_t* writeAttribute(char16_t* out, QStringView raw) noexcept {
    const char16_t* in = raw.utf16();
    const char16_t* const end = in + raw.size();
    while (in < end) {
        const char16_t c = *in++;
        // Nearly every unit of a name: printable, no markup, not a surrogate.
        if (c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>' && c != u'"') {
            *out++ = c;
            continue;
        }
        switch (c) {
            case u'&':
                out = put(out, u"&amp;");
                continue;
            case u'<':
                out = put(out, u"&lt;");
                continue;
            case u'>':
                out = put(out, u"&gt;");
                continue;
            case u'"':
                out = put(out, u"&quot;");
                continue;
            case u'\t':
                out = put(out, u"&#9;");
                continue;
            case u'\n':
                out = put(out, u"&#10;");
                continue;
            case u'\r':
                out = put(out, u"&#13;");
                continue;
            default:
                break;
        }
        if (QChar::isHighSurrogate(c) && in < end && QChar::isLowSurrogate(*in)) {
            *out++ = c;
            *out++ = *in++;
        } else if (c < 0x20 || QChar::isSurrogate(c) || c >= 0xFFFE) {
            *out++ = kReplacement;
        } else {
            *out++ = c;
        }
    }
    return out;
}

}  // namespace

void appendAttribute(QString& out, QStringView raw) {
    const qsizetype before = out.size();
    out.resize(before + maxAttributeSize(raw.size()));
    char16_t* const begin = reinterpret_cast<char16_t*>(out.data());
    out.resize(writeAttribute(begin + before, raw) - begin);
}

}  // namespace writer
