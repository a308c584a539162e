#include <array>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "panel_doubles.h"
#include "state/bound_setting.h"
#include "state/menu_bar_view_model.h"
#include "state/settings_store.h"
#include "ui/content_view.h"
#include "ui/plain_button.h"
#include "ui/switch_button.h"
#include "ui/translations.h"
#include "updates/updater_service.h"

namespace zonkle {
namespace {

using test::FakeUpdaterController;
using test::RecordingDaemonClient;

OutboundCommand config(double sensitivity, const std::string& sound, bool paused) {
    return {"config", sensitivity, sound, paused};
}

// A panel on a recording client and a fake updater, with its settings in a file of its own.
class ContentViewTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void TearDown() override {
        panel.reset();
        viewModel.reset();
    }

    std::unique_ptr<QSettings> settingsFile() const {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("zonkle.conf")), QSettings::IniFormat);
    }

    // Creates the view model as the application does (its start-up push reads the stored
    // values directly) and then the panel.
    void build(bool canCheckForUpdates = false) {
        store = std::make_unique<SettingsStore>(settingsFile());
        auto controller = std::make_unique<FakeUpdaterController>(canCheckForUpdates);
        updater = controller.get();
        updaterService = std::make_unique<UpdaterService>(std::move(controller));
        auto settings = settingsFile();
        viewModel = std::make_unique<MenuBarViewModel>(client, SettingsStore::readDirect(*settings),
                                                       [this](std::string_view line) { log.emplace_back(line); });
        panel = std::make_unique<ContentView>(*updaterService, *viewModel, *store);
    }

    // Pushes made since the view model's start-up push.
    std::vector<OutboundCommand> panelPushes() const {
        return {client->sent.begin() + startupPushes, client->sent.end()};
    }

    template <typename T> T* child(const char* name) const {
        auto* found = panel->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QString labelTexts() const {
        QStringList texts;
        for (const QLabel* label : panel->findChildren<QLabel*>()) {
            texts << label->text();
        }
        return texts.join(QLatin1Char('|'));
    }

    static constexpr std::size_t startupPushes = 1;

    QTemporaryDir dir;
    std::shared_ptr<RecordingDaemonClient> client = std::make_shared<RecordingDaemonClient>();
    std::vector<std::string> log;
    std::unique_ptr<SettingsStore> store;
    FakeUpdaterController* updater = nullptr;
    std::unique_ptr<UpdaterService> updaterService;
    std::unique_ptr<MenuBarViewModel> viewModel;
    std::unique_ptr<ContentView> panel;
};

TEST_F(ContentViewTest, firstAppearanceWithNothingStoredShowsAndPushesThePanelDefaults) {
    build();
    ASSERT_EQ(client->sent.size(), startupPushes);
    EXPECT_TRUE(panelPushes().empty()) << "constructing the panel pushes nothing";

    panel->show();

    EXPECT_EQ(panelPushes(), std::vector{config(0.5, "default", false)});
    EXPECT_EQ(child<QLabel>("statusText")->text(), QStringLiteral("Active"));
    EXPECT_FALSE(child<SwitchButton>("pauseSwitch")->isChecked());
    EXPECT_EQ(child<QComboBox>("soundPicker")->currentText(), QStringLiteral("default"));
    EXPECT_EQ(child<QSlider>("sensitivitySlider")->value(), 5);
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("0.5"));
    EXPECT_EQ(panel->width(), ContentView::panelWidth);
    EXPECT_FALSE(store->value(QString::fromLatin1(sensitivityKey)).isValid()) << "showing stores nothing";
}

TEST_F(ContentViewTest, everyAppearancePushesOnceAndHidingPushesNothing) {
    build();
    for (int appearance = 1; appearance <= 3; ++appearance) {
        panel->show();
        panel->hide();
        EXPECT_EQ(panelPushes().size(), std::size_t(appearance));
    }
    for (const auto& push : panelPushes()) {
        EXPECT_EQ(push, config(0.5, "default", false));
    }
}

TEST_F(ContentViewTest, pauseSwitchStoresTheFlagAndPushesOnceWithTheOtherValuesUnchanged) {
    build();
    store->setValue(QString::fromLatin1(sensitivityKey), 1.3);
    store->setValue(QString::fromLatin1(selectedSoundKey), QStringLiteral("fart"));
    panel->show();
    const auto before = panelPushes().size();

    QTest::mouseClick(child<SwitchButton>("pauseSwitch"), Qt::LeftButton);

    EXPECT_TRUE(store->value(QString::fromLatin1(isPausedKey)).toBool());
    ASSERT_EQ(panelPushes().size(), before + 1);
    EXPECT_EQ(panelPushes().back(), config(1.3, "fart", true));

    QTest::mouseClick(child<SwitchButton>("pauseSwitch"), Qt::LeftButton);

    EXPECT_FALSE(store->value(QString::fromLatin1(isPausedKey)).toBool());
    ASSERT_EQ(panelPushes().size(), before + 2);
    EXPECT_EQ(panelPushes().back(), config(1.3, "fart", false));
}

TEST_F(ContentViewTest, soundPickerListsTheSoundNamesVerbatimAndStoresTheChosenNameWithOnePush) {
    build();
    panel->show();
    auto* picker = child<QComboBox>("soundPicker");
    ASSERT_EQ(picker->count(), availableSounds().size());
    for (int i = 0; i < picker->count(); ++i) {
        EXPECT_EQ(picker->itemText(i), availableSounds().at(i));
    }
    EXPECT_EQ(picker->itemText(1), QStringLiteral("anime-ahhh"));
    EXPECT_GE(picker->width(), 140);

    // The user steps down through the list; each step chooses one name.
    picker->setFocus();
    for (int i = 1; i < picker->count(); ++i) {
        const auto before = panelPushes().size();
        QTest::keyClick(picker, Qt::Key_Down);
        const QString name = availableSounds().at(i);
        EXPECT_EQ(store->value(QString::fromLatin1(selectedSoundKey)).toString(), name);
        ASSERT_EQ(panelPushes().size(), before + 1) << name.toStdString();
        EXPECT_EQ(panelPushes().back(), config(0.5, name.toStdString(), false));
    }
}

TEST_F(ContentViewTest, sliderStoresExactTenthsOnePushPerStep) {
    // The values a user reads, as the compiler reads them: no accumulated error.
    constexpr std::array<double, 20> tenths = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0,
                                               1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2.0};
    build();
    panel->show();
    auto* slider = child<QSlider>("sensitivitySlider");
    auto* value = child<QLabel>("sensitivityValue");
    slider->setFocus();

    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), 0.1);
    EXPECT_EQ(value->text(), QStringLiteral("0.1"));

    for (std::size_t i = 1; i < tenths.size(); ++i) {
        const auto before = panelPushes().size();
        QTest::keyClick(slider, Qt::Key_Right);
        EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), tenths[i]);
        EXPECT_EQ(value->text(), QString::asprintf("%.1f", tenths[i]));
        ASSERT_EQ(panelPushes().size(), before + 1);
        EXPECT_EQ(panelPushes().back(), config(tenths[i], "default", false));
    }
}

TEST_F(ContentViewTest, valueLabelUsesAFullStopWhateverTheLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    build();
    store->setValue(QString::fromLatin1(sensitivityKey), 1.5);
    panel->show();
    const QString shown = child<QLabel>("sensitivityValue")->text();
    QLocale::setDefault(previous);

    EXPECT_EQ(shown, QStringLiteral("1.5"));
}

TEST_F(ContentViewTest, storedValuesThePanelDoesNotOfferAreShownAndPushedUnchanged) {
    {
        auto settings = settingsFile();
        settings->setValue(QString::fromLatin1(sensitivityKey), 5.0);
        settings->setValue(QString::fromLatin1(selectedSoundKey), QStringLiteral("Fart"));
    }
    build();
    panel->show();

    EXPECT_EQ(panelPushes(), std::vector{config(5.0, "Fart", false)});
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("5.0"));
    EXPECT_EQ(child<QSlider>("sensitivitySlider")->value(), 20);
    EXPECT_EQ(child<QComboBox>("soundPicker")->currentIndex(), -1) << "no entry differs only in case";
    // Placing the slider at its end must not store the clamped value.
    EXPECT_EQ(store->value(QString::fromLatin1(sensitivityKey)).toDouble(), 5.0);
    EXPECT_EQ(store->value(QString::fromLatin1(selectedSoundKey)).toString(), QStringLiteral("Fart"));
}

TEST_F(ContentViewTest, changesMadeElsewhereShowLiveAndPushOnceEach) {
    build();
    panel->show();
    BoundSetting otherPaused(*store, QString::fromLatin1(isPausedKey), false);
    BoundSetting otherSound(*store, QString::fromLatin1(selectedSoundKey), QStringLiteral("default"));
    BoundSetting otherSensitivity(*store, QString::fromLatin1(sensitivityKey), 0.5);
    const auto before = panelPushes().size();

    otherPaused.setValue(true);
    otherSound.setValue(QStringLiteral("what_da_dog_doing"));
    otherSensitivity.setValue(1.2);

    const std::vector expected{config(0.5, "default", true), config(0.5, "what_da_dog_doing", true),
                               config(1.2, "what_da_dog_doing", true)};
    const auto pushes = panelPushes();
    EXPECT_EQ(std::vector(pushes.begin() + before, pushes.end()), expected);
    EXPECT_TRUE(child<SwitchButton>("pauseSwitch")->isChecked());
    EXPECT_EQ(child<QLabel>("statusText")->text(), QStringLiteral("Paused"));
    EXPECT_EQ(child<QComboBox>("soundPicker")->currentText(), QStringLiteral("what_da_dog_doing"));
    EXPECT_EQ(child<QSlider>("sensitivitySlider")->value(), 12);
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("1.2"));
}

TEST_F(ContentViewTest, updateButtonFollowsCanCheckForUpdatesAndStartsOneCheckPerClick) {
    build(false);
    panel->show();
    auto* update = child<PlainButton>("updateButton");

    EXPECT_FALSE(update->isEnabled());
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_EQ(updater->checks, 0);

    updater->setCanCheck(true);
    EXPECT_TRUE(update->isEnabled());
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_EQ(updater->checks, 1);

    updater->setCanCheck(false);
    EXPECT_FALSE(update->isEnabled());
    EXPECT_EQ(panelPushes().size(), 1u) << "only the appearance pushed";
}

TEST_F(ContentViewTest, updateButtonIsEnabledAtOnceWhenTheUpdaterAllowsACheck) {
    build(true);
    EXPECT_TRUE(child<PlainButton>("updateButton")->isEnabled());
}

TEST_F(ContentViewTest, germanTranslationCoversTheLabelsButNeitherSoundNamesNorTheValue) {
    const Translations german(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(german.translatesApplication());
    build(true);
    panel->show();

    EXPECT_EQ(child<QLabel>("statusText")->text(), QStringLiteral("Aktiv"));
    const QString labels = labelTexts();
    for (const char* text : {"Erkennung pausieren", "Ton", "Empfindlichkeit"}) {
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text << " in " << labels.toStdString();
    }
    EXPECT_EQ(child<PlainButton>("updateButton")->text(), QStringLiteral("Aktualisieren"));
    EXPECT_EQ(child<PlainButton>("quitButton")->text(), QStringLiteral("Beenden"));
    auto* picker = child<QComboBox>("soundPicker");
    for (int i = 0; i < picker->count(); ++i) {
        EXPECT_EQ(picker->itemText(i), availableSounds().at(i));
    }
    EXPECT_EQ(child<QLabel>("sensitivityValue")->text(), QStringLiteral("0.5"));

    QTest::mouseClick(child<SwitchButton>("pauseSwitch"), Qt::LeftButton);
    EXPECT_EQ(child<QLabel>("statusText")->text(), QStringLiteral("Pausiert"));
}

} // namespace
} // namespace zonkle
