#include "install_tree.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zonkle::test {

namespace {

constexpr QFileDevice::Permissions everyoneMayEnter =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
constexpr QFileDevice::Permissions everyoneMayWrite =
    everyoneMayEnter | QFileDevice::WriteGroup | QFileDevice::WriteOther;

} // namespace

InstallTree::InstallTree() {
    for (const char* directory : {"bin", "libexec/zonkle", "config/Zonkle", "records", "run"}) {
        QDir().mkpath(path(QString::fromLatin1(directory)));
    }
    QFile::setPermissions(path("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString InstallTree::installApp(const QString& executable) {
    const QString copy = path("bin/" + QFileInfo(executable).fileName());
    EXPECT_TRUE(QFile::exists(copy) || QFile::copy(executable, copy)) << executable.toStdString();
    return copy;
}

void InstallTree::installDetector() {
    ASSERT_TRUE(QFile::copy(QString::fromLatin1(ZONKLE_TEST_DAEMON), path("libexec/zonkle/thwack-core-daemon")));
}

QString InstallTree::settingsPath() const {
    return path("config/Zonkle/Zonkle.conf");
}

QString InstallTree::settingsDirectory() const {
    return path("config/Zonkle");
}

void InstallTree::writeSettings(const QByteArray& contents) {
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray InstallTree::settingsBytes() const {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> InstallTree::recorded() const {
    QFile file(path("records/stdin.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast(); // after the last line feed
    return lines;
}

QProcessEnvironment InstallTree::environment(const QString& daemonActions, const QString& robotActions) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("HOME", path("home"));
    environment.insert("XDG_CONFIG_HOME", path("config"));
    environment.insert("XDG_RUNTIME_DIR", path("run"));
    environment.insert("ZONKLE_TEST_DAEMON_ACTIONS", daemonActions);
    environment.insert("ZONKLE_TEST_DAEMON_RECORD", path("records/stdin.txt"));
    environment.insert("ZONKLE_ROBOT_ACTIONS", robotActions);
    return environment;
}

void InstallTree::openToEveryone() {
    for (const char* directory : {"", "bin", "libexec", "libexec/zonkle", "config"}) {
        QFile::setPermissions(path(QString::fromLatin1(directory)), everyoneMayEnter);
    }
    QFile::setPermissions(path("records"), everyoneMayWrite);
    QFile::setPermissions(path("run"), everyoneMayWrite);
}

} // namespace zonkle::test
