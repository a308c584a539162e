#include "sandbox.h"

#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace zonkle::test {

Sandbox::Sandbox() {
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

QByteArray Sandbox::settingsBytes() const {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> Sandbox::recorded() const {
    QFile file(path("records/stdin.txt"));
    QList<QByteArray> lines = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>{""};
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

void becomeNobody() {
    if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
        ::_exit(127);
    }
}

void Sandbox::giveToNobody() const {
    ::chmod(root.path().toLocal8Bit().constData(), 0755);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path().toStdString())) {
        ASSERT_EQ(::chown(entry.path().c_str(), nobody, nobody), 0);
    }
}

} // namespace zonkle::test
