#pragma once

#include <compare>

#include <QString>

namespace zonkle {

// The order of appcast versions, the one the macOS update framework's standard comparator
// uses, so a feed orders the same here as there. A version is cut at its first '-' after the
// first character and split into parts: runs of digits, runs of other characters (letters),
// and single separators (a period, a space, punctuation). The leading run of numbers and
// periods of the shorter version is padded to match the longer ("3.3 (5847)" reads as
// "3.3.0 (5847)"), then the parts are compared in turn: numbers by value, letters
// case-sensitively by code unit, any two separators as equal; a number beats letters and a
// separator, a separator beats letters. Where one version has parts left over, it is newer
// unless the next of them is letters (1.0b < 1.0 < 1.0.1).
//
// Numbers compare exactly at any length, where the framework saturates at 2^63 - 1.
class VersionComparator final {
public:
    static std::weak_ordering compare(const QString& left, const QString& right);
};

} // namespace zonkle
