#pragma once

#include <QStringView>
#include <QtGlobal>

#include <compare>

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

/// compareNames for two names whose first `from` units are already known to
/// compare equal, case folded, and to end at the same place in the order (a
/// place nameOrderKey's `resume` gave for both): the walk starts there, and
/// only the final tie looks at the whole names.
int compareNames(QStringView a, QStringView b, qsizetype from) noexcept;

inline bool nameLess(QStringView a, QStringView b) noexcept {
    return compareNames(a, b) < 0;
}

/// A cheap stand-in for compareNames when sorting many names: the first part of
/// a name's place in the order (about its first 16 characters), packed into two
/// integers. When two names' keys differ, they order exactly as compareNames
/// orders them; when the keys are equal, compareNames must decide, and it may
/// start at the smaller of the two names' `resume`: the units before it are
/// all in the key.
///
///     nameOrderKey(u"b") < nameOrderKey(u"C")      // as compareNames says
///     nameOrderKey(u"A") == nameOrderKey(u"a")     // compareNames decides
struct NameOrderKey {
    quint64 high = 0;
    quint64 low = 0;
    friend auto operator<=>(const NameOrderKey&, const NameOrderKey&) = default;
};
NameOrderKey nameOrderKey(QStringView name, qsizetype* resume = nullptr) noexcept;

}  // namespace fsservice
