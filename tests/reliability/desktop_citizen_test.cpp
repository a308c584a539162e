// What makes Zonkle a good citizen of the desktop, against the real binaries in a sandbox: its
// command line, one instance per user, quitting on signals, what the shared setup gives every
// run, and the start-at-login entry.

#include <csignal>
#include <cstring>
#include <tuple>
#include <unistd.h>

#include <QFileInfo>

#include "running_app.h"

namespace zonkle::test {
namespace {

// Each answer starts with the text given, on standard output for status 0, else on standard
// error; none needs a display (with xcb and no DISPLAY a QApplication would abort). Qt's own
// options are passed on to Qt.
TEST(CommandLine, answersWithoutADisplayOrRejectsWithStatusTwo) {
    const Sandbox sandbox;
    for (const auto& [argument, status, answer] : std::vector<std::tuple<QString, int, QByteArray>>{
             {"--help", 0, "Usage: zonkle [options]\n"},
             {"-v", 0, "zonkle " ZONKLE_VERSION "\n"},
             {"--bogus", 2, "zonkle: Unknown option 'bogus'.\nTry 'zonkle --help'"},
             {"extra", 2, "zonkle: Unexpected argument 'extra'.\n"}}) {
        RunningApp zonkle(sandbox, {"zonkle", "-platform", "xcb", argument});
        EXPECT_EQ(zonkle.waitForExit(), status) << argument.toStdString();
        EXPECT_TRUE((status == 0 ? zonkle.output : zonkle.errors).startsWith(answer)) << argument.toStdString();
    }
}

// A crash leaves the lock and the socket behind; the next launch runs all the same, and the one
// after it shows that one's panel (its appearance pushes the settings), starts no detector and
// writes nothing.
TEST(SingleInstance, secondLaunchShowsThePanelOfTheFirstEvenAfterACrash) {
    const Sandbox sandbox;
    const QByteArray pushLine = "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false";
    {
        RunningApp crashed(sandbox, {"zonkle"});
        ASSERT_TRUE(crashed.waitFor([&] { return crashed.lines().contains(pushLine); }));
    } // killed
    RunningApp first(sandbox, {"zonkle"});
    ASSERT_TRUE(first.waitFor([&] { return first.lines().contains(pushLine); }));

    RunningApp second(sandbox, {"zonkle"});
    EXPECT_EQ(second.waitForExit(), 0);
    EXPECT_EQ(second.errors, "Zonkle is already running; its panel is shown.\n");
    EXPECT_EQ(second.lines(), QList<QByteArray>{""}); // no detector, no push
    EXPECT_TRUE(first.waitFor([&] { return first.lines().count(pushLine) == 2; }));
    EXPECT_FALSE(QFileInfo::exists(sandbox.settingsPath()));
}

// Each signal ends the app as Quit does, also when its output goes to a reader that went away (a
// closed terminal): status 0, and the lock is gone.
TEST(Signals, endTheAppAsQuitDoesEvenWithNobodyReadingItsOutput) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sigabbrev_np(signal));
        const Sandbox sandbox;
        RunningApp zonkle(sandbox, {"zonkle"}, {}, [] {
            int output[2];
            if (::pipe(output) == 0 && ::close(output[0]) == 0) {
                ::dup2(output[1], STDOUT_FILENO);
            }
        });
        ASSERT_TRUE(zonkle.waitFor([&] { return sandbox.recorded().size() == 1; })); // the first config
        const auto pid = static_cast<pid_t>(zonkle.process.processId());
        ASSERT_TRUE(pid > 0 && ::kill(pid, signal) == 0); // 0 would signal the test's whole process group
        EXPECT_EQ(zonkle.waitForExit(), 0) << zonkle.errors.toStdString();
        EXPECT_FALSE(QFileInfo::exists(sandbox.path("run/zonkle.lock")));
    }
}

// The robot is set up by main's own code, so it shows main's translation.
TEST(SharedSetup, loadsTheTranslationOfTheLocale) {
    Sandbox sandbox;
    sandbox.locale = "de_DE.UTF-8";
    RunningApp robot(sandbox, {"zonkle-robot"});
    EXPECT_TRUE(robot.waitFor([&] { return robot.lines().contains("robot: ready Beenden"); }))
        << robot.errors.toStdString();
}

// The entry file is the only record of the choice; the sandbox's path holds a space, so the Exec
// line must quote the program.
TEST(Autostart, startAtLoginWritesAnEntryAndTheMenuReadsItsStateFromTheFile) {
    const Sandbox sandbox;
    const QString entry = sandbox.path("config/autostart/zonkle.desktop");
    RunningApp robot(sandbox, {"zonkle-robot"});
    EXPECT_EQ(robot.ask("login"), "was off"); // and nothing written before
    EXPECT_TRUE(fileContents(entry).contains("\nExec=\"" + sandbox.path("bin/zonkle-robot").toUtf8() + "\"\n"));
    EXPECT_EQ(QProcess::execute("desktop-file-validate", {entry}), 0);
    QFile::remove(entry); // by hand
    EXPECT_EQ(robot.ask("login"), "was off");
    ASSERT_TRUE(appendToFile(entry, "Hidden=true\n")); // as a desktop's settings tool switches it off
    EXPECT_EQ(robot.ask("login"), "was off");
    EXPECT_EQ(robot.ask("login"), "was on");
    EXPECT_FALSE(QFileInfo::exists(entry));
}

} // namespace
} // namespace zonkle::test
