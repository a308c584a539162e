#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "state/bound_setting.h"
#include "state/settings_store.h"
#include "test_support.h"

namespace zonkle {
namespace {

using namespace test;

class SettingsStoreTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("Zonkle/Zonkle.conf");
    std::vector<std::string> log;
    SettingsStore store{openSettings(path), nullptr, [this](std::string_view line) { log.emplace_back(line); }};
};

TEST(SettingsStore, readsHandEditedFilesKeepingOddValuesAndTreatingOtherTypesAsAbsent) {
    static const char garbage[] = "\x01\x02[[[\n\xff\xfe=\"=\n\0\0sensitivity\n";
    const SettingsValues defaults{0.5, "default", false};
    const std::vector<std::pair<QByteArray, SettingsValues>> cases{
        {"", defaults},
        {"[General]\nsensitivity=7.25\nselectedSound=kazoo\nisPaused=1\n", {7.25, "kazoo", true}},
        {"[General]\nsensitivity=0.30000000000000004\nselectedSound=\nisPaused=true\n",
         {0.30000000000000004, "", true}},
        {"[General]\nsensitivity=\" 0.25 \"\nselectedSound=42\nisPaused=false\n", {0.25, "42", false}},
        {"[General]\nsensitivity=abc\nselectedSound=a, b\nisPaused=maybe\n", defaults},
        {"[General]\nsensitivity=0,5\nselectedSound=@ByteArray(fart)\nisPaused=TRUE\n", defaults},
        {"[General]\nsensitivity=nan\nisPaused=yes\n", defaults},
        {"[General]\nSensitivity=1.5\nselectedsound=fart\nISPAUSED=true\n[Other]\nsensitivity=1.5\nisPaused=true\n",
         defaults},
        {QByteArray(garbage, sizeof(garbage) - 1), defaults},
    };
    QTemporaryDir dir;
    for (const auto& [contents, expected] : cases) {
        SCOPED_TRACE(contents.toStdString());
        const QString path = writeSettingsFile(dir.path(), contents);
        EXPECT_EQ(SettingsStore::readDirect(*openSettings(path)), expected);
        const SettingsStore store(openSettings(path));
        EXPECT_EQ(store.read(), expected);
        EXPECT_EQ(store.sensitivity(), expected.sensitivity);
        EXPECT_EQ(store.selectedSound(), expected.sound);
        EXPECT_EQ(store.isPaused(), expected.paused);
    }
}

TEST_F(SettingsStoreTest, writesTheFileAtomicallyBeforeSetValueReturns) {
    store.setValue(sensitivityKey, 0.1 + 0.2);
    store.setValue(isPausedKey, true);

    EXPECT_EQ(fileContents(path), "[General]\nisPaused=true\nsensitivity=0.30000000000000004\n");
    // Only the file itself is left: the temporary one was renamed over it.
    EXPECT_EQ(QDir(dir.filePath("Zonkle")).entryList(QDir::Files), QStringList{"Zonkle.conf"});
    EXPECT_TRUE(log.empty());
}

TEST_F(SettingsStoreTest, boundSettingReadsItsDefaultUntilAValueIsStoredAndAnnouncesRealChanges) {
    BoundSetting sensitivity(store, sensitivityKey, defaultSensitivity);
    QSignalSpy changes(&sensitivity, &BoundSetting::changed);
    EXPECT_EQ(sensitivity.toDouble(), 0.5);

    sensitivity.setValue(0.5); // stored now, but the value read stays 0.5
    sensitivity.setValue(0.6);
    sensitivity.setValue(0.6);
    sensitivity.setValue(QString("abc")); // unreadable: back to the default

    EXPECT_EQ(sensitivity.toDouble(), 0.5);
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(0).at(0), 0.6);
    EXPECT_EQ(changes.at(1).at(0), 0.5);
}

TEST_F(SettingsStoreTest, boundSettingsSeeWritesToTheirKeyFromAnyWriter) {
    BoundSetting panelSwitch(store, isPausedKey, defaultPaused);
    BoundSetting header(store, isPausedKey, defaultPaused);
    BoundSetting sound(store, selectedSoundKey, QString(defaultSound));
    QSignalSpy headerChanges(&header, &BoundSetting::changed);
    QSignalSpy soundChanges(&sound, &BoundSetting::changed);

    panelSwitch.setValue(true);
    EXPECT_TRUE(header.toBool());
    store.setValue(isPausedKey, false);
    EXPECT_FALSE(panelSwitch.toBool());

    ASSERT_EQ(headerChanges.count(), 2);
    EXPECT_EQ(headerChanges.at(0).at(0), true);
    EXPECT_EQ(soundChanges.count(), 0);
}

} // namespace
} // namespace zonkle
