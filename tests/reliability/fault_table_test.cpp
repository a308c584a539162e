// The rows of the fault table (docs/RELIABILITY.md) that only the whole application can show: the
// application in its own process, the test daemon as its detector, real settings files, and the
// robot's user at its panel. The other rows are covered in tests/daemon_link/ and tests/state/.

#include <algorithm>
#include <tuple>

#include "running_app.h"

namespace zonkle::test {
namespace {

QByteArray config(const QByteArray& values) {
    return R"({"cmd":"config",)" + values + "}";
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
    RunningApp robot(sandbox, {"zonkle-robot"}, "hits 1; close-stdout");
    ASSERT_TRUE(robot.waitFor([&] { return robot.lines().contains("Hit detected by Go daemon! #1"); }));
    EXPECT_EQ(robot.ask("slider-right"), "done");
    EXPECT_TRUE(robot.waitFor([&] {
        return sandbox.recorded().value(1) == config(R"("sensitivity":0.6,"sound":"default","paused":false)");
    }));
}

// A line of garbage and the NUL bytes a lost write can leave behind: every key that still parses
// is used and kept, and the garbage is gone after the first change.
TEST(SettingsFault, brokenFileKeepsWhatIsReadableAndStoresAChange) {
    const Sandbox sandbox;
    const char broken[] = "[General]\nsensitivity=1.5\n\x01\x02 not ini [[[\nselectedSound=fart\n\0\0\0\0";
    ASSERT_TRUE(appendToFile(sandbox.settingsPath(), QByteArray(broken, sizeof broken - 1)));
    RunningApp robot(sandbox, {"zonkle-robot"});
    EXPECT_EQ(robot.ask("toggle-pause"), "done");
    EXPECT_TRUE(robot.waitFor([&] {
        return sandbox.recorded() == QList{config(R"("sensitivity":1.5,"sound":"fart","paused":false)"),
                                           config(R"("sensitivity":1.5,"sound":"fart","paused":true)")};
    }));
    EXPECT_EQ(entries(fileContents(sandbox.settingsPath())),
              (QList<QByteArray>{"isPaused=true", "selectedSound=fart", "sensitivity=1.5"}));
}

// Killed right after each of these changes in turn, the file holds exactly the state after it,
// and the next launch sends that state.
TEST(KilledAfterChange, keepsEveryChangeThatReturnedAndTheNextLaunchSendsIt) {
    const std::vector<std::tuple<QByteArray, QByteArray, QByteArray>> changes{
        {"slider-right", "sensitivity=0.6", R"("sensitivity":0.6,"sound":"default","paused":false)"},
        {"next-sound", "selectedSound=anime-ahhh", R"("sensitivity":0.6,"sound":"anime-ahhh","paused":false)"},
        {"toggle-pause", "isPaused=true", R"("sensitivity":0.6,"sound":"anime-ahhh","paused":true)"}};
    const Sandbox sandbox;
    QList<QByteArray> stored;
    for (const auto& [action, entry, state] : changes) {
        SCOPED_TRACE(action.toStdString());
        {
            RunningApp robot(sandbox, {"zonkle-robot"});
            ASSERT_EQ(robot.ask(action), "done");
        } // killed at once: no chance to write anything on the way out
        stored.append(entry);
        std::sort(stored.begin(), stored.end());
        EXPECT_EQ(entries(fileContents(sandbox.settingsPath())), stored);
        QFile::remove(sandbox.path("stdin.txt"));
        RunningApp next(sandbox, {"zonkle"});
        ASSERT_TRUE(next.waitFor([&] { return !sandbox.recorded().isEmpty(); }));
        EXPECT_EQ(sandbox.recorded().value(0), config(state));
    }
}

} // namespace
} // namespace zonkle::test
