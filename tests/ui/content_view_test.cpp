#include <gtest/gtest.h>
#include <memory>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "panel_doubles.h"
#include "state/menu_bar_view_model.h"
#include "state/settings_store.h"
#include "ui/content_view.h"
#include "ui/plain_button.h"
#include "ui/switch_button.h"
#include "ui/translations.h"
#include "ui/tray_menu.h"
#include "updates/updater_service.h"

namespace zonkle {
namespace {

OutboundCommand config(double sensitivity, const std::string& sound, bool paused) {
    return {"config", sensitivity, sound, paused};
}

// The panel and the tray menu on a recording client and a fake updater, with the settings in a
// file of their own; the view model is made first, as the application does.
class ContentViewTest : public ::testing::Test {
protected:
    void build(bool canCheckForUpdates = false) {
        QSettings settings(dir.filePath(QStringLiteral("zonkle.conf")), QSettings::IniFormat);
        store = std::make_unique<SettingsStore>(
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("zonkle.conf")), QSettings::IniFormat));
        auto controller = std::make_unique<test::FakeUpdaterController>(canCheckForUpdates);
        updater = controller.get();
        updaterService = std::make_unique<UpdaterService>(std::move(controller));
        viewModel = std::make_unique<MenuBarViewModel>(client, SettingsStore::readDirect(settings), [](auto) {});
        panel = std::make_unique<ContentView>(*updaterService, *viewModel, *store);
        menu = std::make_unique<TrayMenu>(*updaterService, *store);
    }
    // Pushes since the view model's own start-up push.
    std::vector<OutboundCommand> pushes() const { return {client->sent.begin() + 1, client->sent.end()}; }
    template <typename T> T* child(const char* name) const { return panel->findChild<T*>(QString::fromLatin1(name)); }
    QAction* item(const char* name) const { return menu->findChild<QAction*>(QString::fromLatin1(name)); }
    QString status() const { return child<QLabel>("statusText")->text(); }

    QTemporaryDir dir;
    std::shared_ptr<test::RecordingDaemonClient> client = std::make_shared<test::RecordingDaemonClient>();
    std::unique_ptr<SettingsStore> store;
    test::FakeUpdaterController* updater = nullptr;
    std::unique_ptr<UpdaterService> updaterService;
    std::unique_ptr<MenuBarViewModel> viewModel;
    std::unique_ptr<ContentView> panel;
    std::unique_ptr<TrayMenu> menu;
};

TEST_F(ContentViewTest, everyAppearanceShowsAndPushesTheStoredValuesOnce) {
    build();
    EXPECT_TRUE(pushes().empty()) << "constructing the panel pushes nothing";
    for (std::size_t appearance = 1; appearance <= 2; ++appearance) {
        panel->show();
        panel->hide();
        EXPECT_EQ(pushes(), std::vector(appearance, config(0.5, "default", false)));
    }
    EXPECT_EQ(status(), QStringLiteral("Active"));
    EXPECT_EQ(child<QComboBox>("soundPicker")->currentText(), QStringLiteral("default"));
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("0.5"));
    EXPECT_EQ(panel->width(), ContentView::panelWidth);
    EXPECT_FALSE(store->value(QString::fromLatin1(sensitivityKey)).isValid()) << "showing stores nothing";
}

TEST_F(ContentViewTest, switchAndMenuPauseTheSameStoredSettingWithOnePushEach) {
    build();
    store->setValue(QString::fromLatin1(sensitivityKey), 1.3);
    panel->show();
    auto* pauseSwitch = child<SwitchButton>("pauseSwitch");
    QTest::mouseClick(pauseSwitch, Qt::LeftButton);
    EXPECT_EQ(pushes().back(), config(1.3, "default", true));
    EXPECT_EQ(status(), QStringLiteral("Paused"));
    EXPECT_EQ(item("pauseAction")->text(), QStringLiteral("Resume Sensing"));
    item("pauseAction")->trigger();
    EXPECT_FALSE(pauseSwitch->isChecked());
    pauseSwitch->setFocus();
    QTest::keyClick(pauseSwitch, Qt::Key_Space);
    EXPECT_TRUE(store->value(QString::fromLatin1(isPausedKey)).toBool());
    EXPECT_EQ(pushes(),
              (std::vector{config(1.3, "default", false), config(1.3, "default", false), config(1.3, "default", true),
                           config(1.3, "default", false), config(1.3, "default", true)}));
}

TEST_F(ContentViewTest, soundPickerOffersTheNamesVerbatimAndStoresEachChoiceWithOnePush) {
    build();
    panel->show();
    auto* picker = child<QComboBox>("soundPicker");
    ASSERT_EQ(picker->count(), availableSounds().size());
    picker->setFocus();
    for (int i = 1; i < picker->count(); ++i) {
        const std::size_t before = pushes().size();
        QTest::keyClick(picker, Qt::Key_Down);
        EXPECT_EQ(picker->itemText(i), availableSounds().at(i));
        ASSERT_EQ(pushes().size(), before + 1);
        EXPECT_EQ(pushes().back(), config(0.5, availableSounds().at(i).toStdString(), false));
    }
}

TEST_F(ContentViewTest, sliderStoresExactTenthsAndTellsScreenReadersTheShownValue) {
    build();
    panel->show();
    auto* slider = child<QSlider>("sensitivitySlider");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(slider);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    for (int tenths = 1; tenths <= 20; ++tenths) {
        const double value = QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10).toDouble();
        EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), value);
        EXPECT_EQ(pushes().back(), config(value, "default", false));
        EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QString::asprintf("%.1f", value));
        EXPECT_EQ(accessible->text(QAccessible::Value), QString::asprintf("%.1f", value));
        EXPECT_EQ(accessible->valueInterface()->currentValue().toDouble(), value);
        QTest::keyClick(slider, Qt::Key_Right);
    }
    EXPECT_EQ(pushes().size(), 21u) << "the appearance and one push per step";
    // Each control is named by its label.
    for (const char* name : {"pauseSwitch", "soundPicker", "sensitivitySlider"}) {
        const auto labels = QAccessible::queryAccessibleInterface(child<QWidget>(name))->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << name;
        EXPECT_EQ(labels.front().first->text(QAccessible::Name), child<QWidget>(name)->accessibleName());
    }
}

TEST_F(ContentViewTest, storedValuesThePanelDoesNotOfferAreShownAndPushedUnchangedWhateverTheLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    build();
    store->setValue(QString::fromLatin1(sensitivityKey), 5.0);
    store->setValue(QString::fromLatin1(selectedSoundKey), QStringLiteral("Fart"));
    panel->show();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(pushes().back(), config(5.0, "Fart", false));
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("5.0"));
    EXPECT_EQ(child<QComboBox>("soundPicker")->currentIndex(), -1);
    EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), 5.0)
        << "placing the slider at its end stores nothing";
}

TEST_F(ContentViewTest, updateButtonAndMenuItemFollowTheUpdaterAndStartOneCheckPerClick) {
    build(false);
    panel->show();
    auto* update = child<PlainButton>("updateButton");
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_FALSE(item("updateAction")->isEnabled());
    updater->setCanCheck(true);
    EXPECT_TRUE(update->isEnabled() && item("updateAction")->isEnabled());
    QTest::mouseClick(update, Qt::LeftButton);
    item("updateAction")->trigger();
    EXPECT_EQ(updater->checks, 2);
    updater->setCanCheck(false);
    EXPECT_FALSE(update->isEnabled() || item("updateAction")->isEnabled());
}

TEST_F(ContentViewTest, headerSaysWhyNothingIsSensedUntilThePongAndTheControlsKeepPushing) {
    const Translations german(QLocale(QLocale::German, QLocale::Germany));
    build();
    panel->show();
    EXPECT_EQ(status(), QStringLiteral("Aktiv"));
    viewModel->handleEvent({"error", "no_sensor", "no IIO accelerometer"});
    EXPECT_EQ(status(), QStringLiteral("Kein Sensor gefunden"));
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Zonkle – Kein Sensor gefunden"));
    EXPECT_EQ(child<QLabel>("statusText")->parentWidget()->toolTip(), QStringLiteral("no IIO accelerometer"));
    QTest::mouseClick(child<SwitchButton>("pauseSwitch"), Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Kein Sensor gefunden")) << "pausing does not hide it";
    EXPECT_EQ(pushes().back(), config(0.5, "default", true));
    viewModel->handleEvent({"event", "pong", std::nullopt});
    EXPECT_EQ(status(), QStringLiteral("Pausiert"));
    EXPECT_TRUE(child<QLabel>("statusText")->parentWidget()->toolTip().isEmpty());
    EXPECT_EQ(child<PlainButton>("quitButton")->text(), QStringLiteral("Beenden"));
}

TEST_F(ContentViewTest, dividersStayVisibleAtEveryScale) {
    build();
    panel->show();
    for (const qreal scale : {1.0, 1.25, 1.5, 2.0}) {
        QImage image(panel->size() * scale, QImage::Format_ARGB32);
        image.setDevicePixelRatio(scale);
        image.fill(panel->palette().color(QPalette::Window));
        panel->render(&image);
        // Every device row across the panel between the header and the first control.
        const int darkest = [&] {
            int found = 255;
            for (int y = 0; y < int(48 * scale); ++y) {
                found = std::min(found, qGray(image.pixel(int(image.width() * 0.75), y)));
            }
            return found;
        }();
        EXPECT_LT(darkest, qGray(panel->palette().color(QPalette::Window).rgb()) - 20) << "scale " << scale;
    }
}

} // namespace
} // namespace zonkle
