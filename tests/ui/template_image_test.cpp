#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSvgRenderer>

#include "ui/template_image.h"

namespace zonkle {
namespace {

// A picture of the given size in two colours, filling its whole view box.
QByteArray twoColourSvg(int width, int height) {
    return QStringLiteral(R"(<svg xmlns="http://www.w3.org/2000/svg" width="%1" height="%2" viewBox="0 0 %1 %2">)"
                          R"(<rect x="0" y="0" width="%1" height="%2" fill="#ff0000"/>)"
                          R"(<rect x="0" y="0" width="%3" height="%2" fill="#0000ff"/></svg>)")
        .arg(width)
        .arg(height)
        .arg(width / 2)
        .toUtf8();
}

// The pixels that are at least half covered.
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

struct FitCase {
    int width;
    int height;
    qreal pixelRatio;
    QRect expectedArea; // in device pixels
};

class TemplateImageFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(TemplateImageFitTest, fitsIntoTheBoxKeepingProportionsCentredInOneColour) {
    const FitCase& c = GetParam();
    QSvgRenderer renderer(twoColourSvg(c.width, c.height));
    ASSERT_TRUE(renderer.isValid());
    const QColor colour(40, 80, 120);

    const QImage image =
        renderTemplateImage(renderer, QSize(18, 18), colour, c.pixelRatio).convertToFormat(QImage::Format_ARGB32);

    EXPECT_EQ(image.size(), QSize(18, 18) * c.pixelRatio);
    EXPECT_EQ(image.devicePixelRatio(), c.pixelRatio);
    EXPECT_EQ(coveredArea(image), c.expectedArea);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255) {
                ASSERT_EQ(pixel.rgb(), colour.rgb()) << "at " << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TemplateImageFitTest,
                         ::testing::Values(FitCase{18, 18, 1.0, QRect(0, 0, 18, 18)},
                                           // Wide: full width, a third of the height, in the middle.
                                           FitCase{36, 12, 1.0, QRect(0, 6, 18, 6)},
                                           FitCase{36, 12, 2.0, QRect(0, 12, 36, 12)},
                                           // Tall: full height, centred across.
                                           FitCase{12, 18, 1.0, QRect(3, 0, 12, 18)},
                                           // Small images are enlarged to fill the box.
                                           FitCase{4, 4, 1.0, QRect(0, 0, 18, 18)},
                                           FitCase{4, 4, 2.0, QRect(0, 0, 36, 36)}));

TEST(TemplateImageTest, panelSymbolsAreBuiltIn) {
    for (const char* path : {":/zonkle/symbols/update.svg", ":/zonkle/symbols/power.svg"}) {
        const QIcon icon = templateIcon(QString::fromLatin1(path), QSize(12, 12), Qt::black);
        ASSERT_FALSE(icon.isNull()) << path;
        EXPECT_FALSE(coveredArea(icon.pixmap(QSize(12, 12)).toImage()).isNull()) << path;
    }
}

} // namespace
} // namespace zonkle
