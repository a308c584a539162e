#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace zonkle::test {

// A throw-away installation of the application: <root>/bin/<app>, its detector in
// <root>/libexec/zonkle/, and a home whose settings live in <root>/config/Zonkle/Zonkle.conf.
class InstallTree final {
public:
    InstallTree();

    // Copies the executable into bin/ (once) and returns the copy's path.
    QString installApp(const QString& executable);
    // Copies the test daemon in as the detector.
    void installDetector();

    QString settingsPath() const;
    QString settingsDirectory() const;
    void writeSettings(const QByteArray& contents);
    QByteArray settingsBytes() const;
    // The detector's standard input as the test daemon recorded it, line by line.
    QList<QByteArray> recorded() const;

    // The application's environment: offscreen, this tree's home, the test daemon's script.
    QProcessEnvironment environment(const QString& daemonActions, const QString& robotActions = {}) const;

    // Lets an unprivileged user enter the tree and run its programs (for tests that drop root).
    void openToEveryone();

private:
    QString path(const QString& relative) const { return root.filePath(relative); }

    QTemporaryDir root;
};

} // namespace zonkle::test
