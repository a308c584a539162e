#include "settings_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zonkle::test {

SettingsFiles::SettingsFiles() = default;

QString SettingsFiles::freshPath() {
    return dir.filePath(QStringLiteral("settings-%1/Zonkle.conf").arg(++created));
}

QString SettingsFiles::create(const QByteArray& contents) {
    const QString path = freshPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        return {};
    }
    return path;
}

std::unique_ptr<QSettings> SettingsFiles::open(const QString& path) {
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QByteArray SettingsFiles::contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace zonkle::test
