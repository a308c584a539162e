#pragma once

#include <optional>

#include "state/settings_store.h"

namespace zonkle::test {

// The test binary doubles as a helper process for tests that need a second process; its
// first argument selects what it does then.

// Stores valuesWrittenByHelper() through the default SettingsStore, writes
// settingsWrittenLine, then waits for the end of its standard input (or to be killed).
inline constexpr const char* writeSettingsMode = "--write-settings-and-wait";
inline constexpr const char* settingsWrittenLine = "settings written";
SettingsValues valuesWrittenByHelper();

// Uses MenuBarViewModel::shared() as the application does, waits for the number of hits given
// as the next argument, writes sharedHitsLinePrefix and the count, and exits.
inline constexpr const char* sharedViewModelMode = "--run-shared-view-model";
inline constexpr const char* sharedHitsLinePrefix = "shared view model counted hits: ";

// Builds its own MenuBarViewModel on the real daemon link and the default settings, waits for
// the number of hits given as the next argument, destroys the view model and writes
// viewModelDestroyedLine.
inline constexpr const char* ownedViewModelMode = "--run-view-model-then-destroy";
inline constexpr const char* viewModelDestroyedLine = "view model destroyed";

// Runs the helper mode named by argv[1]; nullopt when argv holds no helper mode.
std::optional<int> runHelperMode(int argc, char** argv);

} // namespace zonkle::test
