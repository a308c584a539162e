#pragma once

#include <memory>

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "daemon_link/log_line.h"

namespace zonkle {

// Where QSettings keeps the settings: $XDG_CONFIG_HOME/Zonkle/Zonkle.conf on Linux.
inline constexpr const char* settingsOrganizationName = "Zonkle";
inline constexpr const char* settingsApplicationName = "Zonkle";

// The keys exactly as stored.
inline constexpr const char* sensitivityKey = "sensitivity";
inline constexpr const char* selectedSoundKey = "selectedSound";
inline constexpr const char* isPausedKey = "isPaused";

// The one table of defaults, shared by the direct read and the bound settings.
inline constexpr double defaultSensitivity = 0.5;
inline constexpr const char* defaultSound = "default";
inline constexpr bool defaultPaused = false;

// The sound names the user may choose from, in order; the first is the default.
const QStringList& availableSounds();

struct SettingsValues {
    double sensitivity = defaultSensitivity;
    QString sound = QString::fromLatin1(defaultSound);
    bool paused = defaultPaused;

    friend bool operator==(const SettingsValues&, const SettingsValues&) = default;
};

// The user's three settings in QSettings (organisation and application "Zonkle").
// A value of another type under a key reads as absent, giving the default.
class SettingsStore final : public QObject {
    Q_OBJECT

public:
    // Uses QSettings("Zonkle", "Zonkle") in the native format.
    explicit SettingsStore(QObject* parent = nullptr);
    // Uses the given settings (tests point one at a temporary file). A write that cannot
    // reach the disk is reported through `log`.
    explicit SettingsStore(std::unique_ptr<QSettings> settings, QObject* parent = nullptr, LogSink log = writeLogLine);
    ~SettingsStore() override;

    // The direct typed read the view model makes at creation.
    static SettingsValues readDirect(QSettings& settings);
    SettingsValues read() const;

    // Typed reads of one key: the stored value, or the default when absent or of another type.
    double sensitivity() const;
    QString selectedSound() const;
    bool isPaused() const;

    // Raw access for bound settings: QVariant() when absent or unreadable as the key's type.
    QVariant value(const QString& key) const;
    // Stores at once and syncs to disk before returning; emits valueChanged when the stored
    // value really changed.
    void setValue(const QString& key, const QVariant& value);

signals:
    void valueChanged(const QString& key);

private:
    std::unique_ptr<QSettings> settings;
    LogSink log;
};

} // namespace zonkle
