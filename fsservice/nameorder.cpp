#include "nameorder.h"

#include <QChar>

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
    return compareNames(a, b, 0);
}

int compareNames(QStringView a, QStringView b, qsizetype from) noexcept {
    qsizetype i = from;
    qsizetype j = from;
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

// The key is the name rewritten as bytes that compare, as plain unsigned bytes,
// the way compareNames compares the name, cut after 16 bytes and padded with
// zeros (a name that ends sorts before any longer one, as in compareNames):
//  - a unit that is not a digit: its case-folded value when that is ASCII;
//  - a run of digits: one byte for the length L of its value without leading
//    zeros ('0' + L up to 8, else '9' and then L), the L digits, and the run's
//    length (equal values: shorter run first). Its first byte lies within
//    '0'..'9', so against a unit that is not a digit it compares as any digit
//    would;
//  - anything the bytes cannot carry (a unit folding outside ASCII, a length
//    past 254) ends the key with 0xFF: greater than every byte it can stand
//    against, and where both keys end that way they tie and compareNames decides.
NameOrderKey nameOrderKey(QStringView name, qsizetype* resume) noexcept {
    unsigned char bytes[16] = {};
    int filled = 0;
    const auto put = [&](unsigned value) {
        bytes[filled++] = static_cast<unsigned char>(value);
        return filled < int(sizeof bytes);
    };
    const qsizetype size = name.size();
    qsizetype i = 0;
    qsizetype whole = 0;  // units the key holds completely
    while (i < size) {
        whole = i;
        const char16_t c = name[i].unicode();
        if (!isDigit(c)) {
            const char16_t f = folded(c);
            if (f >= 0x80) {
                put(0xFF);
                break;
            }
            if (!put(f)) {
                break;
            }
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < size && isDigit(name[end].unicode())) {
            ++end;
        }
        qsizetype first = i;
        while (first < end && name[first] == u'0') {
            ++first;
        }
        const qsizetype value = end - first;
        const qsizetype run = end - i;
        bool room = value <= 8 ? put(u'0' + value) : put(u'9') && put(value < 255 ? value : 0xFF);
        if (!room || value >= 255) {
            break;
        }
        for (qsizetype d = first; d < end && room; ++d) {
            room = put(name[d].unicode());
        }
        if (!room || !put(run < 255 ? run : 0xFF) || run >= 255) {
            break;
        }
        i = end;
    }
    if (i == size) {
        whole = size;
    }
    if (resume) {
        *resume = whole;
    }
    NameOrderKey key;
    for (int b = 0; b < 8; ++b) {
        key.high = (key.high << 8) | bytes[b];
        key.low = (key.low << 8) | bytes[b + 8];
    }
    return key;
}

}  // namespace fsservice
