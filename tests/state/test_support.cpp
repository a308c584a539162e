#include "test_support.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include "daemon_link/ipc_client.h"
#include "state/menu_bar_view_model.h"

namespace zonkle::test {

QString writeSettingsFile(const QString& directory, const QByteArray& contents) {
    static int created = 0;
    const QString path = QDir(directory).filePath(QStringLiteral("settings-%1.conf").arg(++created));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() ? path : QString();
}

std::unique_ptr<QSettings> openSettings(const QString& path) {
    // The native format on Linux.
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QByteArray fileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SettingsValues helperValues() {
    return {1.3, QStringLiteral("fart"), true};
}

std::optional<int> runHelperMode(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], writeSettingsMode) == 0) {
        SettingsStore store;
        store.setValue(sensitivityKey, helperValues().sensitivity);
        store.setValue(selectedSoundKey, helperValues().sound);
        store.setValue(isPausedKey, helperValues().paused);
        std::cout << settingsWrittenLine << std::endl;
        for (std::string ignored; std::getline(std::cin, ignored);) {
        }
        return EXIT_SUCCESS;
    }
    if (argc >= 2 && std::strcmp(argv[1], sharedViewModelMode) == 0) {
        MenuBarViewModel& viewModel = MenuBarViewModel::shared();
        const bool single = &MenuBarViewModel::shared() == &viewModel;
        const bool counted = QTest::qWaitFor([&] { return viewModel.hitCount() >= sharedModeHits; }, childTimeoutMs);
        return single && counted ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    return std::nullopt;
}

QProcessEnvironment environmentWithConfigHome(const QString& configHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return environment;
}

std::unique_ptr<QProcess> startChild(const QStringList& arguments, const QProcessEnvironment& environment,
                                     const QString& program) {
    auto child = std::make_unique<QProcess>();
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(program.isEmpty() ? QCoreApplication::applicationFilePath() : program, arguments);
    return child;
}

bool waitForLine(QProcess& child, const QByteArray& line) {
    const QDeadlineTimer deadline(childTimeoutMs);
    // peek() leaves the output in place for the caller.
    while (!child.peek(child.bytesAvailable()).contains(line + '\n')) {
        if (!child.waitForReadyRead(int(deadline.remainingTime()))) {
            return child.peek(child.bytesAvailable()).contains(line + '\n');
        }
    }
    return true;
}

} // namespace zonkle::test
