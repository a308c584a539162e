#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QObject>
#include <QString>

#include "daemon_link/daemon_client.h"
#include "daemon_link/log_line.h"
#include "settings_store.h"

namespace zonkle {

// The application's one long-lived state object: owns the daemon link, counts hits,
// logs the daemon's events and pushes the configuration to it.
class MenuBarViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 hitCount READ hitCount NOTIFY hitCountChanged)
    Q_PROPERTY(DetectorHealth detectorHealth READ detectorHealth NOTIFY detectorHealthChanged)
    Q_PROPERTY(QString detectorHealthDetail READ detectorHealthDetail NOTIFY detectorHealthChanged)

public:
    // Whether the detector can sense anything. Healthy until it reports a missing sensor or
    // microphone, could not be started or has exited; a later pong makes it Healthy again.
    enum class DetectorHealth { Healthy, NoSensor, NoAudio, NotStarted, Exited };
    Q_ENUM(DetectorHealth)

    // Reads the three stored settings; called once, right after the client was started.
    using SettingsSource = std::function<SettingsValues()>;

    // The process-wide instance, created on first use (which starts the daemon and sends
    // it the stored settings) and never destroyed. Main thread only.
    static MenuBarViewModel& shared();

    // Sets the client's onEventReceived, starts the client, reads the settings and sends them.
    MenuBarViewModel(std::shared_ptr<DaemonClient> client, SettingsSource readSettings, LogSink log = writeLogLine,
                     QObject* parent = nullptr);
    // As above with settings read beforehand.
    MenuBarViewModel(std::shared_ptr<DaemonClient> client, const SettingsValues& initial, LogSink log = writeLogLine,
                     QObject* parent = nullptr);
    // Stops the client, which sends "quit" to a running daemon.
    ~MenuBarViewModel() override;

    qint64 hitCount() const { return hits; }
    DetectorHealth detectorHealth() const { return health; }
    // The detector's message, or the reason the launch failed or how the detector ended.
    QString detectorHealthDetail() const { return healthDetail; }

    void syncConfig(double sensitivity, const QString& sound, bool paused);
    void handleEvent(const InboundEvent& event);

signals:
    void hitCountChanged(qint64 hitCount);
    void detectorHealthChanged();

private:
    void setHealth(DetectorHealth newHealth, const QString& detail);
    void handleFailure(const DetectorFailure& failure);

    qint64 hits = 0;
    DetectorHealth health = DetectorHealth::Healthy;
    QString healthDetail;
    std::shared_ptr<DaemonClient> client;
    LogSink log;
};

} // namespace zonkle
