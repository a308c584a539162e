#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace zonkle {

class SettingsStore;

// One key of the settings store bound for a control: reads the stored value or its
// default, stores a new value at once, and emits changed() only when the value really
// changes (also when another BoundSetting on the same store writes the key).
class BoundSetting final : public QObject {
    Q_OBJECT

public:
    BoundSetting(SettingsStore& store, QString key, QVariant defaultValue, QObject* parent = nullptr);

    QVariant value() const;
    double toDouble() const { return value().toDouble(); }
    QString toString() const { return value().toString(); }
    bool toBool() const { return value().toBool(); }

    void setValue(const QVariant& value);

signals:
    void changed(const QVariant& value);

private:
    SettingsStore& store;
    QString key;
    QVariant defaultValue;
    QVariant lastSeen;
};

} // namespace zonkle
