#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "ui/switch_button.h"

namespace zonkle {
namespace {

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

} // namespace
} // namespace zonkle
