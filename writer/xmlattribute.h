#pragma once

#include <QString>

namespace writer {

/// Appends `raw` to `out` as the value of a double-quoted XML attribute:
/// & < > " become entity references, tab, LF and CR become character references
/// (so a parser hands them back instead of normalising them to spaces), and the
/// characters XML 1.0 cannot hold at all (other C0 controls, lone surrogates,
/// U+FFFE, U+FFFF) become U+FFFD.
///
///     appendAttribute(out, u"Rock & Roll")  // appends "Rock &amp; Roll"
void appendAttribute(QString& out, QStringView raw);

/// The most units the escaped form of `rawSize` units can take: each may
/// become "&quot;".
constexpr qsizetype maxAttributeSize(qsizetype rawSize) {
    return 6 * rawSize;
}

/// appendAttribute for the hot path: writes the escaped `raw` at `out`, which
/// has room for maxAttributeSize(raw.size()) units, and returns the end.
char16_t* writeAttribute(char16_t* out, QStringView raw) noexcept;

}  // namespace writer
