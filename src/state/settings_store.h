#pragma once

#include <array>
#include <memory>
#include <optional>

#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "daemon_link/log_line.h"

namespace zonkle {

// The organisation and application name; the file is <config home>/Zonkle/Zonkle.conf.
inline constexpr const char* settingsOrganizationName = "Zonkle";
inline constexpr const char* settingsApplicationName = "Zonkle";

// The keys exactly as stored, and their defaults.
inline constexpr const char* sensitivityKey = "sensitivity";
inline constexpr const char* selectedSoundKey = "selectedSound";
inline constexpr const char* isPausedKey = "isPaused";
inline constexpr double defaultSensitivity = 0.5;
inline constexpr const char* defaultSound = "default";
inline constexpr bool defaultPaused = false;
// A sound name is a short identifier; a longer stored text is not one, and would make every
// command to the detector too long to send.
inline constexpr qsizetype maxSoundBytes = 256;

// One row of the settings table: a stored value of another type, or a text longer than
// maxBytes, reads as absent.
struct SettingDefinition {
    const char* key;
    QMetaType::Type type; // Double, QString or Bool
    QVariant defaultValue;
    qsizetype maxBytes = 0; // texts only
};

const std::array<SettingDefinition, 3>& settingsTable();

// The sound names the user may choose from, in order; the first is the default.
const QStringList& availableSounds();

struct SettingsValues {
    double sensitivity = defaultSensitivity;
    QString sound = QString::fromLatin1(defaultSound);
    bool paused = defaultPaused;

    friend bool operator==(const SettingsValues&, const SettingsValues&) = default;
};

// The user's three settings in an INI file read and written through QSettings.
class SettingsStore final : public QObject {
    Q_OBJECT

public:
    // The file at defaultFilePath(). Where there is none, or it is not a regular file (a FIFO
    // would block start-up in open), the store starts with the defaults and keeps changes in
    // memory only, and says so in the log.
    explicit SettingsStore(QObject* parent = nullptr);
    // Uses the given settings (null: memory only). A write that cannot reach the disk is
    // reported through `log`.
    explicit SettingsStore(std::unique_ptr<QSettings> settings, QObject* parent = nullptr, LogSink log = writeLogLine);
    ~SettingsStore() override;

    // $XDG_CONFIG_HOME/Zonkle/Zonkle.conf, where a relative XDG_CONFIG_HOME is ignored, as the
    // XDG base directory rules say; else ~/.config/..., with the home directory from HOME or,
    // when that is unset or relative, from the user database. None when that is "/" too.
    static std::optional<QString> defaultFilePath();
    // QSettings on the default file, or null (and logged) when there is none or it is not a
    // regular file.
    static std::unique_ptr<QSettings> openDefaultFile(const LogSink& log = writeLogLine);

    // The direct read the view model makes at creation; an unusable stored value is logged.
    static SettingsValues readDirect(QSettings& settings, const LogSink& log = writeLogLine);

    // The stored value as its row's type, or QVariant() when absent or unusable.
    QVariant value(const QString& key) const;
    // Stores at once and syncs to disk before returning; emits valueChanged when the stored
    // value really changed.
    void setValue(const QString& key, const QVariant& value);

signals:
    void valueChanged(const QString& key);

private:
    std::unique_ptr<QSettings> settings;
    // Every value set in this process: it stays readable when the file cannot be written.
    QMap<QString, QVariant> written;
    LogSink log;
};

} // namespace zonkle
