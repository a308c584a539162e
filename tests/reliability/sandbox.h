#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace zonkle::test {

// Waits a generous while for a condition that no process of the test announces (a file's contents).
bool eventually(const std::function<bool()>& condition);
// Empty when the file cannot be read.
QByteArray fileContents(const QString& path);

// A throw-away installation and user session: <root>/bin/zonkle and zonkle-robot, the test daemon
// as their detector in <root>/libexec/zonkle/, and a HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of
// their own. Settings live in <root>/config/Zonkle/Zonkle.conf.
class Sandbox final {
public:
    Sandbox();

    QString path(const QString& relative) const { return root.filePath(relative); }
    QString settingsPath() const { return path("config/Zonkle/Zonkle.conf"); }
    void writeSettings(const QByteArray& contents) const;
    QByteArray settingsBytes() const { return fileContents(settingsPath()); }
    // The detector's standard input as the test daemon recorded it, line by line.
    QList<QByteArray> recorded() const;

    // Offscreen, this sandbox's directories, the test daemon's actions; no display.
    QProcessEnvironment environment(const QString& daemonActions = {}) const;
    QString locale = QStringLiteral("C.UTF-8");

private:
    QTemporaryDir root;
};

} // namespace zonkle::test
