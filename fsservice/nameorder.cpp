#include "nameorder.h"

#include <QChar>

#include <algorithm>

namespace fsservice {
namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

char16_t folded(char16_t c) {
    // Almost every name in a music library is ASCII: fold that without the
    // Unicode tables, which QChar::toCaseFolded looks up for every unit.
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    }
    return QChar::toCaseFolded(c);
}

// Compares the digit runs a[ia..ea) and b[ib..eb) by value.
int compareDigitRuns(QStringView a, qsizetype ia, qsizetype ea, QStringView b, qsizetype ib,
                     qsizetype eb) {
    const qsizetype runA = ea - ia;
    const qsizetype runB = eb - ib;
    while (ia < ea && a[ia] == u'0') {
        ++ia;
    }
    while (ib < eb && b[ib] == u'0') {
        ++ib;
    }
    // Without leading zeros, the longer number is the greater one.
    if (ea - ia != eb - ib) {
        return (ea - ia) < (eb - ib) ? -1 : 1;
    }
    for (; ia < ea; ++ia, ++ib) {
        if (a[ia] != b[ib]) {
            return a[ia] < b[ib] ? -1 : 1;
        }
    }
    if (runA != runB) {
        return runA < runB ? -1 : 1;
    }
    return 0;
}

}  // namespace

int compareNames(QStringView a, QStringView b) noexcept {
    // A sort spends most of its comparisons on near neighbours, which share a
    // long beginning: pass over the units both names share exactly, then step
    // back to the start of a run of digits cut there, which compares whole.
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype same = 0;
    while (same < shorter && a[same] == b[same]) {
        ++same;
    }
    while (same > 0 && isDigit(a[same - 1].unicode())) {
        --same;
    }
    qsizetype i = same;
    qsizetype j = same;
    while (i < a.size() && j < b.size()) {
        const char16_t ca = a[i].unicode();
        const char16_t cb = b[j].unicode();
        if (isDigit(ca) && isDigit(cb)) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && isDigit(a[ei].unicode())) {
                ++ei;
            }
            while (ej < b.size() && isDigit(b[ej].unicode())) {
                ++ej;
            }
            if (const int order = compareDigitRuns(a, i, ei, b, j, ej)) {
                return order;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (ca != cb) {
            const char16_t fa = folded(ca);
            const char16_t fb = folded(cb);
            if (fa != fb) {
                return fa < fb ? -1 : 1;
            }
        }
        ++i;
        ++j;
    }
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    if (aLeft != bLeft) {
        return aLeft ? 1 : -1;
    }
    return a.compare(b, Qt::CaseSensitive);
}

}  // namespace fsservice
