#pragma once

#include <memory>

#include <QObject>
#include <QSystemTrayIcon>

#include "autostart.h"
#include "state/settings_store.h"
#include "tray_host_watcher.h"
#include "ui/content_view.h"
#include "ui/tray_menu.h"
#include "updates/updater_service.h"

namespace zonkle {

// The application: the updater, the panel (whose construction launches and configures
// the detector) and the tray icon that opens the panel, built in that order and kept for
// the whole run. The icon is made once a system tray is there; until then, after a few
// seconds, the panel is shown in an ordinary window instead, and closing that window ends
// the application. The icon follows the desktop's colours and has a context menu.
class ZonkleApp final : public QObject {
    Q_OBJECT

public:
    explicit ZonkleApp(QObject* parent = nullptr);
    ~ZonkleApp() override;

    // Shows the panel if it is not shown (a second launch asks for this).
    void showPanel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makeTrayIcon();
    void onTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void togglePanel();
    void showPanelInWindow();

    UpdaterService updaterService;
    SettingsStore settings;
    ContentView panel;
    TrayMenu trayMenu;
    Autostart autostart;
    TrayHostWatcher trayHosts;
    std::unique_ptr<QSystemTrayIcon> trayIcon;
    bool panelIsWindow = false;
};

} // namespace zonkle
