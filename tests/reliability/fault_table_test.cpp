// The rows of the fault table (docs/RELIABILITY.md) that only the whole application can show: the
// application in its own process, the test daemon as its detector, real settings files, and the
// robot's user at its panel. The other rows are covered in tests/daemon_link/ and tests/state/.

#include <algorithm>
#include <gtest/gtest.h>

#include <QFile>

#include "running_app.h"

namespace zonkle::test {
namespace {

QByteArray config(const char* values) {
    return QByteArray(R"({"cmd":"config",)") + values + "}";
}

QByteArray pushLine(const char* values) {
    return QByteArray("Syncing Config -> Sensitivity: ") + values;
}

// The "key=value" lines of the file, sorted, read without QSettings.
QList<QByteArray> entries(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    lines.removeIf([](const QByteArray& line) { return line.isEmpty() || line.startsWith('['); });
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(DetectorFault, closedOutputLeavesItsInputWorking) {
    const Sandbox sandbox;
    RunningApp robot(sandbox, "zonkle-robot", "hits 1; close-stdout");
    ASSERT_TRUE(robot.waitForLine("Hit detected by Go daemon! #1"));
    robot.process.write("slider-right\n");
    ASSERT_TRUE(robot.waitForLine("robot: slider-right done"));
    EXPECT_TRUE(robot.waitFor(
        [&] { return sandbox.recorded().contains(config(R"("sensitivity":0.6,"sound":"default","paused":false)")); }));
    EXPECT_FALSE(robot.lines().join('\n').contains("Failed"));
}

// The shipped binary: a second launch shows its panel, which pushes to a detector long gone.
TEST(DetectorFault, shippedAppOutlivesADetectorThatExitsAtOnce) {
    const Sandbox sandbox;
    RunningApp zonkle(sandbox, "zonkle", "wait-stdin-lines 1; exit 3");
    ASSERT_TRUE(zonkle.waitFor([&] { return sandbox.recorded().size() == 1; })); // gone right after this
    RunningApp second(sandbox, "zonkle");
    ASSERT_EQ(second.waitForExit(), 0);
    ASSERT_TRUE(zonkle.waitForLine("Failed to write to stdin: Broken pipe"));
    EXPECT_GE(zonkle.lines().count(pushLine("0.5, Sound: default, Paused: false")), 2);
    EXPECT_EQ(zonkle.process.state(), QProcess::Running);
}

// A line of garbage and the NUL bytes a lost write can leave behind: every key that still parses
// is used and kept, and the garbage is gone after the first change.
TEST(SettingsFault, brokenFileKeepsWhatIsReadableAndStoresAChange) {
    const Sandbox sandbox;
    const char broken[] = "[General]\nsensitivity=1.5\n\x01\x02 not ini [[[\nselectedSound=fart\n\0\0\0\0";
    sandbox.writeSettings(QByteArray(broken, sizeof broken - 1));
    RunningApp robot(sandbox, "zonkle-robot");
    robot.process.write("toggle-pause\n");
    ASSERT_TRUE(robot.waitForLine("robot: toggle-pause done"));
    EXPECT_EQ(sandbox.recorded().value(0), config(R"("sensitivity":1.5,"sound":"fart","paused":false)"));
    EXPECT_TRUE(robot.lines().contains(pushLine("1.5, Sound: fart, Paused: true")));
    EXPECT_EQ(entries(sandbox.settingsBytes()),
              (QList<QByteArray>{"isPaused=true", "selectedSound=fart", "sensitivity=1.5"}));
}

// Killed right after the n-th of these changes, the file holds exactly the state after it, and
// the next launch sends those values.
const std::vector<std::pair<QByteArray, QList<QByteArray>>> changes{
    {"slider-right", {"sensitivity=0.6"}},
    {"next-sound", {"selectedSound=anime-ahhh", "sensitivity=0.6"}},
    {"toggle-pause", {"isPaused=true", "selectedSound=anime-ahhh", "sensitivity=0.6"}},
    {"slider-left", {"isPaused=true", "selectedSound=anime-ahhh", "sensitivity=0.5"}}};
const QList<QByteArray> configAfter{config(R"("sensitivity":0.6,"sound":"default","paused":false)"),
                                    config(R"("sensitivity":0.6,"sound":"anime-ahhh","paused":false)"),
                                    config(R"("sensitivity":0.6,"sound":"anime-ahhh","paused":true)"),
                                    config(R"("sensitivity":0.5,"sound":"anime-ahhh","paused":true)")};

class KilledAfterChange : public testing::TestWithParam<int> {};

TEST_P(KilledAfterChange, keepsEveryChangeThatReturnedAndTheNextLaunchSendsIt) {
    const int last = GetParam() - 1;
    const Sandbox sandbox;
    {
        RunningApp robot(sandbox, "zonkle-robot");
        for (int i = 0; i <= last; ++i) {
            robot.process.write(changes[i].first + "\n");
        }
        ASSERT_TRUE(robot.waitForLine("robot: " + changes[last].first + " done"));
    } // killed at once: no chance to write anything on the way out
    EXPECT_EQ(entries(sandbox.settingsBytes()), changes[last].second);
    QFile::remove(sandbox.path("records/stdin.txt"));
    RunningApp next(sandbox, "zonkle-robot");
    EXPECT_TRUE(next.waitFor([&] { return sandbox.recorded().value(0) == configAfter[last]; }));
}

INSTANTIATE_TEST_SUITE_P(Kills, KilledAfterChange, testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return "afterChange" + std::to_string(info.param); });

} // namespace
} // namespace zonkle::test
