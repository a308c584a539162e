#pragma once

#include <memory>

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

namespace zonkle::test {

// Settings files in a temporary directory, each at a new path: QSettings shares what it
// has read per file within a process, so a new path is what a new process would see.
class SettingsFiles final {
public:
    SettingsFiles();

    // A new file holding exactly `contents`.
    QString create(const QByteArray& contents);
    // A path that does not exist yet.
    QString freshPath();

    // QSettings on `path` in the format the native one is on Linux.
    static std::unique_ptr<QSettings> open(const QString& path);
    static QByteArray contents(const QString& path);

    const QTemporaryDir& directory() const { return dir; }

private:
    QTemporaryDir dir;
    int created = 0;
};

} // namespace zonkle::test
