#include "zonkle_app.h"

#include <chrono>
#include <cstdio>

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

#include "menu_bar_icon.h"
#include "popup_placement.h"
#include "ui/standard_update_dialog_presenter.h"

namespace zonkle {

namespace {

using namespace std::chrono_literals;

// A desktop session may start its tray after the applications it launches.
constexpr auto systemTrayWait = 5s;
// Desktops that offer both kinds of tray start them together, and StatusNotifierItem is the
// better one (the host's own menu and theme); an XEmbed tray alone is taken after this.
constexpr auto statusNotifierGrace = 2s;

} // namespace

ZonkleApp::ZonkleApp(QObject* parent)
    : QObject(parent), updaterService(std::make_unique<StandardUpdateDialogPresenter>()),
      panel(updaterService, settings), trayMenu(updaterService, settings) {
    // A frameless popup that closes on a click elsewhere or on Escape. The click that
    // closes it is not passed on, so a click on the tray icon closes it rather than
    // opening it again.
    panel.setWindowFlags(Qt::Popup);
    panel.setAttribute(Qt::WA_NoMouseReplay);
    QAction* startAtLogin = trayMenu.addCheckItem(tr("Start at Login"), autostart.isEnabled(), [this](bool on) {
        if (!autostart.setEnabled(on)) {
            std::fprintf(stderr, "Zonkle: cannot %s %s\n", on ? "write" : "remove", qPrintable(autostart.entryPath()));
        }
    });
    // The entry file is the only record of the choice: the user may delete it by hand, and
    // writing it may have failed.
    connect(&trayMenu, &QMenu::aboutToShow, this, [this, startAtLogin] {
        const QSignalBlocker blocker(startAtLogin);
        startAtLogin->setChecked(autostart.isEnabled());
    });
    // A change of the desktop's theme arrives as a new application palette.
    QCoreApplication::instance()->installEventFilter(this);

    connect(&trayHosts, &TrayHostWatcher::statusNotifierHostAppeared, this, &ZonkleApp::makeTrayIcon);
    connect(&trayHosts, &TrayHostWatcher::xembedTrayAppeared, this,
            [this] { QTimer::singleShot(statusNotifierGrace, this, &ZonkleApp::makeTrayIcon); });
    trayHosts.start();
    QTimer::singleShot(systemTrayWait, this, [this] {
        if (trayIcon == nullptr) {
            std::fprintf(stderr, "Zonkle: no system tray found, so the panel is shown in a window instead.\n");
            std::fflush(stderr);
            showPanelInWindow();
        }
    });
}

ZonkleApp::~ZonkleApp() = default;

void ZonkleApp::makeTrayIcon() {
    if (trayIcon != nullptr) {
        return;
    }
    trayIcon = std::make_unique<QSystemTrayIcon>(menuBarIcon(QGuiApplication::palette()));
    trayIcon->setToolTip(panel.windowTitle());
    connect(&panel, &QWidget::windowTitleChanged, trayIcon.get(), &QSystemTrayIcon::setToolTip);
    trayIcon->setContextMenu(&trayMenu);
    connect(trayIcon.get(), &QSystemTrayIcon::activated, this, &ZonkleApp::onTrayActivated);
    trayIcon->show();
    // The window stood in for the missing tray; from now on the panel opens under the icon.
    if (panelIsWindow) {
        panelIsWindow = false;
        panel.removeEventFilter(this);
        panel.hide();
        panel.setWindowFlags(Qt::Popup);
    }
}

void ZonkleApp::onTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    // A left or middle press opens or closes the panel; the right one opens the menu, which
    // Qt or the tray shows by itself. A press soon after one that opened the panel (closed
    // again by Escape) arrives as a double click, and counts as well.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick ||
        reason == QSystemTrayIcon::MiddleClick) {
        togglePanel();
    }
}

void ZonkleApp::showPanel() {
    if (panelIsWindow || !panel.isVisible()) {
        togglePanel();
    }
}

void ZonkleApp::togglePanel() {
    if (panelIsWindow) {
        panel.showNormal();
        panel.raise();
        panel.activateWindow();
        return;
    }
    if (panel.isVisible()) {
        panel.hide();
        return;
    }
    // The icon's place is known only once the tray has embedded it, so it is asked now.
    const QRect icon = trayIcon != nullptr ? trayIcon->geometry() : QRect();
    const QRect anchor = icon.isEmpty() ? QRect(QCursor::pos(), QSize(0, 0)) : icon;
    const QPoint anchorCentre(anchor.x() + anchor.width() / 2, anchor.y() + anchor.height() / 2);
    QScreen* screen = QGuiApplication::screenAt(anchorCentre);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    panel.adjustSize();
    panel.move(popupGeometry(panel.size(), anchor, screen->availableGeometry()).topLeft());
    panel.show();
}

void ZonkleApp::showPanelInWindow() {
    panelIsWindow = true;
    panel.hide();
    panel.setWindowFlags(Qt::Window);
    panel.installEventFilter(this);
    panel.show();
}

bool ZonkleApp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        if (trayIcon != nullptr) {
            trayIcon->setIcon(menuBarIcon(QGuiApplication::palette()));
        }
    }
    // Closing the window is the only way out besides Quit when there is no tray icon.
    if (watched == &panel && event->type() == QEvent::Close && panelIsWindow) {
        QCoreApplication::quit();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zonkle
