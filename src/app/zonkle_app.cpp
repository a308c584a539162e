#include "zonkle_app.h"

#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include "menu_bar_icon.h"
#include "popup_placement.h"
#include "ui/standard_update_dialog_presenter.h"

namespace zonkle {

namespace {

using namespace std::chrono_literals;

constexpr const char* applicationTitle = "Zonkle";
// A desktop session may start its tray after the applications it launches.
constexpr auto systemTrayWait = 5s;

} // namespace

ZonkleApp::ZonkleApp(QObject* parent)
    : QObject(parent), updaterService(std::make_unique<StandardUpdateDialogPresenter>()),
      panel(updaterService, settings) {
    panel.setWindowTitle(QString::fromLatin1(applicationTitle));
    // A frameless popup that closes on a click elsewhere or on Escape. The click that
    // closes it is not passed on, so a click on the tray icon closes it rather than
    // opening it again.
    panel.setWindowFlags(Qt::Popup);
    panel.setAttribute(Qt::WA_NoMouseReplay);

    trayIcon.setIcon(menuBarIcon(QGuiApplication::palette().color(QPalette::WindowText)));
    trayIcon.setToolTip(QString::fromLatin1(applicationTitle));
    connect(&trayIcon, &QSystemTrayIcon::activated, this, &ZonkleApp::onTrayActivated);

    // On X11, Qt embeds the icon as soon as a tray appears, also one that starts later, so there
    // is nothing to poll: one look after the wait decides whether the panel needs a window.
    // Elsewhere (offscreen, say) nothing can watch for a later tray.
    const bool trayMayAppear = QGuiApplication::platformName() == QLatin1String("xcb");
    if (QSystemTrayIcon::isSystemTrayAvailable() || trayMayAppear) {
        trayIcon.show();
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        QTimer::singleShot(systemTrayWait, this, &ZonkleApp::fallBackWithoutSystemTray);
    }
}

ZonkleApp::~ZonkleApp() = default;

void ZonkleApp::onTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    // Every press on the icon opens or closes the panel; the icon has no menu of its own.
    // A press soon after one that opened the panel (closed again by Escape) arrives as a
    // double click, and counts as well.
    if (reason != QSystemTrayIcon::Unknown) {
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
    const QRect icon = trayIcon.geometry();
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

void ZonkleApp::fallBackWithoutSystemTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fprintf(stderr, "Zonkle: no system tray found, so the panel is shown in a window instead.\n");
        std::fflush(stderr);
        showPanelInWindow();
    }
}

void ZonkleApp::showPanelInWindow() {
    panelIsWindow = true;
    panel.hide();
    panel.setWindowFlags(Qt::Window);
    panel.installEventFilter(this);
    panel.show();
}

bool ZonkleApp::eventFilter(QObject* watched, QEvent* event) {
    // Closing the window is the only way out besides Quit when there is no tray icon.
    if (watched == &panel && event->type() == QEvent::Close && panelIsWindow) {
        QCoreApplication::quit();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zonkle
