#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "child_process.h"
#include "daemon_link/ipc_client.h"
#include "daemon_link/message_codec.h"
#include "helper_modes.h"
#include "settings_files.h"
#include "state/main_thread_poster.h"
#include "state/menu_bar_view_model.h"

namespace zonkle {
namespace {

using test::SettingsFiles;

constexpr int daemonTimeoutMs = 60'000;
constexpr const char* recordVariable = "ZONKLE_TEST_DAEMON_RECORD";
constexpr const char* actionsVariable = "ZONKLE_TEST_DAEMON_ACTIONS";
// Sent by the test daemon once it has read the first command.
constexpr const char* hitsAfterFirstCommand = "wait-stdin-lines 1; hits %1";

QStringList recordedLines(const QString& record) {
    return QString::fromUtf8(SettingsFiles::contents(record)).split('\n', Qt::SkipEmptyParts);
}

// Lines the daemon read, without the markers it records for end of input and signals.
std::vector<OutboundCommand> recordedCommands(const QString& record) {
    std::vector<OutboundCommand> commands;
    for (const QString& line : recordedLines(record)) {
        if (!line.startsWith('<')) {
            commands.push_back(
                decodeCommand(line.toStdString()).value_or(OutboundCommand{"<undecodable>", {}, {}, {}}));
        }
    }
    return commands;
}

bool waitForEndOfInput(const QString& record) {
    return QTest::qWaitFor([&] { return recordedLines(record).contains("<EOF>"); }, daemonTimeoutMs);
}

// Sets environment variables that the launched daemon inherits, for one test.
class ScopedEnvironment final {
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char*, QString>> variables) {
        for (const auto& [name, value] : variables) {
            qputenv(name, value.toUtf8());
            names.push_back(name);
        }
    }
    ~ScopedEnvironment() {
        for (const char* name : names) {
            qunsetenv(name);
        }
    }

private:
    std::vector<const char*> names;
};

// Log lines may come from the client's reader thread too.
class LogRecorder final {
public:
    LogSink sink() {
        return [this](std::string_view line) {
            const std::lock_guard lock(mutex);
            lines.emplace_back(line);
        };
    }
    std::vector<std::string> taken() {
        const std::lock_guard lock(mutex);
        return lines;
    }

private:
    std::mutex mutex;
    std::vector<std::string> lines;
};

TEST(ViewModelEndToEnd, configuresARealDaemonAndCountsTheHitsItReports) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString record = dir.filePath("daemon-stdin.txt");
    const ScopedEnvironment environment{{recordVariable, record},
                                        {actionsVariable, QString(hitsAfterFirstCommand).arg(3)}};
    SettingsFiles files;
    const QString settings = files.create("[General]\nsensitivity=1.1\nselectedSound=anime-ahhh\nisPaused=false\n");
    LogRecorder log;

    auto client = IpcClient::create(
        {qtMainThreadPoster(), [] { return std::filesystem::path(ZONKLE_TEST_DAEMON_PATH); }, log.sink()});
    auto viewModel = std::make_unique<MenuBarViewModel>(
        client, [&] { return SettingsStore::readDirect(*SettingsFiles::open(settings)); }, log.sink());

    ASSERT_TRUE(QTest::qWaitFor([&] { return viewModel->hitCount() == 3; }, daemonTimeoutMs));
    const std::vector<std::string> expectedLog{
        "Go daemon started successfully.", "Syncing Config -> Sensitivity: 1.1, Sound: anime-ahhh, Paused: false",
        "Hit detected by Go daemon! #1",   "Hit detected by Go daemon! #2",
        "Hit detected by Go daemon! #3",
    };
    EXPECT_EQ(log.taken(), expectedLog);

    // Tearing the view model down stops the daemon: "quit", then the end of its input.
    viewModel.reset();
    ASSERT_TRUE(waitForEndOfInput(record));
    const std::vector<OutboundCommand> expectedCommands{{"config", 1.1, "anime-ahhh", false},
                                                        {"quit", std::nullopt, std::nullopt, std::nullopt}};
    EXPECT_EQ(recordedCommands(record), expectedCommands);
}

// The application's own wiring: shared() in a process laid out like an installation, with
// thwack-core-daemon (the test daemon) beside it and settings in its XDG_CONFIG_HOME.
struct SharedLaunch {
    const char* name;
    bool settingsWrittenByAnEarlierProcess;
    OutboundCommand expectedConfig;
    const char* expectedSyncLine;

    friend void PrintTo(const SharedLaunch& launch, std::ostream* out) { *out << launch.name; }
};

class SharedViewModelLaunch : public testing::TestWithParam<SharedLaunch> {};

TEST_P(SharedViewModelLaunch, startsTheBundledDaemonWithTheStoredSettings) {
    const SharedLaunch& launch = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString app = root.filePath("bin/zonkle");
    const QString daemon = root.filePath("libexec/zonkle/thwack-core-daemon");
    ASSERT_TRUE(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("libexec/zonkle"));
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), app));
    ASSERT_TRUE(QFile::copy(ZONKLE_TEST_DAEMON_PATH, daemon));
    const QString configHome = root.filePath("config");
    QProcessEnvironment environment = test::environmentWithConfigHome(configHome);

    if (launch.settingsWrittenByAnEarlierProcess) {
        test::ChildProcess writer({test::writeSettingsMode}, environment);
        ASSERT_TRUE(writer.waitForLine(test::settingsWrittenLine)) << writer.output().data();
        writer.kill();
    }

    const QString record = root.filePath("daemon-stdin.txt");
    environment.insert(recordVariable, record);
    environment.insert(actionsVariable, QString(hitsAfterFirstCommand).arg(2));
    test::ChildProcess application(app, {test::sharedViewModelMode, "2"}, environment);
    ASSERT_TRUE(application.waitForSuccess()) << application.output().data();

    const QByteArray expectedOutput = QByteArray("Go daemon started successfully.\n") + launch.expectedSyncLine +
                                      "\nHit detected by Go daemon! #1\nHit detected by Go daemon! #2\n" +
                                      test::sharedHitsLinePrefix + "2\n";
    EXPECT_EQ(application.output(), expectedOutput);
    // The shared view model is never torn down: no "quit", the daemon's input just ends.
    ASSERT_TRUE(waitForEndOfInput(record));
    EXPECT_EQ(recordedCommands(record), std::vector<OutboundCommand>{launch.expectedConfig});
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

} // namespace
} // namespace zonkle
