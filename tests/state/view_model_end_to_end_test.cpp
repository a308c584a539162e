#include <gtest/gtest.h>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "daemon_link/message_codec.h"
#include "test_support.h"

namespace zonkle {
namespace {

using namespace test;

// The lines the daemon read, once its input has ended ("<EOF>" and other markers left out).
std::vector<OutboundCommand> commandsReadByDaemon(const QString& record) {
    QStringList lines;
    const bool ended = QTest::qWaitFor(
        [&] {
            return (lines = QString::fromUtf8(fileContents(record)).split('\n', Qt::SkipEmptyParts)).contains("<EOF>");
        },
        childTimeoutMs);
    EXPECT_TRUE(ended) << lines.join('\n').toStdString();
    std::vector<OutboundCommand> commands;
    for (const QString& line : lines) {
        if (!line.startsWith('<')) {
            commands.push_back(
                decodeCommand(line.toStdString()).value_or(OutboundCommand{line.toStdString(), {}, {}, {}}));
        }
    }
    return commands;
}

// MenuBarViewModel::shared() in a copy of this binary laid out as installed, bin/zonkle beside
// libexec/zonkle/thwack-core-daemon (the test daemon), first with nothing stored, then after
// another process stored settings. The daemon link's threads live only in that child.
TEST(ViewModelEndToEnd, sharedViewModelStartsTheBundledDaemonWithTheStoredSettingsAndCountsItsHits) {
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "settings stored" : "nothing stored");
        QTemporaryDir root;
        const QString app = root.filePath("bin/zonkle");
        const QString record = root.filePath("daemon-stdin.txt");
        ASSERT_TRUE(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("libexec/zonkle"));
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), app));
        ASSERT_TRUE(QFile::copy(ZONKLE_TEST_DAEMON_PATH, root.filePath("libexec/zonkle/thwack-core-daemon")));
        QProcessEnvironment environment = environmentWithConfigHome(root.filePath("config"));
        if (stored) {
            const auto writer = startChild({writeSettingsMode}, environment);
            ASSERT_TRUE(waitForLine(*writer, settingsWrittenLine));
            writer->kill();
            writer->waitForFinished(childTimeoutMs);
        }

        environment.insert("ZONKLE_TEST_DAEMON_RECORD", record);
        environment.insert("ZONKLE_TEST_DAEMON_ACTIONS", QString("wait-stdin-lines 1; hits %1").arg(sharedModeHits));
        const auto application = startChild({sharedViewModelMode}, environment, app);
        ASSERT_TRUE(application->waitForFinished(childTimeoutMs));
        EXPECT_EQ(application->exitCode(), 0);

        const SettingsValues sent = stored ? helperValues() : SettingsValues{0.5, "default", false};
        const QByteArray syncLine = stored ? "Syncing Config -> Sensitivity: 1.3, Sound: fart, Paused: true\n"
                                           : "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false\n";
        EXPECT_EQ(application->readAllStandardOutput(),
                  "Go daemon started successfully.\n" + syncLine +
                      "Hit detected by Go daemon! #1\nHit detected by Go daemon! #2\n");
        // Never torn down: no "quit", the daemon's input just ends with the process.
        const OutboundCommand config{"config", sent.sensitivity, sent.sound.toStdString(), sent.paused};
        EXPECT_EQ(commandsReadByDaemon(record), std::vector<OutboundCommand>{config});
    }
}

} // namespace
} // namespace zonkle
