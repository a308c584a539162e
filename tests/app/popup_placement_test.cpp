#include <gtest/gtest.h>
#include <ostream>

#include <QRect>
#include <QSize>

#include "app/popup_placement.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.width() << "x" << r.height() << "+" << r.x() << "+" << r.y();
}
QT_END_NAMESPACE

namespace zonkle {
namespace {

struct PlacementCase {
    const char* name;
    QRect anchor;
    QRect screen;
    QRect expected;
};

void PrintTo(const PlacementCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr QSize panel{250, 200};
const QRect screen1024{0, 0, 1024, 768};

class PopupPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopupPlacementTest, placesThePanelRightBelowTheAnchorAndOnTheScreen) {
    const PlacementCase& c = GetParam();
    const QRect placed = popupGeometry(panel, c.anchor, c.screen);
    EXPECT_EQ(placed, c.expected);
    EXPECT_TRUE(c.screen.contains(placed)) << "off screen";
}

INSTANTIATE_TEST_SUITE_P(
    Anchors, PopupPlacementTest,
    ::testing::Values(
        // Icon at the right end of a top bar: pushed left to the screen's edge, still below.
        PlacementCase{"topRightCorner", QRect(1001, 1, 22, 22), screen1024, QRect(774, 27, 250, 200)},
        // Icon in a bottom panel: no room below, so above it.
        PlacementCase{"bottomPanel", QRect(900, 744, 24, 24), screen1024, QRect(774, 540, 250, 200)},
        // The pointer, where the icon's place is unknown: an empty anchor.
        PlacementCase{"pointer", QRect(QPoint(300, 300), QSize(0, 0)), screen1024, QRect(175, 304, 250, 200)},
        // A second screen left of and above the primary one.
        PlacementCase{"screenWithNegativeOrigin", QRect(-30, -768, 22, 22), QRect(-1280, -768, 1280, 768),
                      QRect(-250, -742, 250, 200)},
        // A usable area smaller than the screen (a top panel of 30 reserved).
        PlacementCase{"iconInsideReservedStrip", QRect(600, 4, 22, 22), QRect(0, 30, 1024, 738),
                      QRect(486, 30, 250, 200)},
        // Too little room above and below: as low as fits.
        PlacementCase{"shortScreen", QRect(100, 100, 22, 22), QRect(0, 0, 800, 250), QRect(0, 50, 250, 200)}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace zonkle
