#include "sandbox.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace zonkle::test {

bool eventually(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(std::chrono::minutes(1));
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(20); // polling a file: nothing to wait on
    }
    return true;
}

Sandbox::Sandbox() : root(QDir::tempPath() + "/zonkle sandbox-XXXXXX") {
    for (const char* directory : {"bin", "libexec/zonkle", "config/Zonkle", "home", "records"}) {
        QDir().mkpath(path(QString::fromLatin1(directory)));
    }
    QDir().mkdir(path("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const char* program : {ZONKLE_APP, ZONKLE_ROBOT}) {
        EXPECT_TRUE(QFile::copy(QString::fromLatin1(program), path("bin/" + QFileInfo(program).fileName())));
    }
    EXPECT_TRUE(QFile::copy(QString::fromLatin1(ZONKLE_TEST_DAEMON), path("libexec/zonkle/thwack-core-daemon")));
}

void Sandbox::writeSettings(const QByteArray& contents) const {
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray fileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> Sandbox::recorded() const {
    QList<QByteArray> lines = fileContents(path("records/stdin.txt")).split('\n');
    lines.removeLast(); // after the last line feed
    return lines;
}

QProcessEnvironment Sandbox::environment(const QString& daemonActions) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("LC_ALL", locale);
    environment.insert("HOME", path("home"));
    environment.insert("XDG_CONFIG_HOME", path("config"));
    environment.insert("XDG_RUNTIME_DIR", path("run"));
    environment.insert("ZONKLE_TEST_DAEMON_ACTIONS", daemonActions);
    environment.insert("ZONKLE_TEST_DAEMON_RECORD", path("records/stdin.txt"));
    return environment;
}

} // namespace zonkle::test
