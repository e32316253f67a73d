#include "nameorder.h"

#include <QChar>

#include <algorithm>
#include <cstdint>
#include <cstring>

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

// How many units at the start `a` and `b` share exactly, stepped back to the
// start of a run of digits cut there, which compares whole. A sort spends most
// of its comparisons on near neighbours, which share a long beginning: they
// are passed over four units at a time.
qsizetype sharedStart(QStringView a, QStringView b) noexcept {
    const char16_t* const pa = a.utf16();
    const char16_t* const pb = b.utf16();
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype same = 0;
    while (same + 4 <= shorter) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, pa + same, sizeof x);
        std::memcpy(&y, pb + same, sizeof y);
        if (x != y) {
            break;
        }
        same += 4;
    }
    while (same < shorter && pa[same] == pb[same]) {
        ++same;
    }
    while (same > 0 && isDigit(pa[same - 1])) {
        --same;
    }
    return same;
}

}  // namespace

int compareNames(QStringView a, QStringView b) noexcept {
    const char16_t* const pa = a.utf16();
    const char16_t* const pb = b.utf16();
    const qsizetype na = a.size();
    const qsizetype nb = b.size();
    const qsizetype same = sharedStart(a, b);
    qsizetype i = same;
    qsizetype j = same;
    while (i < na && j < nb) {
        const char16_t ca = pa[i];
        const char16_t cb = pb[j];
        if (isDigit(ca) && isDigit(cb)) {
            qsizetype ei = i + 1;
            qsizetype ej = j + 1;
            while (ei < na && isDigit(pa[ei])) {
                ++ei;
            }
            while (ej < nb && isDigit(pb[ej])) {
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
    const bool aLeft = i < na;
    const bool bLeft = j < nb;
    if (aLeft != bLeft) {
        return aLeft ? 1 : -1;
    }
    return a.compare(b, Qt::CaseSensitive);
}

}  // namespace fsservice
