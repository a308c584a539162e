// What makes Zonkle a good citizen of the desktop, against the real binaries in a sandbox: its
// command line, one instance per user, quitting on signals, what the shared setup gives every
// run, and the start-at-login entry.

#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/autostart.h"
#include "running_app.h"

namespace zonkle::test {
namespace {

const QByteArray startedLine = "Go daemon started successfully.";
const QByteArray firstConfig = R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})";

struct CommandLineCase {
    QStringList arguments;
    int status;
    QByteArray output;
    QByteArray error;
};

TEST(CommandLine, answersWithoutADisplayOrRejectsWithStatusTwo) {
    const std::vector<CommandLineCase> cases{
        {{"--help"}, 0, "Usage: zonkle [options]", ""},
        {{"-h"}, 0, "-v, --version", ""},
        {{"--version"}, 0, "zonkle " ZONKLE_VERSION "\n", ""},
        {{"-v"}, 0, "zonkle " ZONKLE_VERSION "\n", ""},
        {{"--bogus"}, 2, "", "zonkle: Unknown option 'bogus'.\nTry 'zonkle --help'"},
        {{"extra"}, 2, "", "zonkle: Unexpected argument 'extra'."},
    };
    const Sandbox sandbox;
    for (const CommandLineCase& c : cases) {
        QProcess zonkle;
        QProcessEnvironment environment = sandbox.environment();
        environment.insert("QT_QPA_PLATFORM", "xcb"); // and no DISPLAY: a QApplication would abort
        zonkle.setProcessEnvironment(environment);
        zonkle.start(sandbox.path("bin/zonkle"), c.arguments);
        ASSERT_TRUE(zonkle.waitForFinished()) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(zonkle.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(zonkle.exitCode(), c.status) << c.arguments.join(' ').toStdString();
        const QByteArray output = zonkle.readAllStandardOutput();
        EXPECT_TRUE(c.output.isEmpty() ? output.isEmpty() : output.contains(c.output)) << output.toStdString();
        EXPECT_TRUE(zonkle.readAllStandardError().startsWith(c.error)) << c.arguments.join(' ').toStdString();
    }
    EXPECT_TRUE(sandbox.recorded().isEmpty()); // no detector was started
}

TEST(SingleInstance, secondLaunchShowsThePanelOfTheFirstAndChangesNothing) {
    const Sandbox sandbox;
    sandbox.writeSettings("[General]\nsensitivity=1.5\n");
    RunningApp first(sandbox, "zonkle-robot");
    ASSERT_TRUE(first.waitForLine("robot: ready Quit"));
    ASSERT_FALSE(first.lines().contains("robot: panel shown"));
    const QFileInfo before(sandbox.settingsPath());

    RunningApp second(sandbox, "zonkle");
    EXPECT_EQ(second.waitForExit(), 0);
    EXPECT_EQ(second.standardError(), "Zonkle is already running; its panel is shown.\n");
    EXPECT_TRUE(first.waitForLine("robot: panel shown"));
    EXPECT_EQ(second.lines(), QList<QByteArray>{""}); // no detector, no settings push
    EXPECT_EQ(sandbox.settingsBytes(), "[General]\nsensitivity=1.5\n");
    EXPECT_EQ(QFileInfo(sandbox.settingsPath()).lastModified(), before.lastModified());
}

TEST(SingleInstance, aLockLeftByACrashDoesNotBlockTheNextLaunch) {
    const Sandbox sandbox;
    RunningApp crashed(sandbox, "zonkle-robot");
    ASSERT_TRUE(crashed.waitForLine("robot: ready Quit"));
    crashed.process.kill();
    crashed.process.waitForFinished();
    ASSERT_TRUE(QFile::exists(sandbox.path("run/zonkle.lock")));

    RunningApp next(sandbox, "zonkle-robot");
    ASSERT_TRUE(next.waitForLine("robot: ready Quit"));
    RunningApp third(sandbox, "zonkle");
    EXPECT_EQ(third.waitForExit(), 0);
    EXPECT_TRUE(next.waitForLine("robot: panel shown"));
}

class QuitSignal : public testing::TestWithParam<int> {};

TEST_P(QuitSignal, endsTheAppAsQuitDoesAndTheDetectorSeesTheEndOfItsInput) {
    const Sandbox sandbox;
    RunningApp zonkle(sandbox, "zonkle", "wait-stdin-eof");
    ASSERT_TRUE(zonkle.waitForLine(startedLine));
    ASSERT_TRUE(zonkle.waitFor([&] { return sandbox.recorded().contains(firstConfig); }));
    ::kill(static_cast<pid_t>(zonkle.process.processId()), GetParam());
    EXPECT_EQ(zonkle.waitForExit(), 0) << zonkle.standardError().toStdString();
    EXPECT_TRUE(eventually([&] { return sandbox.recorded().contains("<EOF>"); }));
    EXPECT_FALSE(QFile::exists(sandbox.path("run/zonkle.lock")));
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// What main sets up, the robot gets too: the translation of the locale, and SIGPIPE ignored.
TEST(SharedSetup, loadsTheTranslationOfTheLocale) {
    Sandbox sandbox;
    sandbox.locale = "de_DE.UTF-8";
    RunningApp robot(sandbox, "zonkle-robot");
    EXPECT_TRUE(robot.waitForLine("robot: ready Beenden")) << robot.standardError().toStdString();
}

TEST(SharedSetup, outlivesAReaderOfItsOutputThatWentAway) {
    const Sandbox sandbox;
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    ::close(output[0]); // every line the robot writes now meets a pipe without a reader
    RunningApp robot(sandbox, "zonkle-robot", {}, [output] { ::dup2(output[1], STDOUT_FILENO); });
    ::close(output[1]);
    robot.process.write("toggle-pause\ntoggle-pause\n");
    // The first config and both changes reach the detector, and the robot lives on.
    EXPECT_TRUE(robot.waitFor([&] { return sandbox.recorded().size() == 3; }));
    EXPECT_EQ(robot.process.state(), QProcess::Running);
}

TEST(Autostart, writesAnEntryThatTheDesktopStartsAndReadsItsStateFromTheFile) {
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const Autostart autostart(QStringLiteral("/opt/my apps/zonkle"));
    const QString entry = config.filePath("autostart/zonkle.desktop");
    EXPECT_EQ(autostart.entryPath(), entry);
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_FALSE(QFileInfo::exists(config.filePath("autostart"))); // reading writes nothing

    ASSERT_TRUE(autostart.setEnabled(true));
    EXPECT_TRUE(autostart.isEnabled());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    file.close();
    for (const char* line : {"Exec=\"/opt/my apps/zonkle\"\n", "TryExec=/opt/my apps/zonkle\n",
                             "X-KDE-autostart-after=panel\n", "X-GNOME-Autostart-Delay=2\n"}) {
        EXPECT_TRUE(contents.contains(line)) << line;
    }
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {entry}), 0);

    QFile::remove(entry); // by hand
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(autostart.setEnabled(true));
    ASSERT_TRUE(file.open(QIODevice::Append) && file.write("Hidden=true\n") > 0);
    file.close();
    EXPECT_FALSE(autostart.isEnabled()); // switched off by a settings tool
    EXPECT_TRUE(autostart.setEnabled(false));
    EXPECT_FALSE(QFileInfo::exists(entry));
    EXPECT_TRUE(autostart.setEnabled(false)); // nothing to remove
}

} // namespace
} // namespace zonkle::test
