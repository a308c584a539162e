#pragma once

#include <functional>
#include <ostream>

#include <QDeadlineTimer>
#include <QProcess>

#include "sandbox.h"

// Failures show bytes as text.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    *os << '"' << bytes.toStdString() << '"';
}

namespace zonkle::test {

// A program of a sandbox (zonkle or zonkle-robot, then its arguments) running as a child of the
// test, in the sandbox's environment; killed on destruction if still running. Waits are generous:
// the suite runs on a busy two-core machine.
class RunningApp final {
public:
    // `inChild` runs in the child before the program starts.
    RunningApp(const Sandbox& sandbox, const QStringList& command, const QString& daemonActions = {},
               const std::function<void()>& inChild = {}) {
        process.setProcessEnvironment(sandbox.environment(daemonActions));
        process.setChildProcessModifier(inChild);
        process.start(sandbox.path("bin/" + command.first()), command.mid(1));
        process.waitForStarted();
    }
    ~RunningApp() {
        process.kill();
        process.waitForFinished();
    }

    // False once the program has ended without the condition holding.
    bool waitFor(const std::function<bool()>& condition) {
        const QDeadlineTimer deadline(std::chrono::minutes(1));
        for (bool ended = false; !ended && !deadline.hasExpired(); process.waitForReadyRead(20)) {
            ended = process.state() == QProcess::NotRunning; // before the last read
            output += process.readAllStandardOutput();
            errors += process.readAllStandardError();
            if (condition()) {
                return true;
            }
        }
        return false;
    }
    // The exit status, or -1 after a crash, a signal or no end in time.
    int waitForExit() {
        const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; });
        return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // Gives the robot an action and returns the rest of its answer, "robot: <action> <rest>"; empty
    // when no answer comes.
    QByteArray ask(const QByteArray& action) {
        const QByteArray prefix = "robot: " + action + ' ';
        const auto answers = [&] {
            QList<QByteArray> all = lines();
            all.removeIf([&](const QByteArray& line) { return !line.startsWith(prefix); });
            return all;
        };
        const qsizetype asked = answers().size();
        process.write(action + '\n');
        return waitFor([&] { return answers().size() > asked; }) ? answers().at(asked).mid(prefix.size()) : "";
    }

    QList<QByteArray> lines() const { return output.split('\n'); }

    QProcess process;
    QByteArray output; // all read so far
    QByteArray errors;
};

} // namespace zonkle::test
