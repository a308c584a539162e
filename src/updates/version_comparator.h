#pragma once

#include <compare>

#include <QString>

namespace zonkle {

// The order of appcast versions. Both sides are split into runs of digits, runs of letters
// and separators; digit runs compare as numbers (1.10 > 1.9), letter runs alphabetically
// without regard to case, separators only divide. Missing trailing numbers count as zero
// ("1.0" equals "1.0.0"), and a letter run where the other side has ended or goes on with a
// number marks a pre-release (1.0b2 < 1.0 < 1.0.1). Everything from the first '-' on is ignored.
class VersionComparator final {
public:
    static std::weak_ordering compare(const QString& left, const QString& right);
};

} // namespace zonkle
