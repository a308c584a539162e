#include "settings_store.h"

#include <cmath>
#include <pwd.h>
#include <unistd.h>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zonkle {

namespace {

const SettingDefinition& definition(const QString& key) {
    for (const auto& row : settingsTable()) {
        if (key == QLatin1String(row.key)) {
            return row;
        }
    }
    static const SettingDefinition unknown{"", QMetaType::UnknownType, {}};
    return unknown;
}

bool isNumber(int typeId) {
    return typeId == QMetaType::Double || typeId == QMetaType::Float || typeId == QMetaType::Int ||
           typeId == QMetaType::UInt || typeId == QMetaType::LongLong || typeId == QMetaType::ULongLong;
}

// Once read from disk, QSettings' INI backend hands every value back as text, while values
// written in this process keep their type; both forms are accepted. Text is read in the C
// locale, as QSettings writes it: "0.5" is 0.5 for every user.
QVariant readAs(const SettingDefinition& row, const QVariant& stored) {
    const bool isText = stored.typeId() == QMetaType::QString;
    const QString text = isText ? stored.toString() : QString();
    bool ok = false;
    switch (row.type) {
    case QMetaType::Double: {
        const double value = isText ? text.toDouble(&ok) : isNumber(stored.typeId()) ? stored.toDouble(&ok) : 0.0;
        // The detector cannot be sent "nan" or "inf", so such a value counts as absent too.
        return ok && std::isfinite(value) ? QVariant(value) : QVariant();
    }
    case QMetaType::QString:
        return isText && text.toUtf8().size() <= row.maxBytes ? stored : QVariant();
    case QMetaType::Bool:
        if (stored.typeId() == QMetaType::Bool) {
            return stored;
        }
        if (text == QLatin1String("true") || text == QLatin1String("1")) {
            return true;
        }
        if (text == QLatin1String("false") || text == QLatin1String("0")) {
            return false;
        }
        return {};
    default:
        return stored; // not a key of the table: as stored
    }
}

bool usableHome(const QString& home) {
    return QDir::isAbsolutePath(home) && !QDir(home).isRoot();
}

} // namespace

const std::array<SettingDefinition, 3>& settingsTable() {
    static const std::array<SettingDefinition, 3> table{{
        {sensitivityKey, QMetaType::Double, defaultSensitivity},
        {selectedSoundKey, QMetaType::QString, QString::fromLatin1(defaultSound), maxSoundBytes},
        {isPausedKey, QMetaType::Bool, defaultPaused},
    }};
    return table;
}

const QStringList& availableSounds() {
    static const QStringList sounds{QString::fromLatin1(defaultSound), QStringLiteral("anime-ahhh"),
                                    QStringLiteral("fart"), QStringLiteral("what_da_dog_doing")};
    return sounds;
}

SettingsStore::SettingsStore(QObject* parent) : SettingsStore(openDefaultFile(), parent) {}

SettingsStore::SettingsStore(std::unique_ptr<QSettings> settings, QObject* parent, LogSink log)
    : QObject(parent), settings(std::move(settings)), log(std::move(log)) {}

SettingsStore::~SettingsStore() = default;

std::optional<QString> SettingsStore::defaultFilePath() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(configHome)) {
        QString home = qEnvironmentVariable("HOME");
        if (!usableHome(home)) {
            const passwd* user = ::getpwuid(::getuid());
            home = user ? QFile::decodeName(user->pw_dir) : QString();
        }
        if (!usableHome(home)) {
            return std::nullopt;
        }
        configHome = home + QStringLiteral("/.config");
    }
    return QStringLiteral("%1/%2/%3.conf")
        .arg(configHome, QLatin1String(settingsOrganizationName), QLatin1String(settingsApplicationName));
}

std::unique_ptr<QSettings> SettingsStore::openDefaultFile(const LogSink& log) {
    const auto path = defaultFilePath();
    if (!path) {
        log("No home directory to keep settings in; using the defaults and not saving changes.");
        return nullptr;
    }
    const QFileInfo file(*path);
    if (file.exists() && !file.isFile()) {
        log(QStringLiteral("Settings file %1 is not a regular file; using the defaults and not saving changes.")
                .arg(*path)
                .toStdString());
        return nullptr;
    }
    return std::make_unique<QSettings>(*path, QSettings::IniFormat);
}

SettingsValues SettingsStore::readDirect(QSettings& settings, const LogSink& log) {
    const auto read = [&](const char* key) {
        const SettingDefinition& row = definition(QLatin1String(key));
        const QVariant stored = settings.value(QLatin1String(key));
        const QVariant value = stored.isValid() ? readAs(row, stored) : QVariant();
        if (!value.isValid() && row.maxBytes > 0 && stored.typeId() == QMetaType::QString) {
            log(QStringLiteral("Stored %1 is longer than %2 bytes; using \"%3\".")
                    .arg(QLatin1String(key))
                    .arg(row.maxBytes)
                    .arg(row.defaultValue.toString())
                    .toStdString());
        }
        return value.isValid() ? value : row.defaultValue;
    };
    return {read(sensitivityKey).toDouble(), read(selectedSoundKey).toString(), read(isPausedKey).toBool()};
}

QVariant SettingsStore::value(const QString& key) const {
    const auto found = written.constFind(key);
    const QVariant stored = found != written.cend() ? *found : settings ? settings->value(key) : QVariant();
    return stored.isValid() ? readAs(definition(key), stored) : stored;
}

void SettingsStore::setValue(const QString& key, const QVariant& value) {
    const QVariant before = this->value(key);
    written.insert(key, value);
    if (settings) {
        if (settings->status() != QSettings::NoError) {
            // QSettings keeps the first error it met; a fresh one tells whether this write
            // fails. It gets every value set so far, so none of them is lost from the file.
            const QString path = settings->fileName();
            settings.reset();
            settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
            for (auto it = written.cbegin(); it != written.cend(); ++it) {
                settings->setValue(it.key(), it.value());
            }
        } else {
            settings->setValue(key, value);
        }
        // QSettings writes a temporary file and renames it over the old one, so the file is
        // never half-written; syncing now means a change survives the process being killed.
        settings->sync();
        if (settings->status() == QSettings::AccessError && log) {
            log(QStringLiteral("Failed to save settings to %1.").arg(settings->fileName()).toStdString());
        }
    }
    if (this->value(key) != before) {
        emit valueChanged(key);
    }
}

} // namespace zonkle
