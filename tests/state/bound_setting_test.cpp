#include <gtest/gtest.h>

#include <QSignalSpy>

#include "settings_files.h"
#include "state/bound_setting.h"
#include "state/settings_store.h"

namespace zonkle {
namespace {

using test::SettingsFiles;

class BoundSettingTest : public testing::Test {
protected:
    SettingsFiles files;
    QString path = files.freshPath();
    SettingsStore store{SettingsFiles::open(path)};
};

TEST_F(BoundSettingTest, readsItsDefaultUntilAValueIsStored) {
    BoundSetting sensitivity(store, sensitivityKey, defaultSensitivity);
    BoundSetting sound(store, selectedSoundKey, QString::fromLatin1(defaultSound));
    BoundSetting paused(store, isPausedKey, defaultPaused);

    EXPECT_EQ(sensitivity.toDouble(), 0.5);
    EXPECT_EQ(sound.toString(), "default");
    EXPECT_FALSE(paused.toBool());

    sensitivity.setValue(1.2);
    sound.setValue(QString("kazoo"));
    paused.setValue(true);
    EXPECT_EQ(sensitivity.toDouble(), 1.2);
    EXPECT_EQ(sound.toString(), "kazoo");
    EXPECT_TRUE(paused.toBool());
}

TEST_F(BoundSettingTest, storesANewValueInTheFileAtOnce) {
    BoundSetting sound(store, selectedSoundKey, QString::fromLatin1(defaultSound));
    sound.setValue(QString("anime-ahhh"));

    // A fresh reader of a copy of the file sees what the next launch will see.
    const QString copy = files.create(SettingsFiles::contents(path));
    EXPECT_EQ(SettingsStore::readDirect(*SettingsFiles::open(copy)).sound, "anime-ahhh");
}

TEST_F(BoundSettingTest, announcesEachRealChangeOnceWithTheNewValue) {
    BoundSetting sensitivity(store, sensitivityKey, defaultSensitivity);
    QSignalSpy changes(&sensitivity, &BoundSetting::changed);

    sensitivity.setValue(0.5); // stored for the first time, but the value read stays 0.5
    sensitivity.setValue(0.6);
    sensitivity.setValue(0.6);
    sensitivity.setValue(0.7);

    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(0).at(0).toDouble(), 0.6);
    EXPECT_EQ(changes.at(1).at(0).toDouble(), 0.7);
}

TEST_F(BoundSettingTest, fallsBackToItsDefaultWhenGivenAValueOfAnotherType) {
    BoundSetting paused(store, isPausedKey, defaultPaused);
    paused.setValue(true);
    QSignalSpy changes(&paused, &BoundSetting::changed);

    paused.setValue(QString("maybe"));

    EXPECT_FALSE(paused.toBool());
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0), QVariant(false));
}

TEST_F(BoundSettingTest, seesWritesOfOtherBindingsOfTheSameKeyOnly) {
    BoundSetting panelSwitch(store, isPausedKey, defaultPaused);
    BoundSetting header(store, isPausedKey, defaultPaused);
    BoundSetting sound(store, selectedSoundKey, QString::fromLatin1(defaultSound));
    QSignalSpy headerChanges(&header, &BoundSetting::changed);
    QSignalSpy soundChanges(&sound, &BoundSetting::changed);

    panelSwitch.setValue(true);
    EXPECT_TRUE(header.toBool());
    ASSERT_EQ(headerChanges.count(), 1);
    EXPECT_EQ(headerChanges.at(0).at(0), QVariant(true));

    // A write straight to the store reaches the bindings too.
    store.setValue(isPausedKey, false);
    EXPECT_FALSE(panelSwitch.toBool());
    EXPECT_EQ(headerChanges.count(), 2);
    EXPECT_EQ(soundChanges.count(), 0);
}

} // namespace
} // namespace zonkle
