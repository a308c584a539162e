// The detector rows of the fault table that only the whole application can show: the
// application in its own process, its detector the test daemon, a scripted user at its panel.
// The other rows are covered against the process client alone in tests/daemon_link/.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "install_tree.h"
#include "running_app.h"

namespace zonkle::test {
namespace {

const QByteArray startedLine = "Go daemon started successfully.";
const QByteArray changedConfig = R"({"cmd":"config","sensitivity":0.6,"sound":"default","paused":false})";
const QByteArray brokenPipeLine = "Failed to write to stdin: Broken pipe";
const QByteArray hitPrefix = "Hit detected by Go daemon! #";

class DetectorFault : public testing::Test {
protected:
    // The user waits for the test's go, then moves the slider one step (0.5 -> 0.6).
    void start(const QString& daemonActions, const QString& robotActions = "wait-go; slider-right 1",
               const QString& program = QString::fromLatin1(ZONKLE_ROBOT)) {
        tree.installDetector();
        app = std::make_unique<RunningApp>(tree.installApp(program), tree.environment(daemonActions, robotActions));
    }

    // The user's change after the fault: the application must still answer and store it.
    void userChangesSensitivity() {
        app->write("go\n");
        ASSERT_TRUE(app->waitForLine("robot: finished")) << app->standardError().toStdString();
        EXPECT_TRUE(app->isRunning());
        EXPECT_EQ(storedSensitivity(), "0.6");
    }

    QString storedSensitivity() const {
        // A copy at a new path, so this process's QSettings cache cannot answer instead of the file.
        QTemporaryDir copyDirectory;
        const QString copy = copyDirectory.filePath("copy.conf");
        QFile::copy(tree.settingsPath(), copy);
        return QSettings(copy, QSettings::IniFormat).value("sensitivity").toString();
    }

    InstallTree tree;
    std::unique_ptr<RunningApp> app;
};

TEST_F(DetectorFault, closedOutputLeavesItsInputWorking) {
    start("hits 1; close-stdout");
    ASSERT_TRUE(app->waitForLine(hitPrefix + "1"));

    userChangesSensitivity();
    ASSERT_TRUE(app->waitFor([&] { return tree.recorded().contains(changedConfig); }));
    EXPECT_FALSE(app->children().empty()); // still running, and nothing restarted it
    EXPECT_EQ(countStartingWith(app->lines(), "Failed"), 0);
}

// The shipped binary, not the scripted one: without a tray it shows its panel in a window
// after a few seconds, and that appearance pushes the settings to a detector long gone.
TEST_F(DetectorFault, shippedAppOutlivesADetectorThatExitsAtOnce) {
    start("exit 3", {}, QString::fromLatin1(ZONKLE_APP));
    ASSERT_TRUE(app->waitForLine(startedLine));
    ASSERT_TRUE(app->waitFor([&] { return app->children().empty(); })); // reaped: no zombie
    ASSERT_TRUE(app->waitFor([&] { return app->standardError().contains("no system tray found"); }));
    ASSERT_TRUE(app->waitForLine(brokenPipeLine));
    EXPECT_GE(countStartingWith(app->lines(), "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false"), 2);
    EXPECT_TRUE(app->isRunning());
}

} // namespace
} // namespace zonkle::test
