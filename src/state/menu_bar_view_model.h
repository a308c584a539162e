#pragma once

#include "daemon_link/daemon_client.h"
#include "daemon_link/log_line.h"
#include "state/settings_store.h"

#include <QObject>
#include <QString>

#include <memory>

namespace zonkle {

// The application's one long-lived state object: owns the daemon link, counts hits,
// logs the daemon's events and pushes the configuration to it.
class MenuBarViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 hitCount READ hitCount NOTIFY hitCountChanged)

public:
    // The process-wide instance, created on first use (which starts the daemon and sends
    // it the stored settings) and never destroyed. Main thread only.
    static MenuBarViewModel& shared();

    // Starts the client and sends it `initial`. The client's onEventReceived is set here.
    MenuBarViewModel(std::shared_ptr<DaemonClient> client, const SettingsValues& initial,
                     LogSink log = writeLogLine, QObject* parent = nullptr);
    ~MenuBarViewModel() override;

    qint64 hitCount() const { return hits; }

    void syncConfig(double sensitivity, const QString& sound, bool paused);
    void handleEvent(const InboundEvent& event);

    // Texts of the log lines, exposed for tests and benchmarks.
    static std::string sensitivityText(double sensitivity);
    static std::string debugOptionalText(const std::optional<std::string>& text);

signals:
    void hitCountChanged(qint64 hitCount);

private:
    qint64 hits = 0;
    std::shared_ptr<DaemonClient> client;
    LogSink log;
};

} // namespace zonkle
