// The settings rows of the fault table that only the whole application can show: the
// application in its own process with its settings file broken or unreadable, in a directory
// it cannot write, or the application killed right after a change.
// What the detector is sent first, what is logged, that a change is still pushed, and what
// the file holds after. The other rows are covered in tests/state/.

#include <algorithm>
#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "install_tree.h"
#include "running_app.h"

namespace zonkle::test {
namespace {

const QByteArray saveFailurePrefix = "Failed to save settings to ";

QByteArray pushLine(const char* values) {
    return QByteArray("Syncing Config -> Sensitivity: ") + values;
}

// The "key=value" lines of the file's [General] section, read without QSettings.
QList<QByteArray> generalEntries(const QByteArray& file) {
    QList<QByteArray> entries;
    bool inGeneral = false;
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith('[')) {
            inGeneral = line == "[General]";
        } else if (inGeneral && !line.isEmpty()) {
            entries.append(line);
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

class SettingsFault : public testing::Test {
protected:
    void start(const QString& robotActions, RunningApp::User user = RunningApp::User::current) {
        tree.installDetector();
        app = std::make_unique<RunningApp>(tree.installApp(QString::fromLatin1(ZONKLE_ROBOT)),
                                           tree.environment("", robotActions), user);
    }

    // The first command the detector received.
    QByteArray firstConfig() {
        EXPECT_TRUE(app->waitFor([&] { return !tree.recorded().isEmpty(); }));
        return tree.recorded().value(0);
    }

    InstallTree tree;
    std::unique_ptr<RunningApp> app;
};

// A line of garbage and the NUL bytes a lost write can leave behind: every key that still
// parses is used and kept, and the garbage is gone after the first change.
TEST_F(SettingsFault, syntacticallyBrokenFileKeepsWhatIsReadableAndStoresAChange) {
    tree.writeSettings(
        QByteArray("[General]\nsensitivity=1.5\n\x01\x02 not ini [[[\nselectedSound=fart\n\0\0\0\0\0\0", 60));
    start("toggle-pause");
    ASSERT_TRUE(app->waitForLine("robot: finished")) << app->standardError().toStdString();

    EXPECT_EQ(firstConfig(), R"({"cmd":"config","sensitivity":1.5,"sound":"fart","paused":false})");
    EXPECT_TRUE(containsInOrder(
        app->lines(), {pushLine("1.5, Sound: fart, Paused: false"), pushLine("1.5, Sound: fart, Paused: true")}));
    EXPECT_EQ(countStartingWith(app->lines(), "Failed"), 0);
    EXPECT_EQ(generalEntries(tree.settingsBytes()),
              (QList<QByteArray>{"isPaused=true", "selectedSound=fart", "sensitivity=1.5"}));
    EXPECT_TRUE(app->isRunning());
}

const QByteArray storedValues = "[General]\nisPaused=true\nselectedSound=fart\nsensitivity=1.5\n";

TEST_F(SettingsFault, unreadableFileGivesTheDefaultsAndIsNeverOverwritten) {
    tree.writeSettings(storedValues);
    QFile::setPermissions(tree.settingsPath(), {});
    // Only the file's own permissions protect it: anyone may write its directory.
    tree.openToEveryone();
    QFile::setPermissions(tree.settingsDirectory(), QFileDevice::Permissions(0x7777));
    start("slider-right 1", RunningApp::User::unprivileged);
    ASSERT_TRUE(app->waitForLine("robot: finished")) << app->standardError().toStdString();

    EXPECT_EQ(firstConfig(), R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})");
    const QByteArray saveFailure = saveFailurePrefix + tree.settingsPath().toUtf8() + ".";
    // The change is stored first (which fails), then pushed.
    EXPECT_TRUE(containsInOrder(app->lines(), {pushLine("0.5, Sound: default, Paused: false"), saveFailure,
                                               pushLine("0.6, Sound: default, Paused: false")}))
        << app->lines().join('\n').toStdString();
    EXPECT_EQ(std::filesystem::status(tree.settingsPath().toStdString()).permissions(), std::filesystem::perms::none);
    EXPECT_EQ(tree.settingsBytes(), storedValues); // read as root
    EXPECT_TRUE(app->isRunning());
}

TEST_F(SettingsFault, directoryThatIsNotWritableKeepsTheFileAsItWasAndTheChangeInMemory) {
    tree.writeSettings(storedValues);
    tree.openToEveryone();
    if (::geteuid() == 0) {
        // The file is the user's own; only the directory refuses the new file.
        ASSERT_EQ(::chown(tree.settingsPath().toLocal8Bit().constData(), unprivilegedUser, unprivilegedGroup), 0);
    } else {
        QFile::setPermissions(tree.settingsDirectory(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    start("toggle-pause; slider-left 1", RunningApp::User::unprivileged);
    ASSERT_TRUE(app->waitForLine("robot: finished")) << app->standardError().toStdString();

    EXPECT_EQ(firstConfig(), R"({"cmd":"config","sensitivity":1.5,"sound":"fart","paused":true})");
    // The second change builds on the first, which lives on in memory.
    EXPECT_TRUE(containsInOrder(app->lines(), {pushLine("1.5, Sound: fart, Paused: true"),
                                               pushLine("1.5, Sound: fart, Paused: false"),
                                               pushLine("1.4, Sound: fart, Paused: false")}));
    EXPECT_GE(countStartingWith(app->lines(), saveFailurePrefix), 1);
    EXPECT_EQ(tree.settingsBytes(), storedValues);
    EXPECT_EQ(QDir(tree.settingsDirectory()).entryList(QDir::Files | QDir::Hidden), QStringList{"Zonkle.conf"});
    EXPECT_TRUE(app->isRunning());
}

// Twelve changes in a row, each leaving a different state: sensitivity in tenths, the
// index of the sound, paused.
struct PanelState {
    int tenths;
    int sound;
    bool paused;
    friend bool operator==(const PanelState&, const PanelState&) = default;
};

constexpr const char* changes = "slider-right 1; next-sound; toggle-pause; slider-right 1; next-sound; toggle-pause; "
                                "slider-left 1; next-sound; toggle-pause; slider-right 1; slider-right 1; toggle-pause";
constexpr std::array<PanelState, 13> statesAfter{{{5, 0, false},
                                                  {6, 0, false},
                                                  {6, 1, false},
                                                  {6, 1, true},
                                                  {7, 1, true},
                                                  {7, 2, true},
                                                  {7, 2, false},
                                                  {6, 2, false},
                                                  {6, 3, false},
                                                  {6, 3, true},
                                                  {7, 3, true},
                                                  {8, 3, true},
                                                  {8, 3, false}}};
constexpr std::array<const char*, 4> soundNames{"default", "anime-ahhh", "fart", "what_da_dog_doing"};

QByteArray pushLineFor(const PanelState& state) {
    return pushLine(QByteArray::number(state.tenths / 10.0, 'f', 1) + ", Sound: " + soundNames[state.sound] +
                    ", Paused: " + (state.paused ? "true" : "false"));
}

class KilledAfterChange : public SettingsFault, public testing::WithParamInterface<int> {};

TEST_P(KilledAfterChange, keepsEveryChangeThatReturnedAndTheNextLaunchSendsIt) {
    const int killedAfter = GetParam();
    start(QString::fromLatin1(changes));
    int done = 0;
    ASSERT_TRUE(app->waitForLine([&](const QByteArray& line) {
        return line.startsWith("robot: ") && line.endsWith(" done") && ++done == killedAfter;
    }));
    app->kill(); // at once: no chance to write anything on the way out

    // The file is whole and holds the state after that change or a later one.
    const QList<QByteArray> entries = generalEntries(tree.settingsBytes());
    int matching = -1;
    for (int after = killedAfter; after < static_cast<int>(statesAfter.size()); ++after) {
        const PanelState& state = statesAfter[after];
        QList<QByteArray> expected{"sensitivity=" + QByteArray::number(state.tenths / 10.0)};
        if (after >= 2) {
            expected.append(QByteArray("selectedSound=") + soundNames[state.sound]);
        }
        if (after >= 3) {
            expected.append(QByteArray("isPaused=") + (state.paused ? "true" : "false"));
        }
        std::sort(expected.begin(), expected.end());
        if (entries == expected) {
            matching = after;
        }
    }
    ASSERT_GE(matching, killedAfter) << tree.settingsBytes().toStdString();

    // The next launch configures the detector with exactly those values.
    RunningApp next(tree.installApp(QString::fromLatin1(ZONKLE_ROBOT)), tree.environment(""));
    EXPECT_TRUE(next.waitForLine(pushLineFor(statesAfter[matching])));
}

INSTANTIATE_TEST_SUITE_P(Kills, KilledAfterChange, testing::Values(1, 4, 8, 12),
                         [](const auto& info) { return "afterChange" + std::to_string(info.param); });

} // namespace
} // namespace zonkle::test
