#include "child_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcessEnvironment>

#include <iostream>
#include <string>

namespace zonkle::test {

namespace {

// Generous: the machine may be busy building; a healthy child answers in milliseconds.
constexpr int childTimeoutMs = 60'000;

} // namespace

SettingsValues valuesWrittenByChild() { return {1.3, QStringLiteral("fart"), true}; }

int writeSettingsAndWait() {
    SettingsStore store;
    const SettingsValues values = valuesWrittenByChild();
    store.setValue(sensitivityKey, values.sensitivity);
    store.setValue(selectedSoundKey, values.sound);
    store.setValue(isPausedKey, values.paused);
    std::cout << settingsWrittenLine << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
}

ChildProcess::ChildProcess(const QStringList& arguments, const QString& configHome)
    : ChildProcess(QCoreApplication::applicationFilePath(), arguments, configHome) {}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments, const QString& configHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
}

ChildProcess::~ChildProcess() {
    if (process.state() != QProcess::NotRunning) {
        kill();
    }
}

void ChildProcess::readAvailable() { received += process.readAllStandardOutput(); }

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
