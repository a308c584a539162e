#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "state/bound_setting.h"
#include "state/settings_store.h"

namespace zonkle {
namespace {

using Lines = std::vector<std::string>;

struct SettingsStoreTest : testing::Test {
    // A file no QSettings of this process has read yet (QSettings caches what it read per path).
    std::unique_ptr<QSettings> file(const QByteArray& contents) {
        static int made = 0;
        QFile out(dir.filePath(QString::number(++made)));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(contents) == contents.size());
        out.close();
        return std::make_unique<QSettings>(out.fileName(), QSettings::IniFormat);
    }
    QTemporaryDir dir;
    Lines log;
    LogSink sink = [this](std::string_view line) { log.emplace_back(line); };
};

TEST_F(SettingsStoreTest, readsHandEditedFilesKeepingOddValuesAndTreatingUnusableOnesAsAbsent) {
    const SettingsValues defaults{0.5, "default", false};
    const QByteArray longSound(1'500'000, 's');
    const std::vector<std::tuple<QByteArray, SettingsValues, Lines>> cases{
        {"", defaults, {}},
        {"[General]\nsensitivity=7.25\nselectedSound=kazoo\nisPaused=1\n", {7.25, "kazoo", true}, {}},
        {"[General]\nsensitivity=abc\nselectedSound=a, b\nisPaused=maybe\n", defaults, {}},
        {"[General]\nsensitivity=nan\nSensitivity=1.5\n[Other]\nisPaused=true\n\x01\x02[[[\n\xff\xfe=\"=\n",
         defaults,
         {}},
        {"[General]\nsensitivity=1.5\nselectedSound=" + longSound + "\nisPaused=true\n",
         {1.5, "default", true},
         {"Stored selectedSound is longer than 256 bytes; using \"default\"."}}};
    for (const auto& [contents, expected, lines] : cases) {
        log.clear();
        EXPECT_EQ(SettingsStore::readDirect(*file(contents), sink), expected) << contents.left(80).toStdString();
        EXPECT_EQ(log, lines);
        EXPECT_EQ(SettingsStore(file(contents)).value(selectedSoundKey).toString(),
                  expected.sound == "default" ? "" : expected.sound);
    }
}

TEST_F(SettingsStoreTest, writesEachChangeToDiskBeforeReturningAndReportsOnlyTheWritesThatFail) {
    const QString directory = dir.filePath("Zonkle"); // a file where the directory should be
    const QString path = directory + "/Zonkle.conf";
    ASSERT_TRUE(QFile(directory).open(QIODevice::WriteOnly));
    SettingsStore store(std::make_unique<QSettings>(path, QSettings::IniFormat), nullptr, sink);
    store.setValue(sensitivityKey, 0.1 + 0.2);
    store.setValue(isPausedKey, true);
    EXPECT_EQ(store.value(sensitivityKey), 0.1 + 0.2);
    const std::string failed = "Failed to save settings to " + path.toStdString() + ".";
    EXPECT_EQ(log, (Lines{failed, failed}));
    ASSERT_TRUE(QFile::remove(directory) && QDir().mkpath(directory));
    store.setValue(selectedSoundKey, "fart");
    EXPECT_EQ(log.size(), 2u) << "a write that worked is not reported";
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "[General]\nisPaused=true\nselectedSound=fart\nsensitivity=0.30000000000000004\n");
    EXPECT_EQ(QDir(directory).entryList(QDir::Files), QStringList{"Zonkle.conf"}) << "no temporary file left";
}

TEST_F(SettingsStoreTest, boundSettingsReadTheirDefaultUntilStoredAndAnnounceRealChangesFromAnyWriter) {
    SettingsStore store(file(""));
    BoundSetting sensitivity(store, sensitivityKey, defaultSensitivity);
    BoundSetting otherSensitivity(store, sensitivityKey, defaultSensitivity);
    QSignalSpy changes(&otherSensitivity, &BoundSetting::changed);
    // 0.5 is stored but reads as before; "abc" is unusable and reads as the default again.
    for (const QVariant& value : {QVariant(0.5), QVariant(0.6), QVariant(0.6), QVariant("abc")}) {
        sensitivity.setValue(value);
    }
    EXPECT_EQ(otherSensitivity.toDouble(), 0.5);
    EXPECT_EQ(changes, (QList<QVariantList>{{0.6}, {0.5}}));
}

TEST_F(SettingsStoreTest, findsTheFileAsTheXdgRulesSayAndNeverUnderTheRoot) {
    const QByteArray saved[] = {qgetenv("XDG_CONFIG_HOME"), qgetenv("HOME")};
    const QString userHome = QFile::decodeName(::getpwuid(::getuid())->pw_dir);
    const QString fromUserDatabase = userHome == "/" ? "none" : userHome + "/.config/Zonkle/Zonkle.conf";
    const std::vector<std::tuple<const char*, const char*, QString>> cases{
        {"/x/config", "/home/u", "/x/config/Zonkle/Zonkle.conf"},
        {"relative/config", "/home/u", "/home/u/.config/Zonkle/Zonkle.conf"},
        {nullptr, nullptr, fromUserDatabase},
        {"", "relative", fromUserDatabase},
        {nullptr, "/", fromUserDatabase}};
    for (const auto& [configHome, home, expected] : cases) {
        configHome ? qputenv("XDG_CONFIG_HOME", configHome) : qunsetenv("XDG_CONFIG_HOME");
        home ? qputenv("HOME", home) : qunsetenv("HOME");
        EXPECT_EQ(SettingsStore::defaultFilePath().value_or("none"), expected) << configHome << " " << home;
    }
    qputenv("XDG_CONFIG_HOME", saved[0]);
    qputenv("HOME", saved[1]);
}

TEST_F(SettingsStoreTest, aSettingsFileThatIsNotARegularFileIsLeftAloneAndTheDefaultsUsed) {
    const QString path = *SettingsStore::defaultFilePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    for (const bool fifo : {true, false}) { // a FIFO would block opening it
        log.clear();
        ASSERT_TRUE(fifo ? ::mkfifo(QFile::encodeName(path), 0600) == 0 : QDir().mkdir(path));
        SettingsStore store(SettingsStore::openDefaultFile(sink), nullptr, sink);
        store.setValue(isPausedKey, true);
        EXPECT_EQ(store.value(isPausedKey), true) << "kept in memory";
        EXPECT_EQ(log, Lines{"Settings file " + path.toStdString() +
                             " is not a regular file; using the defaults and not saving changes."});
        struct stat info {};
        EXPECT_TRUE(::stat(QFile::encodeName(path), &info) == 0 &&
                    (fifo ? S_ISFIFO(info.st_mode) : S_ISDIR(info.st_mode)));
        fifo ? QFile::remove(path) : QDir().rmdir(path);
    }
}

} // namespace
} // namespace zonkle
