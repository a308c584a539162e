#include "running_app.h"

#include <chrono>

#include <QDeadlineTimer>

namespace zonkle::test {

namespace {

using namespace std::chrono_literals;

// Generous: the suite runs on a busy two-core machine.
constexpr auto waitLimit = 60s;
constexpr int readSliceMilliseconds = 20;

} // namespace

RunningApp::RunningApp(const Sandbox& sandbox, const QString& program, const QString& daemonActions,
                       const std::function<void()>& inChild) {
    process.setProcessEnvironment(sandbox.environment(daemonActions));
    if (inChild) {
        process.setChildProcessModifier(inChild);
    }
    process.start(sandbox.path("bin/" + program));
    process.waitForStarted();
}

RunningApp::~RunningApp() {
    process.kill();
    process.waitForFinished();
}

bool RunningApp::waitFor(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(waitLimit);
    for (;;) {
        const bool ended = process.state() == QProcess::NotRunning;
        output += process.readAllStandardOutput();
        errors += process.readAllStandardError();
        if (condition()) {
            return true;
        }
        if (ended || deadline.hasExpired()) {
            return false;
        }
        process.waitForReadyRead(readSliceMilliseconds);
    }
}

bool RunningApp::waitForLine(const QByteArray& line) {
    return waitFor([&] { return lines().contains(line); });
}

int RunningApp::waitForExit() {
    waitFor([&] { return process.state() == QProcess::NotRunning; });
    const bool exited = process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit;
    return exited ? process.exitCode() : -1;
}

} // namespace zonkle::test
