// The detector rows of the fault table: the application in its own process, its detector
// the test daemon (or a file that is no detector at all), a scripted user at its panel.
// For each fault: what the application logs, that it keeps running and still answers a
// settings change after the fault, and that the change is stored.

#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include "install_tree.h"
#include "running_app.h"

namespace zonkle::test {
namespace {

using Detector = InstallTree::Detector;

const QByteArray startedLine = "Go daemon started successfully.";
const QByteArray firstPushLine = "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false";
const QByteArray changedPushLine = "Syncing Config -> Sensitivity: 0.6, Sound: default, Paused: false";
const QByteArray changedConfig = R"({"cmd":"config","sensitivity":0.6,"sound":"default","paused":false})";
const QByteArray decodeFailureLine = "Failed to decode JSON from Go daemon stdout.";
const QByteArray writeFailurePrefix = "Failed to write to stdin: ";
const QByteArray brokenPipeLine = "Failed to write to stdin: Broken pipe";
const QByteArray hitPrefix = "Hit detected by Go daemon! #";
// The user waits for the test's go, then moves the slider one step (0.5 -> 0.6).
const QString oneChangeOnGo = "wait-go; slider-right 1";

class DetectorFault : public testing::Test {
protected:
    void start(Detector detector, const QString& daemonActions, const QString& robotActions = oneChangeOnGo,
               const QString& program = QString::fromLatin1(ZONKLE_ROBOT)) {
        tree.installDetector(detector);
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

    // Waits until the detector process has ended and been reaped (no zombie left).
    bool detectorGone() {
        return app->waitFor([&] { return app->children().empty(); });
    }

    InstallTree tree;
    std::unique_ptr<RunningApp> app;
};

struct LaunchFault {
    const char* name;
    Detector detector;
    QByteArray logLine;
    friend void PrintTo(const LaunchFault& row, std::ostream* out) { *out << row.name; }
};

class DetectorLaunchFault : public DetectorFault, public testing::WithParamInterface<LaunchFault> {};

TEST_P(DetectorLaunchFault, logsWhyItCouldNotStartAndKeepsStoringAndPushingChanges) {
    start(GetParam().detector, "");
    ASSERT_TRUE(app->waitForLine(firstPushLine));
    EXPECT_EQ(app->lines().first(), GetParam().logLine);
    EXPECT_TRUE(app->children().empty());

    userChangesSensitivity();
    EXPECT_TRUE(containsInOrder(app->lines(), {GetParam().logLine, firstPushLine, changedPushLine}));
    // With no detector the pushes go into a pipe nobody reads, silently.
    EXPECT_EQ(countStartingWith(app->lines(), writeFailurePrefix), 0);
    EXPECT_EQ(countStartingWith(app->lines(), startedLine), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DetectorLaunchFault,
    testing::Values(LaunchFault{"missing", Detector::missing,
                                "Failed to find thwack-core-daemon in application bundle. Check Build Phases."},
                    LaunchFault{"notExecutable", Detector::notExecutable,
                                "Failed to start Go daemon: Permission denied"},
                    LaunchFault{"textFileWithoutInterpreter", Detector::textWithoutInterpreter,
                                "Failed to start Go daemon: Exec format error"}),
    [](const auto& info) { return std::string(info.param.name); });

struct EndingFault {
    const char* name;
    const char* daemonActions;
    QList<QByteArray> linesBeforeTheEnd;
    friend void PrintTo(const EndingFault& row, std::ostream* out) { *out << row.name; }
};

class DetectorEndingFault : public DetectorFault, public testing::WithParamInterface<EndingFault> {};

TEST_P(DetectorEndingFault, reapsItAndReportsLaterPushesAsFailedWritesWithoutDying) {
    start(Detector::testDaemon, QString::fromLatin1(GetParam().daemonActions));
    ASSERT_TRUE(app->waitForLine(startedLine));
    ASSERT_TRUE(detectorGone());

    userChangesSensitivity();
    QList<QByteArray> expected{startedLine, firstPushLine};
    expected += GetParam().linesBeforeTheEnd;
    expected += {changedPushLine, brokenPipeLine};
    EXPECT_TRUE(containsInOrder(app->lines(), expected)) << app->lines().join('\n').toStdString();
    // The half line written before the crash is never decoded, nor reported.
    EXPECT_EQ(countStartingWith(app->lines(), decodeFailureLine), 0);
    EXPECT_EQ(countStartingWith(app->lines(), hitPrefix), GetParam().linesBeforeTheEnd.size());
}

INSTANTIATE_TEST_SUITE_P(Rows, DetectorEndingFault,
                         testing::Values(EndingFault{"exitsAtOnce", "exit 3", {}},
                                         EndingFault{"crashesInTheMiddleOfALine",
                                                     R"(hits 2; write {"type":"ev; crash)",
                                                     {hitPrefix + "1", hitPrefix + "2"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetectorFault, closedOutputLeavesItsInputWorking) {
    start(Detector::testDaemon, "hits 1; close-stdout");
    ASSERT_TRUE(app->waitForLine(hitPrefix + "1"));

    userChangesSensitivity();
    ASSERT_TRUE(app->waitFor([&] { return tree.recorded().contains(changedConfig); }));
    EXPECT_FALSE(app->children().empty()); // still running, and nothing restarted it
    EXPECT_EQ(countStartingWith(app->lines(), "Failed"), 0);
}

TEST_F(DetectorFault, floodWithoutLineFeedsCostsOneLogLineAndBoundedMemory) {
    constexpr long floodBytes = 256L * 1024 * 1024;
    constexpr long allowedGrowthKiB = 48 * 1024;
    // The flood starts with the user's first change, so the memory before it is known.
    start(Detector::testDaemon, "wait-stdin-lines 2; flood " + QString::number(floodBytes) + R"(; write \n; hits 1)",
          "wait-go; slider-right 1; wait-go; slider-right 1");
    ASSERT_TRUE(app->waitForLine(firstPushLine));
    const long before = app->peakResidentKiB();
    app->write("go\n");
    ASSERT_TRUE(app->waitForLine(hitPrefix + "1"));
    const long growth = app->peakResidentKiB() - before;

    EXPECT_EQ(countStartingWith(app->lines(), decodeFailureLine), 1);
    EXPECT_LT(growth, allowedGrowthKiB);
    RecordProperty("peakResidentGrowthKiB", std::to_string(growth));
    app->write("go\n");
    ASSERT_TRUE(app->waitForLine("robot: finished"));
    EXPECT_EQ(storedSensitivity(), "0.7");
    EXPECT_TRUE(app->isRunning());
}

TEST_F(DetectorFault, floodOfHitsIsCountedInFullWhileTheAppKeepsAnswering) {
    constexpr int hits = 300'000;
    start(Detector::testDaemon, "wait-stdin-lines 1; hits " + QString::number(hits));
    ASSERT_TRUE(app->waitForLine(hitPrefix + "1"));
    app->write("go\n");
    ASSERT_TRUE(app->waitForLine(hitPrefix + QByteArray::number(hits)));
    ASSERT_TRUE(app->waitForLine("robot: finished"));

    // Every hit once, in order, and the user's change was handled while hits were still coming.
    const auto& lines = app->lines();
    int counted = 0;
    qsizetype robotDone = -1;
    qsizetype lastHit = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(hitPrefix)) {
            ASSERT_EQ(lines[i], hitPrefix + QByteArray::number(++counted));
            lastHit = i;
        } else if (lines[i] == "robot: slider-right 1 done") {
            robotDone = i;
        }
    }
    EXPECT_EQ(counted, hits);
    EXPECT_GE(robotDone, 0);
    EXPECT_LT(robotDone, lastHit);
    EXPECT_EQ(storedSensitivity(), "0.6");
    EXPECT_TRUE(app->isRunning());
}

TEST_F(DetectorFault, detectorThatStopsReadingNeverFreezesTheAppNorCostsAStoredSetting) {
    // A stored sound name this long (forwarded unchanged) fills the pipe in a few pushes.
    const QByteArray longSound(30'000, 's');
    tree.writeSettings("[General]\nselectedSound=" + longSound + "\n");
    constexpr int changes = 5;
    start(Detector::testDaemon, "pause-stdin", "slider-right " + QString::number(changes));
    ASSERT_TRUE(app->waitForLine("robot: finished"));

    EXPECT_GE(countStartingWith(app->lines(), "Failed to write to stdin: Resource temporarily unavailable"), 1);
    EXPECT_EQ(storedSensitivity(), "1");
    QTemporaryDir copyDirectory;
    QFile::copy(tree.settingsPath(), copyDirectory.filePath("copy.conf"));
    EXPECT_EQ(QSettings(copyDirectory.filePath("copy.conf"), QSettings::IniFormat).value("selectedSound").toByteArray(),
              longSound);

    // Once it reads again it gets whole lines only: every push that was not refused, complete.
    const auto detectors = app->children();
    ASSERT_EQ(detectors.size(), 1u);
    ::kill(detectors.front(), SIGUSR1);
    const qsizetype refused = countStartingWith(app->lines(), writeFailurePrefix);
    const qsizetype accepted = 1 + changes - refused;
    ASSERT_TRUE(app->waitFor([&] { return tree.recorded().size() >= accepted; }));
    const auto recorded = tree.recorded();
    EXPECT_EQ(recorded.size(), accepted);
    for (const QByteArray& line : recorded) {
        const QJsonObject config = QJsonDocument::fromJson(line).object();
        EXPECT_EQ(config.value("cmd").toString(), "config") << line.left(80).toStdString();
        EXPECT_EQ(config.value("sound").toString().size(), longSound.size());
    }
    EXPECT_TRUE(app->isRunning());
}

TEST_F(DetectorFault, binaryGarbageAndInvalidUtf8CostOneLogLinePerLine) {
    start(Detector::testDaemon, R"(write \x00\x01\xfe\xff garbage\n; line {"type":"event","action":"h\xffit"}; )"
                                R"(line {"type":"\xc3\x28"}; write \xef\xbb\xbf\xff\xfe\x80\n; hits 1)");
    ASSERT_TRUE(app->waitForLine(hitPrefix + "1"));
    EXPECT_TRUE(containsInOrder(app->lines(), {startedLine, decodeFailureLine, decodeFailureLine, decodeFailureLine,
                                               decodeFailureLine, hitPrefix + "1"}));
    EXPECT_EQ(countStartingWith(app->lines(), decodeFailureLine), 4);
    userChangesSensitivity();
}

// The shipped binary, not the scripted one: without a tray it shows its panel in a window
// after a few seconds, and that appearance pushes the settings to a detector long gone.
TEST_F(DetectorFault, shippedAppOutlivesADetectorThatExitsAtOnce) {
    start(Detector::testDaemon, "exit 3", {}, QString::fromLatin1(ZONKLE_APP));
    ASSERT_TRUE(app->waitForLine(startedLine));
    ASSERT_TRUE(detectorGone());
    ASSERT_TRUE(app->waitFor([&] { return app->standardError().contains("no system tray found"); }));
    ASSERT_TRUE(app->waitForLine(brokenPipeLine));
    EXPECT_GE(countStartingWith(app->lines(), "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false"), 2);
    EXPECT_TRUE(app->isRunning());
}

} // namespace
} // namespace zonkle::test
