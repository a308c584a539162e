#include "autostart.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace zonkle {

namespace {

// Desktops start the entry once their panel (and with it the tray) is up: KDE and LXQt by the
// X-KDE and X-LXQt keys, GNOME by a short delay.
constexpr const char* entryTemplate = "[Desktop Entry]\n"
                                      "Type=Application\n"
                                      "Name=Zonkle\n"
                                      "Comment=Reacts to hits on the computer\n"
                                      "Icon=zonkle\n"
                                      "TryExec=%1\n"
                                      "Exec=%2\n"
                                      "Terminal=false\n"
                                      "StartupNotify=false\n"
                                      "X-GNOME-Autostart-enabled=true\n"
                                      "X-GNOME-Autostart-Delay=2\n"
                                      "X-KDE-autostart-after=panel\n"
                                      "X-LXQt-Need-Tray=true\n";

// Lines that switch an existing entry off, as desktop settings tools write them.
const QByteArrayList disablingLines{"Hidden=true", "X-GNOME-Autostart-enabled=false"};

// The Exec key's quoting: a program path with reserved characters goes in double quotes, with
// ", `, $ and \ escaped, and the string's own escaping doubles each backslash; % is doubled.
QString execValue(QString program) {
    program.replace(u'%', QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); })) {
        return program;
    }
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    return QString(u'"' + quoted + u'"').replace(u'\\', QStringLiteral("\\\\"));
}

} // namespace

Autostart::Autostart(QString executable)
    : executable(executable.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(executable)) {}

QString Autostart::entryPath() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/zonkle.desktop");
}

bool Autostart::isEnabled() const {
    QFile entry(entryPath());
    if (!entry.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : entry.readAll().split('\n')) {
        if (disablingLines.contains(line.trimmed().replace(' ', QByteArray()))) {
            return false;
        }
    }
    return true;
}

bool Autostart::setEnabled(bool enabled) const {
    const QString path = entryPath();
    if (!enabled) {
        return !QFileInfo::exists(path) || QFile::remove(path);
    }
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return false;
    }
    QSaveFile entry(path);
    QString tryExec = executable;
    tryExec.replace(u'\\', QStringLiteral("\\\\"));
    return entry.open(QIODevice::WriteOnly) &&
           entry.write(QString::fromLatin1(entryTemplate).arg(tryExec, execValue(executable)).toUtf8()) > 0 &&
           entry.commit();
}

} // namespace zonkle
