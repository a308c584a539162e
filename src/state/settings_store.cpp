#include "settings_store.h"

#include <cmath>
#include <optional>
#include <utility>

#include <QMetaType>

namespace zonkle {

namespace {

// Once read from disk, QSettings' INI backend hands every value back as text, while values
// written in this process keep their type until the next start; both forms are accepted.
std::optional<double> readSensitivity(const QVariant& stored) {
    bool ok = false;
    double value = 0.0;
    switch (stored.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        value = stored.toDouble(&ok);
        break;
    case QMetaType::QString:
        // Always the C locale, as QSettings uses when writing: "0.5" is 0.5 for every user.
        value = stored.toString().toDouble(&ok);
        break;
    default:
        break;
    }
    // The detector cannot be sent "nan" or "inf", so such a value counts as absent too.
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<QString> readSound(const QVariant& stored) {
    if (stored.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return stored.toString();
}

std::optional<bool> readPaused(const QVariant& stored) {
    if (stored.typeId() == QMetaType::Bool) {
        return stored.toBool();
    }
    if (stored.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    const QString text = stored.toString();
    if (text == u"true" || text == u"1") {
        return true;
    }
    if (text == u"false" || text == u"0") {
        return false;
    }
    return std::nullopt;
}

template <typename T> QVariant toVariant(const std::optional<T>& value) {
    return value ? QVariant::fromValue(*value) : QVariant();
}

} // namespace

const QStringList& availableSounds() {
    static const QStringList sounds{QString::fromLatin1(defaultSound), QStringLiteral("anime-ahhh"),
                                    QStringLiteral("fart"), QStringLiteral("what_da_dog_doing")};
    return sounds;
}

SettingsStore::SettingsStore(QObject* parent)
    : SettingsStore(std::make_unique<QSettings>(settingsOrganizationName, settingsApplicationName), parent) {}

SettingsStore::SettingsStore(std::unique_ptr<QSettings> settings, QObject* parent, LogSink log)
    : QObject(parent), settings(std::move(settings)), log(std::move(log)) {}

SettingsStore::~SettingsStore() = default;

SettingsValues SettingsStore::readDirect(QSettings& settings) {
    SettingsValues values;
    if (const auto sensitivity = readSensitivity(settings.value(sensitivityKey))) {
        values.sensitivity = *sensitivity;
    }
    if (const auto sound = readSound(settings.value(selectedSoundKey))) {
        values.sound = *sound;
    }
    if (const auto paused = readPaused(settings.value(isPausedKey))) {
        values.paused = *paused;
    }
    return values;
}

SettingsValues SettingsStore::read() const {
    return readDirect(*settings);
}

double SettingsStore::sensitivity() const {
    return readSensitivity(settings->value(sensitivityKey)).value_or(defaultSensitivity);
}

QString SettingsStore::selectedSound() const {
    return readSound(settings->value(selectedSoundKey)).value_or(QString::fromLatin1(defaultSound));
}

bool SettingsStore::isPaused() const {
    return readPaused(settings->value(isPausedKey)).value_or(defaultPaused);
}

QVariant SettingsStore::value(const QString& key) const {
    const QVariant stored = settings->value(key);
    if (key == QLatin1String(sensitivityKey)) {
        return toVariant(readSensitivity(stored));
    }
    if (key == QLatin1String(selectedSoundKey)) {
        return toVariant(readSound(stored));
    }
    if (key == QLatin1String(isPausedKey)) {
        return toVariant(readPaused(stored));
    }
    return stored;
}

void SettingsStore::setValue(const QString& key, const QVariant& value) {
    const QVariant before = this->value(key);
    settings->setValue(key, value);
    // QSettings writes a temporary file and renames it over the old one, so the file is
    // never half-written; syncing now means a change survives the process being killed.
    settings->sync();
    // The value stays readable in this process either way. QSettings keeps the first error
    // it met, so after one failure every later write is reported too.
    if (settings->status() == QSettings::AccessError && log) {
        log(QStringLiteral("Failed to save settings to %1.").arg(settings->fileName()).toStdString());
    }
    if (this->value(key) != before) {
        emit valueChanged(key);
    }
}

} // namespace zonkle
