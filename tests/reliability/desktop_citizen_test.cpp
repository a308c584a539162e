// What makes Zonkle a good citizen of the desktop, against the real binaries in a sandbox: its
// command line, one instance per user, quitting on signals, what the shared setup gives every
// run, and the start-at-login entry.

#include <csignal>
#include <gtest/gtest.h>
#include <tuple>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "running_app.h"

namespace zonkle::test {
namespace {

const QByteArray startedLine = "Go daemon started successfully.";
const QByteArray firstConfig = R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})";
const QByteArray pushLine = "Syncing Config -> Sensitivity: 1.5, Sound: default, Paused: false";

// Each answer starts with the text given, on standard output for status 0, else on standard error.
TEST(CommandLine, answersWithoutADisplayOrRejectsWithStatusTwo) {
    const std::vector<std::tuple<QString, int, QByteArray>> cases{
        {"--help", 0, "Usage: zonkle [options]\n"},
        {"-h", 0, "Usage: zonkle [options]\n"},
        {"--version", 0, "zonkle " ZONKLE_VERSION "\n"},
        {"-v", 0, "zonkle " ZONKLE_VERSION "\n"},
        {"--bogus", 2, "zonkle: Unknown option 'bogus'.\nTry 'zonkle --help'"},
        {"extra", 2, "zonkle: Unexpected argument 'extra'.\n"}};
    const Sandbox sandbox;
    for (const auto& [argument, status, answer] : cases) {
        QProcess zonkle;
        QProcessEnvironment environment = sandbox.environment();
        environment.insert("QT_QPA_PLATFORM", "xcb"); // and no DISPLAY: a QApplication would abort
        zonkle.setProcessEnvironment(environment);
        zonkle.start(sandbox.path("bin/zonkle"), {argument});
        ASSERT_TRUE(zonkle.waitForFinished() && zonkle.exitStatus() == QProcess::NormalExit);
        EXPECT_EQ(zonkle.exitCode(), status) << argument.toStdString();
        EXPECT_TRUE((status == 0 ? zonkle.readAllStandardOutput() : zonkle.readAllStandardError()).startsWith(answer))
            << argument.toStdString();
    }
    EXPECT_TRUE(sandbox.recorded().isEmpty()); // no detector was started
}

// A crash leaves the lock and the socket behind; the next launch runs all the same, and the one
// after it shows that one's panel (its appearance pushes the settings) and changes nothing.
TEST(SingleInstance, secondLaunchShowsThePanelOfTheFirstEvenAfterACrash) {
    const Sandbox sandbox;
    sandbox.writeSettings("[General]\nsensitivity=1.5\n");
    RunningApp crashed(sandbox, "zonkle-robot");
    ASSERT_TRUE(crashed.waitForLine("robot: ready Quit"));
    crashed.process.kill();
    crashed.process.waitForFinished();
    RunningApp first(sandbox, "zonkle-robot");
    ASSERT_TRUE(first.waitForLine("robot: ready Quit"));
    const QDateTime modified = QFileInfo(sandbox.settingsPath()).lastModified();

    RunningApp second(sandbox, "zonkle");
    EXPECT_EQ(second.waitForExit(), 0);
    EXPECT_EQ(second.standardError(), "Zonkle is already running; its panel is shown.\n");
    EXPECT_EQ(second.lines(), QList<QByteArray>{""}); // no detector, no push
    EXPECT_TRUE(first.waitFor([&] { return first.lines().count(pushLine) == 2; }));
    EXPECT_EQ(sandbox.settingsBytes(), "[General]\nsensitivity=1.5\n");
    EXPECT_EQ(QFileInfo(sandbox.settingsPath()).lastModified(), modified);
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

// The sandbox's path holds a space, so the entry's Exec line must quote the program.
TEST(Autostart, startAtLoginWritesAnEntryAndTheMenuReadsItsStateFromTheFile) {
    const Sandbox sandbox;
    const QString entry = sandbox.path("config/autostart/zonkle.desktop");
    RunningApp robot(sandbox, "zonkle-robot");
    qsizetype asked = 0;
    const auto menuSays = [&](const QByteArray& state) {
        robot.process.write("login?\n");
        QList<QByteArray> answers;
        robot.waitFor([&] {
            answers = robot.lines();
            answers.removeIf([](const QByteArray& line) { return !line.startsWith("robot: start at login "); });
            return answers.size() == asked + 1;
        });
        return answers.size() == ++asked && answers.last() == "robot: start at login " + state;
    };
    EXPECT_TRUE(menuSays("off"));
    EXPECT_FALSE(QFileInfo::exists(sandbox.path("config/autostart"))); // nothing written unasked

    robot.process.write("login\n");
    ASSERT_TRUE(robot.waitForLine("robot: login done"));
    const QString program = sandbox.path("bin/zonkle-robot");
    for (const QString& line :
         {"Exec=\"" + program + "\"", "TryExec=" + program, QString("X-KDE-autostart-after=panel")}) {
        EXPECT_TRUE(fileContents(entry).split('\n').contains(line.toUtf8())) << line.toStdString();
    }
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {entry}), 0);
    EXPECT_TRUE(menuSays("on"));
    QFile::remove(entry); // by hand
    EXPECT_TRUE(menuSays("off"));

    robot.process.write("login\n");
    EXPECT_TRUE(menuSays("on"));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::Append) && file.write("Hidden=true\n") > 0);
    file.close();
    EXPECT_TRUE(menuSays("off"));          // switched off by a desktop's settings tool
    robot.process.write("login\nlogin\n"); // on (written anew), then off
    EXPECT_TRUE(menuSays("off"));
    EXPECT_FALSE(QFileInfo::exists(entry));
}

} // namespace
} // namespace zonkle::test
