#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QStringList>

#include "state/settings_store.h"

namespace zonkle::test {

// Generous: the machine may be busy; a healthy child answers in milliseconds.
inline constexpr int childTimeoutMs = 60'000;

// A new settings file holding exactly `contents`, at a path no QSettings of this process has
// read (QSettings caches per path what it read, so this is what the next process would see).
QString writeSettingsFile(const QString& directory, const QByteArray& contents);
std::unique_ptr<QSettings> openSettings(const QString& path);
QByteArray fileContents(const QString& path);

// The test binary run once more as a helper process; argv[1] selects what it does:
// writeSettingsMode stores helperValues() through the default SettingsStore, prints
// settingsWrittenLine and waits for the end of its input; sharedViewModelMode uses
// MenuBarViewModel::shared() as the application does, waits for sharedModeHits hits and exits.
inline constexpr const char* writeSettingsMode = "--write-settings-and-wait";
inline constexpr const char* settingsWrittenLine = "settings written";
inline constexpr const char* sharedViewModelMode = "--run-shared-view-model";
inline constexpr int sharedModeHits = 2;
SettingsValues helperValues();
std::optional<int> runHelperMode(int argc, char** argv);

// This process's environment with the child's default QSettings under `configHome`.
QProcessEnvironment environmentWithConfigHome(const QString& configHome);
// Starts `program` (this test binary when empty) with its standard error passed through.
std::unique_ptr<QProcess> startChild(const QStringList& arguments, const QProcessEnvironment& environment,
                                     const QString& program = {});
// Whether the child's standard output holds `line`, waiting a generous time for it.
bool waitForLine(QProcess& child, const QByteArray& line);

} // namespace zonkle::test
