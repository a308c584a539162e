#include <gtest/gtest.h>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include "child_process.h"
#include "helper_modes.h"
#include "settings_files.h"
#include "state/settings_store.h"

namespace zonkle {
namespace {

using test::SettingsFiles;

TEST(SettingsStore, offersTheFourSoundsInOrderWithTheDefaultFirst) {
    const QStringList expected{"default", "anime-ahhh", "fart", "what_da_dog_doing"};
    EXPECT_EQ(availableSounds(), expected);
    EXPECT_EQ(availableSounds().first(), QString::fromLatin1(defaultSound));
}

TEST(SettingsStore, readsThePanelDefaultsWhenNothingIsStored) {
    SettingsFiles files;
    const QString path = files.freshPath();
    SettingsStore store(SettingsFiles::open(path));

    const SettingsValues expected{0.5, "default", false};
    EXPECT_EQ(store.read(), expected);
    EXPECT_EQ(SettingsStore::readDirect(*SettingsFiles::open(path)), expected);
    EXPECT_EQ(store.sensitivity(), 0.5);
    EXPECT_EQ(store.selectedSound(), "default");
    EXPECT_FALSE(store.isPaused());
    for (const char* key : {sensitivityKey, selectedSoundKey, isPausedKey}) {
        EXPECT_FALSE(store.value(key).isValid()) << key;
    }
}

// One line of a hand-edited file under [General], and what the store makes of it.
struct StoredText {
    const char* key;
    const char* text;
    QVariant expected; // invalid: read as absent

    friend void PrintTo(const StoredText& row, std::ostream* out) { *out << row.key << '=' << row.text; }
};

class SettingsStoreStoredText : public testing::TestWithParam<StoredText> {};

TEST_P(SettingsStoreStoredText, readsTextAsTheKeysTypeOrAsAbsent) {
    const StoredText& row = GetParam();
    SettingsFiles files;
    const QString path = files.create(QByteArray("[General]\n") + row.key + '=' + row.text + '\n');
    SettingsStore store(SettingsFiles::open(path));

    const QVariant value = store.value(row.key);
    EXPECT_EQ(value.isValid(), row.expected.isValid()) << value.toString().toStdString();
    if (row.expected.isValid()) {
        EXPECT_EQ(value.typeId(), row.expected.typeId());
        EXPECT_EQ(value, row.expected);
    }

    // The typed reads and the direct read agree with value(), absent giving the default.
    SettingsValues expected;
    if (row.expected.isValid()) {
        const std::string key = row.key;
        if (key == sensitivityKey) {
            expected.sensitivity = row.expected.toDouble();
        } else if (key == selectedSoundKey) {
            expected.sound = row.expected.toString();
        } else {
            expected.paused = row.expected.toBool();
        }
    }
    EXPECT_EQ(store.read(), expected);
    EXPECT_EQ(SettingsStore::readDirect(*SettingsFiles::open(path)), expected);
    EXPECT_EQ(store.sensitivity(), expected.sensitivity);
    EXPECT_EQ(store.selectedSound(), expected.sound);
    EXPECT_EQ(store.isPaused(), expected.paused);
}

INSTANTIATE_TEST_SUITE_P(
    HandEditedFiles, SettingsStoreStoredText,
    testing::Values(
        StoredText{"sensitivity", "0.5", 0.5}, StoredText{"sensitivity", "7.25", 7.25},
        StoredText{"sensitivity", "-1", -1.0}, StoredText{"sensitivity", "0.30000000000000004", 0.30000000000000004},
        StoredText{"sensitivity", "  1.5  ", 1.5}, StoredText{"sensitivity", "\"0.25\"", 0.25},
        StoredText{"sensitivity", "2e0", 2.0}, StoredText{"sensitivity", "abc", {}}, StoredText{"sensitivity", "", {}},
        StoredText{"sensitivity", "0,5", {}}, StoredText{"sensitivity", "nan", {}},
        StoredText{"sensitivity", "inf", {}}, StoredText{"sensitivity", "-inf", {}},
        StoredText{"sensitivity", "1e999", {}}, StoredText{"sensitivity", "true", {}},
        StoredText{"sensitivity", "@ByteArray(0.5)", {}}, StoredText{"selectedSound", "fart", QString("fart")},
        StoredText{"selectedSound", "kazoo", QString("kazoo")}, StoredText{"selectedSound", "42", QString("42")},
        StoredText{"selectedSound", "\"a, b\"", QString("a, b")}, StoredText{"selectedSound", "a, b", {}},
        StoredText{"selectedSound", "@ByteArray(fart)", {}}, StoredText{"isPaused", "true", true},
        StoredText{"isPaused", "false", false}, StoredText{"isPaused", "1", true}, StoredText{"isPaused", "0", false},
        StoredText{"isPaused", "maybe", {}}, StoredText{"isPaused", "TRUE", {}}, StoredText{"isPaused", "yes", {}},
        StoredText{"isPaused", "", {}}, StoredText{"isPaused", "true, false", {}}, StoredText{"isPaused", "0.0", {}}));

TEST(SettingsStore, readsKeysOnlyAtTheTopLevelAndWithTheirExactCase) {
    SettingsFiles files;
    SettingsStore store(
        SettingsFiles::open(files.create("[General]\nSensitivity=1.5\nselectedsound=fart\nISPAUSED=true\n"
                                         "[Other]\nsensitivity=1.5\nselectedSound=fart\nisPaused=true\n")));
    EXPECT_EQ(store.read(), SettingsValues{});
}

TEST(SettingsStore, survivesAFileThatIsNotIniAtAll) {
    SettingsFiles files;
    static const char garbage[] = "\x01\x02[[[\n\xff\xfe=\"=\n\0\0sensitivity\n";
    SettingsStore store(SettingsFiles::open(files.create(QByteArray(garbage, sizeof(garbage) - 1))));
    EXPECT_EQ(store.read(), SettingsValues{});

    store.setValue(sensitivityKey, 1.2);
    EXPECT_EQ(store.sensitivity(), 1.2);
}

// What setValue stores must read the same in this process (where QSettings keeps the
// value's type) as in the next one (where it reads text from the file).
struct WrittenValue {
    const char* key;
    QVariant written;
    QVariant expected; // invalid: read as absent

    friend void PrintTo(const WrittenValue& row, std::ostream* out) {
        *out << row.key << " <- " << row.written.typeName() << ' ' << row.written.toString().toStdString();
    }
};

class SettingsStoreWrittenValue : public testing::TestWithParam<WrittenValue> {};

TEST_P(SettingsStoreWrittenValue, readsTheSameNowAndAfterARestart) {
    const WrittenValue& row = GetParam();
    SettingsFiles files;
    const QString path = files.freshPath();
    SettingsStore store(SettingsFiles::open(path));
    store.setValue(row.key, row.written);

    const QString copy = files.create(SettingsFiles::contents(path));
    SettingsStore restarted(SettingsFiles::open(copy));
    for (SettingsStore* reader : {&store, &restarted}) {
        const QVariant value = reader->value(row.key);
        EXPECT_EQ(value.isValid(), row.expected.isValid()) << (reader == &store ? "now" : "after restart");
        if (row.expected.isValid()) {
            EXPECT_EQ(value, row.expected) << (reader == &store ? "now" : "after restart");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    WrittenByTheApplication, SettingsStoreWrittenValue,
    testing::Values(WrittenValue{"sensitivity", 0.7, 0.7}, WrittenValue{"sensitivity", 0.1 + 0.2, 0.30000000000000004},
                    WrittenValue{"sensitivity", 2, 2.0}, WrittenValue{"sensitivity", -1.0, -1.0},
                    WrittenValue{"sensitivity", QString("abc"), {}}, WrittenValue{"sensitivity", true, {}},
                    WrittenValue{"sensitivity", std::numeric_limits<double>::quiet_NaN(), {}},
                    WrittenValue{"selectedSound", QString("what_da_dog_doing"), QString("what_da_dog_doing")},
                    WrittenValue{"selectedSound", QString("a, b"), QString("a, b")},
                    WrittenValue{"selectedSound", QStringList{"a", "b"}, {}}, WrittenValue{"isPaused", true, true},
                    WrittenValue{"isPaused", false, false}, WrittenValue{"isPaused", QString("maybe"), {}},
                    WrittenValue{"isPaused", 2, {}}));

TEST(SettingsStore, writesTheFileBeforeSetValueReturns) {
    SettingsFiles files;
    const QString path = files.freshPath();
    SettingsStore store(SettingsFiles::open(path));

    store.setValue(sensitivityKey, 1.3);
    EXPECT_TRUE(SettingsFiles::contents(path).contains("\nsensitivity=1.3\n")) << SettingsFiles::contents(path).data();
    store.setValue(isPausedKey, true);
    const QByteArray written = SettingsFiles::contents(path);
    EXPECT_TRUE(written.startsWith("[General]\n")) << written.data();
    EXPECT_TRUE(written.contains("\nisPaused=true\n")) << written.data();
    EXPECT_TRUE(written.contains("\nsensitivity=1.3\n")) << written.data();
    // Only the file itself remains: the temporary file was renamed over it.
    const QStringList entries = QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files);
    EXPECT_EQ(entries, QStringList{"Zonkle.conf"});
}

TEST(SettingsStore, announcesOnlyRealChangesOfTheStoredValue) {
    SettingsFiles files;
    SettingsStore store(SettingsFiles::open(files.freshPath()));
    QSignalSpy changes(&store, &SettingsStore::valueChanged);

    store.setValue(selectedSoundKey, QString("fart"));
    store.setValue(selectedSoundKey, QString("fart"));
    store.setValue(sensitivityKey, 0.5);
    store.setValue(sensitivityKey, QString("0.5")); // the same number in another form
    store.setValue(isPausedKey, QString("maybe"));  // absent before, unreadable now

    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(0).at(0).toString(), "selectedSound");
    EXPECT_EQ(changes.at(1).at(0).toString(), "sensitivity");
}

TEST(SettingsStore, keepsAWriteThatCannotReachTheDiskAndLogsIt) {
    SettingsFiles files;
    // A regular file where the settings directory should be: no write can succeed, even as root.
    const QString blocker = files.create("not a directory");
    const QString path = blocker + "/Zonkle/Zonkle.conf";
    std::vector<std::string> lines;
    SettingsStore store(SettingsFiles::open(path), nullptr, [&](std::string_view line) { lines.emplace_back(line); });
    QSignalSpy changes(&store, &SettingsStore::valueChanged);

    store.setValue(sensitivityKey, 1.7);

    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(store.sensitivity(), 1.7);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(lines, std::vector<std::string>{"Failed to save settings to " + path.toStdString() + "."});
}

TEST(SettingsStore, logsNothingWhenWritesSucceed) {
    SettingsFiles files;
    std::vector<std::string> lines;
    SettingsStore store(SettingsFiles::open(files.freshPath()), nullptr,
                        [&](std::string_view line) { lines.emplace_back(line); });
    store.setValue(sensitivityKey, 1.1);
    store.setValue(selectedSoundKey, QString("fart"));
    EXPECT_TRUE(lines.empty());
}

TEST(SettingsStore, settingsWrittenByOneProcessAreReadByTheNextEvenIfItIsKilled) {
    QTemporaryDir configHome;
    ASSERT_TRUE(configHome.isValid());
    test::ChildProcess writer({test::writeSettingsMode}, test::environmentWithConfigHome(configHome.path()));
    ASSERT_TRUE(writer.waitForLine(test::settingsWrittenLine)) << writer.output().data();
    // No chance to flush anything on the way out.
    writer.kill();

    const QString path = configHome.filePath("Zonkle/Zonkle.conf");
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(SettingsStore::readDirect(*SettingsFiles::open(path)), test::valuesWrittenByHelper());
}

} // namespace
} // namespace zonkle
