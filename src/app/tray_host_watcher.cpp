#include "tray_host_watcher.h"

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

namespace zonkle {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

TrayHostWatcher::TrayHostWatcher(QObject* parent) : QObject(parent) {}

TrayHostWatcher::~TrayHostWatcher() = default;

void TrayHostWatcher::start() {
    // Qt makes a StatusNotifierItem only where the watcher says a host is registered, which a
    // panel does after it has taken the watcher's name, or right with it.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto* service = new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(service, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWatcher::askForStatusNotifierHost);
        bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                    SLOT(askForStatusNotifierHost()));
        askForStatusNotifierHost();
    }

    // An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen> and announces taking it with
    // a MANAGER message to the root window, whose structure events Qt's X11 client receives.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    if (x11 == nullptr || xcb_parse_display(nullptr, &host, &display, &screen) == 0) {
        return;
    }
    std::free(host);
    xcb_connection_t* connection = x11->connection();
    managerAtom = internAtom(connection, "MANAGER");
    traySelectionAtom = internAtom(connection, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen));
    qGuiApp->installNativeEventFilter(this);
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, traySelectionAtom), nullptr),
        &std::free);
    if (owner && owner->owner != XCB_WINDOW_NONE) {
        emit xembedTrayAppeared();
    }
}

bool TrayHostWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) == XCB_CLIENT_MESSAGE) {
            const auto* client = static_cast<const xcb_client_message_event_t*>(message);
            if (client->type == managerAtom && client->format == 32 && client->data.data32[1] == traySelectionAtom) {
                emit xembedTrayAppeared();
            }
        }
    }
    return false;
}

void TrayHostWatcher::askForStatusNotifierHost() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (reply.isValid() && reply.value().variant().toBool()) {
            emit statusNotifierHostAppeared();
        }
    });
}

} // namespace zonkle
