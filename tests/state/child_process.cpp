#include "child_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace zonkle::test {

namespace {

// Generous: the machine may be busy building; a healthy child answers in milliseconds.
constexpr int childTimeoutMs = 60'000;

} // namespace

QProcessEnvironment environmentWithConfigHome(const QString& configHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return environment;
}

ChildProcess::ChildProcess(const QStringList& arguments, const QProcessEnvironment& environment)
    : ChildProcess(QCoreApplication::applicationFilePath(), arguments, environment) {}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments,
                           const QProcessEnvironment& environment) {
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
}

ChildProcess::~ChildProcess() {
    if (process.state() != QProcess::NotRunning) {
        kill();
    }
}

void ChildProcess::readAvailable() {
    received += process.readAllStandardOutput();
}

bool ChildProcess::waitForLine(const QByteArray& line) {
    const auto hasLine = [&] {
        readAvailable();
        return received.startsWith(line + '\n') || received.contains('\n' + line + '\n');
    };
    const QDeadlineTimer deadline(childTimeoutMs);
    while (!hasLine()) {
        // False once the deadline has passed or the child has ended.
        if (!process.waitForReadyRead(int(deadline.remainingTime()))) {
            return hasLine();
        }
    }
    return true;
}

bool ChildProcess::waitForSuccess() {
    const bool exited = process.waitForFinished(childTimeoutMs);
    readAvailable();
    return exited && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void ChildProcess::kill() {
    process.kill();
    process.waitForFinished(childTimeoutMs);
    readAvailable();
}

} // namespace zonkle::test
