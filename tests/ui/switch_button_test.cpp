#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "ui/switch_button.h"

namespace zonkle {
namespace {

// The colour at a fraction of the switch's width, on its middle line.
QColor colourAt(SwitchButton& button, double fraction) {
    const QImage image = button.grab().toImage();
    return image.pixelColor(int(image.width() * fraction), image.height() / 2);
}

TEST(SwitchButtonTest, clickAndSpaceToggleItReportingEachChangeOnce) {
    SwitchButton button;
    button.show();
    QSignalSpy toggled(&button, &SwitchButton::toggled);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.isChecked());
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_FALSE(button.isChecked());

    ASSERT_EQ(toggled.count(), 2);
    EXPECT_TRUE(toggled.at(0).at(0).toBool());
    EXPECT_FALSE(toggled.at(1).at(0).toBool());
}

TEST(SwitchButtonTest, disabledSwitchIgnoresClicks) {
    SwitchButton button;
    button.setEnabled(false);
    button.show();

    QTest::mouseClick(&button, Qt::LeftButton);

    EXPECT_FALSE(button.isChecked());
}

TEST(SwitchButtonTest, knobSitsLeftWhenOffAndRightOnAnAccentTrackWhenOn) {
    SwitchButton button;
    button.resize(button.sizeHint());
    const QColor accent = button.palette().color(QPalette::Highlight);

    EXPECT_EQ(colourAt(button, 0.3), QColor(Qt::white)) << "knob on the left";
    EXPECT_NE(colourAt(button, 0.75), QColor(Qt::white));
    EXPECT_NE(colourAt(button, 0.75), accent);

    button.setChecked(true);

    EXPECT_EQ(colourAt(button, 0.7), QColor(Qt::white)) << "knob on the right";
    EXPECT_EQ(colourAt(button, 0.2).rgb(), accent.rgb());
}

} // namespace
} // namespace zonkle
