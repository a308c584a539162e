#include <gtest/gtest.h>

#include <QRegularExpression>

#include "updates/version_comparator.h"

namespace zonkle {
namespace {

// "a < b": a is older; "a = b": the same version; "a > b": a is newer. First every case of
// the macOS update framework's own comparison tests, in its order, then ours.
const char* const cases =
    "1.0 < 1.1, 1.0 = 1.0, 2.0 > 1.1, 0.1 > 0.0.1, 0.1 < 0.1.2, 1.0 = 1.0.0, 1.0.0 = 1.0, "
    "1.5.5-335d3e2 < 1.5.6-b252311, 1.5.5-335d3e2 = 1.5.5-a655360, 1.5.6-b252311 > 1.5.5-335d3e2, "
    "1.5-335d3e2 = 1.5.0-335d3e2, 1.5.0-335d3e2 = 1.5-335d3e2, 1.5.5 < 1.5.6a1, 1.1.0b1 < 1.1.0b2, 1.1.1b2 < 1.1.2b1, "
    "1.1.1b2 < 1.1.2a1, 1.0a1 < 1.0b1, 1.0b1 < 1.0, 0.9 < 1.0a1, 1.0b < 1.0b2, 1.0b10 < 1.0b11, 1.0b9 < 1.0b10, "
    "1.0rc < 1.0, 1.0b < 1.0, 1.0pre1 < 1.0, 1.0pre1 = 1.0.0pre1, 1.0.0pre1 = 1.0pre1, 1.0 (1234) < 1.0 (1235), "
    "1.0b1 (1234) < 1.0 (1234), 1.0b5 (1234) < 1.0b5 (1235), 1.0b5 (1234) < 1.0.1b5 (1234), "
    "1.0.1b5 (1234) < 1.0.1b6 (1234), 2.0.0.2429 < 2.0.0.2430, 1.1.1.1818 < 2.0.0.2430, 3.3 (5847) < 3.3.1b1 (5902), "
    "3.3 (5847) = 3.3.0 (5847), 3.3.0 (5847) = 3.3 (5847), 1.1.1.1818 = 1.1.1.1818.0, 1.1.1.1818.0 = 1.1.1.1818, "
    "3.3b1 (5902) = 3.3.0b1 (5902), 3.3.0b1 (5902) = 3.3b1 (5902), 201210251627 < 201211051041, "
    "201210251627.0 = 201210251627, 201210251627 = 201210251627.0, "
    // Letters compare case-sensitively, capitals first; numbers exactly however long (the
    // framework saturates at 2^63 - 1); any two separators are alike.
    "1.0RC1 < 1.0rc1, 99999999999999999999 < 100000000000000000000, 1.9 < 1.10, 1.0 1234 = 1.0_1234";

TEST(VersionComparator, ordersAsTheUpdateFrameworkDoes) {
    for (const QString& text : QString::fromLatin1(cases).split(QStringLiteral(", "))) {
        SCOPED_TRACE(text.toStdString());
        const QRegularExpressionMatch row = QRegularExpression(QStringLiteral("(.+) ([<=>]) (.+)")).match(text);
        ASSERT_TRUE(row.hasMatch());
        const auto expected = QStringLiteral("<=>").indexOf(row.captured(2)) - 1 <=> 0;
        EXPECT_EQ(VersionComparator::compare(row.captured(1), row.captured(3)), expected);
        EXPECT_EQ(VersionComparator::compare(row.captured(3), row.captured(1)), 0 <=> expected);
    }
}

} // namespace
} // namespace zonkle
