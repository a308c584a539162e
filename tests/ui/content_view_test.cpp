#include <gtest/gtest.h>
#include <memory>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "state/menu_bar_view_model.h"
#include "state/settings_store.h"
#include "ui/content_view.h"
#include "ui/plain_button.h"
#include "ui/switch_button.h"
#include "ui/translations.h"
#include "ui/tray_menu.h"
#include "updates/updater_controller.h"
#include "updates/updater_service.h"

namespace zonkle {

void PrintTo(const OutboundCommand& c, std::ostream* out) {
    *out << c.cmd << " " << c.sensitivity.value_or(-1) << " " << c.sound.value_or("-") << " " << c.paused.value_or(0);
}

namespace {

OutboundCommand config(double sensitivity, const std::string& sound, bool paused) {
    return {"config", sensitivity, sound, paused};
}

// Stands in for the daemon link: records what the panel and its view model send.
struct RecordingDaemonClient final : DaemonClient {
    void start() override {}
    void send(const OutboundCommand& command) override { sent.push_back(command); }
    void stop() override {}
    std::vector<OutboundCommand> sent;
};

// An updater whose availability the test sets, counting the checks it is asked for.
struct FakeUpdaterController final : UpdaterController {
    bool canCheckForUpdates() const override { return canCheck; }
    void checkForUpdates() override { ++checks; }
    void setCanCheck(bool value) { emit canCheckForUpdatesChanged(canCheck = value); }
    bool canCheck = false;
    int checks = 0;
};

// The panel and the tray menu on a recording client and a fake updater, with the settings in a
// file of their own; the view model is made first, as the application does.
class ContentViewTest : public ::testing::Test {
protected:
    void build() {
        const QString file = dir.filePath(QStringLiteral("zonkle.conf"));
        store = std::make_unique<SettingsStore>(std::make_unique<QSettings>(file, QSettings::IniFormat));
        auto controller = std::make_unique<FakeUpdaterController>();
        updater = controller.get();
        updaterService = std::make_unique<UpdaterService>(std::move(controller));
        QSettings settings(file, QSettings::IniFormat);
        viewModel = std::make_unique<MenuBarViewModel>(client, SettingsStore::readDirect(settings), [](auto) {});
        panel = std::make_unique<ContentView>(*updaterService, *viewModel, *store);
        menu = std::make_unique<TrayMenu>(*updaterService, *store);
        panel->show();
    }
    // Pushes since the view model's own start-up push.
    std::vector<OutboundCommand> pushes() const { return {client->sent.begin() + 1, client->sent.end()}; }
    template <typename T = QWidget> T* child(const char* name) const {
        return panel->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* item(const char* name) const { return menu->findChild<QAction*>(QString::fromLatin1(name)); }
    QString status() const { return child<QLabel>("statusText")->text(); }

    QTemporaryDir dir;
    std::shared_ptr<RecordingDaemonClient> client = std::make_shared<RecordingDaemonClient>();
    std::unique_ptr<SettingsStore> store;
    FakeUpdaterController* updater = nullptr;
    std::unique_ptr<UpdaterService> updaterService;
    std::unique_ptr<MenuBarViewModel> viewModel;
    std::unique_ptr<ContentView> panel;
    std::unique_ptr<TrayMenu> menu;
};

TEST_F(ContentViewTest, everyAppearancePushesTheStoredValuesUnchangedOnceWhateverTheLocale) {
    QSettings stored(dir.filePath(QStringLiteral("zonkle.conf")), QSettings::IniFormat);
    stored.setValue(QString::fromLatin1(sensitivityKey), 5.0); // beyond the slider
    stored.setValue(QString::fromLatin1(selectedSoundKey), QStringLiteral("Fart"));
    stored.sync();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    build();
    panel->hide();
    panel->show();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(pushes(), std::vector(2, config(5.0, "Fart", false)));
    EXPECT_EQ(child<QComboBox>("soundPicker")->currentIndex(), -1);
    EXPECT_EQ(status(), QStringLiteral("Active"));
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("5.0"));
    EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), 5.0)
        << "placing the slider at its end stores nothing";
    EXPECT_EQ(panel->width(), ContentView::panelWidth);
}

TEST_F(ContentViewTest, switchMenuAndSoundPickerStoreTheirSettingWithOnePushEach) {
    build();
    auto* pauseSwitch = child<SwitchButton>("pauseSwitch");
    QTest::mouseClick(pauseSwitch, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Paused"));
    EXPECT_EQ(item("pauseAction")->text(), QStringLiteral("Resume Sensing"));
    item("pauseAction")->trigger();
    EXPECT_FALSE(pauseSwitch->isChecked());
    QTest::keyClick(pauseSwitch, Qt::Key_Space);
    EXPECT_TRUE(store->value(QString::fromLatin1(isPausedKey)).toBool());
    auto* picker = child<QComboBox>("soundPicker");
    ASSERT_EQ(picker->count(), availableSounds().size());
    for (int i = 1; i < picker->count(); ++i) {
        QTest::keyClick(picker, Qt::Key_Down);
    }
    std::vector expected{config(0.5, "default", false), config(0.5, "default", true), config(0.5, "default", false),
                         config(0.5, "default", true)};
    for (const QString& sound : availableSounds().mid(1)) {
        expected.push_back(config(0.5, sound.toStdString(), true));
    }
    EXPECT_EQ(pushes(), expected);
}

TEST_F(ContentViewTest, sliderStoresExactTenthsAndTellsScreenReadersTheShownValue) {
    build();
    auto* slider = child<QSlider>("sensitivitySlider");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(slider);
    QTest::keyClick(slider, Qt::Key_Home);
    for (int tenths = 1; tenths <= 20; ++tenths) {
        const double value = QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10).toDouble();
        EXPECT_EQ(pushes().back(), config(value, "default", false));
        EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), value);
        EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QString::asprintf("%.1f", value));
        EXPECT_EQ(accessible->text(QAccessible::Value), QString::asprintf("%.1f", value));
        EXPECT_EQ(accessible->valueInterface()->currentValue().toDouble(), value);
        QTest::keyClick(slider, Qt::Key_Right);
    }
    EXPECT_EQ(pushes().size(), 21u) << "the appearance and one push per step";
    for (const char* name : {"pauseSwitch", "soundPicker", "sensitivitySlider"}) { // each named by its label
        const auto labels = QAccessible::queryAccessibleInterface(child(name))->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << name;
        EXPECT_EQ(labels.front().first->text(QAccessible::Name), child(name)->accessibleName());
    }
}

TEST_F(ContentViewTest, updateButtonAndMenuItemFollowTheUpdaterAndStartOneCheckPerClick) {
    build();
    auto* update = child<PlainButton>("updateButton");
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_FALSE(item("updateAction")->isEnabled());
    updater->setCanCheck(true);
    QTest::mouseClick(update, Qt::LeftButton);
    item("updateAction")->trigger();
    EXPECT_EQ(updater->checks, 2);
    updater->setCanCheck(false);
    EXPECT_FALSE(update->isEnabled() || item("updateAction")->isEnabled());
}

TEST_F(ContentViewTest, headerSaysWhyNothingIsSensedUntilThePongAndTheControlsKeepPushing) {
    const Translations german(QLocale(QLocale::German, QLocale::Germany));
    build();
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
}

TEST_F(ContentViewTest, dividersStayVisibleAtEveryScale) {
    build();
    const QRgb window = panel->palette().color(QPalette::Window).rgb();
    for (const qreal scale : {1.0, 1.25, 1.5, 2.0}) {
        QImage image(panel->size() * scale, QImage::Format_ARGB32);
        image.setDevicePixelRatio(scale);
        image.fill(window);
        panel->render(&image);
        int darkest = 255; // of the device rows between the header and the first control, across the panel
        for (int y = 0; y < int(48 * scale); ++y) {
            darkest = std::min(darkest, qGray(image.pixel(int(image.width() * 0.75), y)));
        }
        EXPECT_LT(darkest, qGray(window) - 20) << "scale " << scale;
    }
}

} // namespace
} // namespace zonkle
