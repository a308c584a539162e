#include <gtest/gtest.h>

#include "app/popup_placement.h"

namespace zonkle {
namespace {

TEST(PopupPlacementTest, placesThePanelRightBelowTheAnchorAndOnTheScreen) {
    const QRect screen(0, 0, 1024, 768);
    const struct {
        QRect anchor, screen, expected;
    } cases[] = {
        {{1001, 1, 22, 22}, screen, {774, 27, 250, 200}},                        // top-right icon
        {{900, 744, 24, 24}, screen, {774, 540, 250, 200}},                      // bottom panel: above
        {{300, 300, 0, 0}, screen, {175, 304, 250, 200}},                        // the pointer
        {{-30, -768, 22, 22}, {-1280, -768, 1280, 768}, {-250, -742, 250, 200}}, // screen up left
        {{600, 4, 22, 22}, {0, 30, 1024, 738}, {486, 30, 250, 200}},             // reserved strip
        {{100, 100, 22, 22}, {0, 0, 800, 250}, {0, 50, 250, 200}},               // short screen
    };
    for (const auto& c : cases) {
        const QRect placed = popupGeometry({250, 200}, c.anchor, c.screen);
        EXPECT_EQ(placed, c.expected) << placed.x() << "," << placed.y();
        EXPECT_TRUE(c.screen.contains(placed));
    }
}

} // namespace
} // namespace zonkle
