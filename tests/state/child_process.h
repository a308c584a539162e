#pragma once

#include "state/settings_store.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zonkle::test {

// The test binary doubles as a helper process for tests that need a second process; its
// first argument selects what it does then.
inline constexpr const char* writeSettingsMode = "--write-settings-and-wait";
inline constexpr const char* settingsWrittenLine = "settings written";

// What the helper in writeSettingsMode stores through the default SettingsStore.
SettingsValues valuesWrittenByChild();
// Helper side: stores those values, reports settingsWrittenLine, then waits for the end of
// its standard input.
int writeSettingsAndWait();

// A program run with XDG_CONFIG_HOME set to `configHome`, its standard output captured.
// Killed on destruction if still running.
class ChildProcess final {
public:
    // Runs this test binary with `arguments`.
    ChildProcess(const QStringList& arguments, const QString& configHome);
    ChildProcess(const QString& program, const QStringList& arguments, const QString& configHome);
    ~ChildProcess();

    // Whether the output holds `line` as a whole line, waiting for it a generous time.
    bool waitForLine(const QByteArray& line);
    // Whether it ended by itself with exit code 0, waiting for that a generous time.
    bool waitForSuccess();
    void kill();
    // Everything read from the output so far.
    QString output() const { return QString::fromUtf8(received); }

private:
    void readAvailable();

    QProcess process;
    QByteArray received;
};

} // namespace zonkle::test
