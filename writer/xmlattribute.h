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

}  // namespace writer
