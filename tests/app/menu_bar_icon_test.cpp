#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRect>

#include "app/menu_bar_icon.h"

namespace zonkle {
namespace {

// The pixels that are at least half covered, in logical pixels of the image.
QRect coveredArea(const QImage& image) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() >= 128) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

struct SlotCase {
    int slot;
    qreal pixelRatio;
    int expectedSpan; // device pixels across: the image is wider than tall
};

class MenuBarIconSlotTest : public ::testing::TestWithParam<SlotCase> {};

TEST_P(MenuBarIconSlotTest, fitsTheImageIntoAtMostEighteenPointsCentredInTheSlot) {
    const SlotCase& c = GetParam();
    const QColor colour(200, 30, 60);
    const QIcon icon = menuBarIcon(colour);
    ASSERT_FALSE(icon.isNull());

    const QImage image =
        icon.pixmap(QSize(c.slot, c.slot), c.pixelRatio).toImage().convertToFormat(QImage::Format_ARGB32);
    const int deviceSlot = qRound(c.slot * c.pixelRatio);
    ASSERT_EQ(image.size(), QSize(deviceSlot, deviceSlot));

    const QRect area = coveredArea(image);
    EXPECT_NEAR(area.width(), c.expectedSpan, 1);
    EXPECT_LT(area.height(), area.width()) << "proportions kept";
    EXPECT_NEAR(area.center().x(), deviceSlot / 2.0, 1.5) << "centred across";
    EXPECT_NEAR(area.center().y(), deviceSlot / 2.0, 2.5) << "centred down";
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255) {
                ASSERT_EQ(pixel.rgb(), colour.rgb()) << "at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Slots, MenuBarIconSlotTest,
                         ::testing::Values(SlotCase{18, 1.0, 18}, SlotCase{24, 1.0, 18}, SlotCase{32, 1.0, 18},
                                           SlotCase{24, 2.0, 36}, SlotCase{16, 1.0, 16}));

TEST(MenuBarIconTest, isATemplatePaintedCentredInTheRectangleItIsGiven) {
    EXPECT_TRUE(menuBarIcon(Qt::black).isMask());
    QImage canvas(40, 30, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        menuBarIcon(Qt::black).paint(&painter, QRect(10, 5, 24, 24));
    }
    const QRect area = coveredArea(canvas);
    EXPECT_TRUE(QRect(13, 8, 18, 18).contains(area)) << area.x() << "," << area.y() << " " << area.width();
    EXPECT_NEAR(area.width(), 18, 1);
}

} // namespace
} // namespace zonkle
