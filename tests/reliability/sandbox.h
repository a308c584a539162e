#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace zonkle::test {

// Empty when the file cannot be read.
inline QByteArray fileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool appendToFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

// A throw-away installation and user session: <root>/bin/zonkle and zonkle-robot, the test daemon
// as their detector in <root>/libexec/zonkle/, and a HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR of
// their own. The root's path holds a space.
class Sandbox final {
public:
    Sandbox() : root(QDir::tempPath() + "/zonkle sandbox-XXXXXX") {
        for (const char* directory : {"bin", "libexec/zonkle", "config/Zonkle", "home"}) {
            QDir().mkpath(path(directory));
        }
        QDir().mkdir(path("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_TRUE(QFile::copy(ZONKLE_APP, path("bin/zonkle")) &&
                    QFile::copy(ZONKLE_ROBOT, path("bin/zonkle-robot")) &&
                    QFile::copy(ZONKLE_TEST_DAEMON, path("libexec/zonkle/thwack-core-daemon")));
    }

    QString path(const QString& relative) const { return root.filePath(relative); }
    QString settingsPath() const { return path("config/Zonkle/Zonkle.conf"); }
    // The detector's standard input as the test daemon recorded it, line by line.
    QList<QByteArray> recorded() const {
        QList<QByteArray> lines = fileContents(path("stdin.txt")).split('\n');
        lines.removeLast(); // after the last line feed
        return lines;
    }

    // Offscreen, no display, the locale below, this sandbox's directories, the test daemon doing
    // `daemonActions`.
    QProcessEnvironment environment(const QString& daemonActions = {}) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("LC_ALL", locale);
        environment.insert("HOME", path("home"));
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("XDG_RUNTIME_DIR", path("run"));
        environment.insert("ZONKLE_TEST_DAEMON_ACTIONS", daemonActions);
        environment.insert("ZONKLE_TEST_DAEMON_RECORD", path("stdin.txt"));
        return environment;
    }
    QString locale = QStringLiteral("C.UTF-8");

private:
    QTemporaryDir root;
};

} // namespace zonkle::test
