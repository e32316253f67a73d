#pragma once

#include <QStringView>
#include <QtGlobal>

namespace fsservice {

/// Orders names the way people count, the same on every machine and locale.
///
/// Two names are walked together. Where both have a run of digits 0-9, the runs
/// compare by numeric value, and of two equal values the shorter run comes first
/// ("7" before "07"). Elsewhere one UTF-16 unit is compared with the other after
/// case folding. When that ties, the exact names decide in plain UTF-16 order.
///
///     "Track 2" < "Track 10",  "b" < "C",  "A" < "a"
///
/// Returns a negative number, zero or a positive number, like strcmp.
int compareNames(QStringView a, QStringView b) noexcept;

inline bool nameLess(QStringView a, QStringView b) noexcept {
    return compareNames(a, b) < 0;
}

}  // namespace fsservice
