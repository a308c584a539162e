#include <gtest/gtest.h>

#include "updates/version_comparator.h"

namespace zonkle {
namespace {

struct Ordered {
    const char* older;
    const char* newer;
};

// Each row is checked both ways round, so an order that says "newer" for everything fails.
const Ordered orderedPairs[] = {
    {"1.0", "1.1"},      {"1.9", "1.10"},  // numbers, not text
    {"1.0", "1.0.1"},    {"1.0b2", "1.0"}, // a trailing letter part is a pre-release
    {"1.0rc", "1.0"},    {"1.0rc1", "1.0"},
    {"1.0b9", "1.0b10"}, {"1.0a", "1.0b"},
    {"1.0b5", "1.0rc1"}, {"1.0rc2", "1.0.1"},
    {"1.0b2", "1.0.0"},  {"9", "10"},
    {"2.0", "10.0"},     {"99999999999999999999", "100000000000000000000"}, // wider than any integer type
    {"0.1.0", "0.2"},    {"1.0-beta", "1.1"},
};

TEST(VersionComparator, ordersVersionsAsPeopleExpect) {
    for (const auto& [older, newer] : orderedPairs) {
        SCOPED_TRACE(std::string(older) + " < " + newer);
        EXPECT_TRUE(VersionComparator::compare(QString::fromLatin1(older), QString::fromLatin1(newer)) < 0);
        EXPECT_TRUE(VersionComparator::compare(QString::fromLatin1(newer), QString::fromLatin1(older)) > 0);
    }
}

const Ordered equalPairs[] = {
    {"1.0", "1.0"},       {"1.0", "1.0.0"},    {"1", "1.0.0.0"},
    {"1.01", "1.1"},      {"1.0_1", "1.0.1"},  // any separator divides
    {"1.0RC1", "1.0rc1"}, {"1.2-beta", "1.2"}, // everything after the first dash is ignored
    {"1.2-3-4", "1.2"},   {"1.2-", "1.2"},
};

TEST(VersionComparator, treatsSpellingsOfOneVersionAsEqual) {
    for (const auto& [left, right] : equalPairs) {
        SCOPED_TRACE(std::string(left) + " == " + right);
        EXPECT_TRUE(VersionComparator::compare(QString::fromLatin1(left), QString::fromLatin1(right)) == 0);
        EXPECT_TRUE(VersionComparator::compare(QString::fromLatin1(right), QString::fromLatin1(left)) == 0);
    }
}

} // namespace
} // namespace zonkle
