#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "child_process.h"
#include "daemon_link/message_codec.h"
#include "helper_modes.h"
#include "settings_files.h"

namespace zonkle {
namespace {

constexpr int daemonTimeoutMs = 60'000;
// The test daemon's hits follow the first command it reads.
constexpr const char* hitsAfterFirstCommand = "wait-stdin-lines 1; hits %1";
constexpr int hitsPerRun = 2;

// The application laid out as installed: bin/zonkle with libexec/zonkle/thwack-core-daemon
// (the test daemon) beside it, run with its own XDG_CONFIG_HOME. The daemon link's threads
// live only in that child, so this process never forks while they run.
class InstalledApplication : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("libexec/zonkle"));
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), app));
        ASSERT_TRUE(QFile::copy(ZONKLE_TEST_DAEMON_PATH, root.filePath("libexec/zonkle/thwack-core-daemon")));
        environment = test::environmentWithConfigHome(root.filePath("config"));
    }

    // Runs the application's copy in a helper mode, with the test daemon recording its input
    // and answering the first command with hitsPerRun hits.
    QByteArray runApplication(const char* mode) {
        QProcessEnvironment daemonEnvironment = environment;
        daemonEnvironment.insert("ZONKLE_TEST_DAEMON_RECORD", record);
        daemonEnvironment.insert("ZONKLE_TEST_DAEMON_ACTIONS", QString(hitsAfterFirstCommand).arg(hitsPerRun));
        test::ChildProcess application(app, {mode, QString::number(hitsPerRun)}, daemonEnvironment);
        EXPECT_TRUE(application.waitForSuccess()) << application.output().data();
        return application.output();
    }

    // The lines the daemon read, once its input has ended.
    std::vector<OutboundCommand> commandsReadByDaemon() const {
        QStringList lines;
        const bool ended = QTest::qWaitFor(
            [&] {
                lines = QString::fromUtf8(test::SettingsFiles::contents(record)).split('\n', Qt::SkipEmptyParts);
                return lines.contains("<EOF>");
            },
            daemonTimeoutMs);
        EXPECT_TRUE(ended) << lines.join('\n').toStdString();
        std::vector<OutboundCommand> commands;
        for (const QString& line : lines) {
            // "<EOF>", "<SIGTERM>": what happened to the daemon, not what it read.
            if (!line.startsWith('<')) {
                commands.push_back(
                    decodeCommand(line.toStdString()).value_or(OutboundCommand{line.toStdString(), {}, {}, {}}));
            }
        }
        return commands;
    }

    QTemporaryDir root;
    QString app = root.filePath("bin/zonkle");
    QString record = root.filePath("daemon-stdin.txt");
    QProcessEnvironment environment;
};

// One launch of the shared view model, and what it must send and log.
struct SharedLaunch {
    const char* name;
    bool settingsWrittenByAnEarlierProcess;
    OutboundCommand expectedConfig;
    const char* expectedSyncLine;

    friend void PrintTo(const SharedLaunch& launch, std::ostream* out) { *out << launch.name; }
};

class SharedViewModelLaunch : public InstalledApplication, public testing::WithParamInterface<SharedLaunch> {};

TEST_P(SharedViewModelLaunch, startsTheBundledDaemonWithTheStoredSettingsAndCountsItsHits) {
    const SharedLaunch& launch = GetParam();
    if (launch.settingsWrittenByAnEarlierProcess) {
        test::ChildProcess writer({test::writeSettingsMode}, environment);
        ASSERT_TRUE(writer.waitForLine(test::settingsWrittenLine)) << writer.output().data();
        writer.kill();
    }

    const QByteArray output = runApplication(test::sharedViewModelMode);

    EXPECT_EQ(output, QByteArray("Go daemon started successfully.\n") + launch.expectedSyncLine +
                          "\nHit detected by Go daemon! #1\nHit detected by Go daemon! #2\n" +
                          test::sharedHitsLinePrefix + "2\n");
    // The shared view model is never torn down: no "quit", the daemon's input just ends.
    EXPECT_EQ(commandsReadByDaemon(), std::vector<OutboundCommand>{launch.expectedConfig});
}

INSTANTIATE_TEST_SUITE_P(
    Launches, SharedViewModelLaunch,
    testing::Values(SharedLaunch{"firstLaunchSendsPanelDefaults",
                                 false,
                                 {"config", 0.5, "default", false},
                                 "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false"},
                    SharedLaunch{"laterLaunchSendsWhatAnEarlierProcessStored",
                                 true,
                                 {"config", 1.3, "fart", true},
                                 "Syncing Config -> Sensitivity: 1.3, Sound: fart, Paused: true"}),
    [](const testing::TestParamInfo<SharedLaunch>& info) { return std::string(info.param.name); });

TEST_F(InstalledApplication, destroyedViewModelSendsQuitAndEndsTheDaemonsInput) {
    const QByteArray output = runApplication(test::ownedViewModelMode);

    EXPECT_EQ(output, QByteArray("Go daemon started successfully.\n"
                                 "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false\n"
                                 "Hit detected by Go daemon! #1\nHit detected by Go daemon! #2\n") +
                          test::viewModelDestroyedLine + "\n");
    const std::vector<OutboundCommand> expected{{"config", 0.5, "default", false},
                                                {"quit", std::nullopt, std::nullopt, std::nullopt}};
    EXPECT_EQ(commandsReadByDaemon(), expected);
}

} // namespace
} // namespace zonkle
