#include "helper_modes.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <QSettings>
#include <QTest>

#include "daemon_link/daemon_locator.h"
#include "daemon_link/ipc_client.h"
#include "state/main_thread_poster.h"
#include "state/menu_bar_view_model.h"

namespace zonkle::test {

namespace {

// Generous: the parent gives up after its own, longer limit.
constexpr int helperTimeoutMs = 45'000;

int writeSettingsAndWait() {
    SettingsStore store;
    const SettingsValues values = valuesWrittenByHelper();
    store.setValue(sensitivityKey, values.sensitivity);
    store.setValue(selectedSoundKey, values.sound);
    store.setValue(isPausedKey, values.paused);
    std::cout << settingsWrittenLine << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
}

int runSharedViewModel(qint64 expectedHits) {
    MenuBarViewModel& viewModel = MenuBarViewModel::shared();
    if (&MenuBarViewModel::shared() != &viewModel) {
        std::cout << "shared() returned a second instance" << std::endl;
        return EXIT_FAILURE;
    }
    if (!QTest::qWaitFor([&] { return viewModel.hitCount() >= expectedHits; }, helperTimeoutMs)) {
        std::cout << "gave up waiting for hits" << std::endl;
        return EXIT_FAILURE;
    }
    std::cout << sharedHitsLinePrefix << viewModel.hitCount() << std::endl;
    return EXIT_SUCCESS;
}

int runViewModelThenDestroy(qint64 expectedHits) {
    {
        MenuBarViewModel viewModel(IpcClient::create({qtMainThreadPoster(), locateDaemonExecutable, writeLogLine}), [] {
            QSettings settings(settingsOrganizationName, settingsApplicationName);
            return SettingsStore::readDirect(settings);
        });
        if (!QTest::qWaitFor([&] { return viewModel.hitCount() >= expectedHits; }, helperTimeoutMs)) {
            std::cout << "gave up waiting for hits" << std::endl;
            return EXIT_FAILURE;
        }
    }
    std::cout << viewModelDestroyedLine << std::endl;
    return EXIT_SUCCESS;
}

} // namespace

SettingsValues valuesWrittenByHelper() {
    return {1.3, QStringLiteral("fart"), true};
}

std::optional<int> runHelperMode(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], writeSettingsMode) == 0) {
        return writeSettingsAndWait();
    }
    if (argc >= 3 && std::strcmp(argv[1], sharedViewModelMode) == 0) {
        return runSharedViewModel(std::stoll(argv[2]));
    }
    if (argc >= 3 && std::strcmp(argv[1], ownedViewModelMode) == 0) {
        return runViewModelThenDestroy(std::stoll(argv[2]));
    }
    return std::nullopt;
}

} // namespace zonkle::test
