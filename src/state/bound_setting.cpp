#include "bound_setting.h"

#include <utility>

#include "settings_store.h"

namespace zonkle {

BoundSetting::BoundSetting(SettingsStore& store, QString key, QVariant defaultValue, QObject* parent)
    : QObject(parent), store(store), key(std::move(key)), defaultValue(std::move(defaultValue)) {
    lastSeen = value();
    // Every write to the key, through this object or any other, arrives here.
    connect(&store, &SettingsStore::valueChanged, this, [this](const QString& changedKey) {
        if (changedKey != this->key) {
            return;
        }
        QVariant current = value();
        if (current != lastSeen) {
            lastSeen = current;
            emit changed(current);
        }
    });
}

QVariant BoundSetting::value() const {
    QVariant stored = store.value(key);
    return stored.isValid() ? stored : defaultValue;
}

void BoundSetting::setValue(const QVariant& value) {
    store.setValue(key, value);
}

} // namespace zonkle
