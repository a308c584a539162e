#pragma once

#include <functional>
#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace zonkle::test {

// The conventional unprivileged account, for tests in which file permissions must matter.
inline constexpr uid_t nobody = 65534;
// Waits a generous while for a condition that no process of the test announces (a file's contents).
bool eventually(const std::function<bool()>& condition);
// Run in a child as root: go on as that account, since root ignores file permissions.
void becomeNobody();

// A throw-away installation and user session: <root>/bin/zonkle and zonkle-robot, the test daemon
// as their detector in <root>/libexec/zonkle/, and a HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of
// their own. Settings live in <root>/config/Zonkle/Zonkle.conf.
class Sandbox final {
public:
    Sandbox();

    QString path(const QString& relative) const { return root.filePath(relative); }
    QString settingsPath() const { return path("config/Zonkle/Zonkle.conf"); }
    void writeSettings(const QByteArray& contents) const;
    QByteArray settingsBytes() const;
    // The detector's standard input as the test daemon recorded it, line by line.
    QList<QByteArray> recorded() const;

    // Offscreen, this sandbox's directories, the test daemon's actions; no display.
    QProcessEnvironment environment(const QString& daemonActions = {}) const;
    // Hands the sandbox to the unprivileged user, for a test whose application drops root.
    void giveToNobody() const;

    QString locale = QStringLiteral("C.UTF-8");

private:
    QTemporaryDir root;
};

} // namespace zonkle::test
