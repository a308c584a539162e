#include "virtual_display.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QStringList>

namespace zonkle::test {

namespace {

using namespace std::chrono_literals;

// Generous bounds for a loaded machine; the waits end as soon as the condition holds.
constexpr auto serverStartLimit = 30s;
constexpr int toolRunLimitMs = 30000;

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

Connection connect(const QString& display, int& screen) {
    Connection connection(xcb_connect(display.toLocal8Bit().constData(), &screen));
    if (xcb_connection_has_error(connection.get()) != 0) {
        return nullptr;
    }
    return connection;
}

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name) {
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    if (!reply) {
        return XCB_ATOM_NONE;
    }
    return reply->atom;
}

} // namespace

bool VirtualDisplay::xvfbInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

VirtualDisplay::VirtualDisplay() = default;

VirtualDisplay::~VirtualDisplay() {
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        if (!xvfb.waitForFinished(toolRunLimitMs)) {
            xvfb.kill();
            xvfb.waitForFinished(toolRunLimitMs);
        }
    }
}

bool VirtualDisplay::start(QString& error) {
    // Xvfb picks a free display number and writes it to the given descriptor (stdout).
    // Without -noreset it would reset, refusing clients for a moment, each time the last
    // client leaves, as the probes below do.
    xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                                        QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!xvfb.waitForStarted(toolRunLimitMs)) {
        error = QStringLiteral("Xvfb did not start: ") + xvfb.errorString();
        return false;
    }
    const QDeadlineTimer deadline(serverStartLimit);
    QByteArray number;
    while (!number.endsWith('\n')) {
        if (deadline.hasExpired() || !xvfb.waitForReadyRead(int(deadline.remainingTime()))) {
            error = QStringLiteral("Xvfb reported no display number: ") +
                    QString::fromLocal8Bit(xvfb.readAllStandardError());
            return false;
        }
        number += xvfb.readAllStandardOutput();
    }
    display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    int screen = 0;
    if (!connect(display, screen)) {
        error = QStringLiteral("cannot connect to Xvfb on ") + display;
        return false;
    }
    return true;
}

bool VirtualDisplay::runXdotool(const QStringList& arguments, QString* output) const {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(toolRunLimitMs) || tool.exitStatus() != QProcess::NormalExit) {
        return false;
    }
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(tool.readAllStandardOutput());
    }
    return tool.exitCode() == 0;
}

std::vector<XWindow> VirtualDisplay::visibleWindows(const QString& instanceName) const {
    QString ids;
    // No match is exit code 1 with no output: an empty list.
    runXdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
                QLatin1Char('^') + instanceName + QLatin1Char('$')},
               &ids);
    std::vector<XWindow> windows;
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString shell;
        if (!runXdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}, &shell)) {
            continue; // unmapped in between
        }
        QRect geometry;
        for (const QString& line : shell.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString value = line.section(QLatin1Char('='), 1);
            if (line.startsWith(QLatin1String("X="))) {
                geometry.moveLeft(value.toInt());
            } else if (line.startsWith(QLatin1String("Y="))) {
                geometry.moveTop(value.toInt());
            } else if (line.startsWith(QLatin1String("WIDTH="))) {
                geometry.setWidth(value.toInt());
            } else if (line.startsWith(QLatin1String("HEIGHT="))) {
                geometry.setHeight(value.toInt());
            }
        }
        windows.push_back({id, geometry});
    }
    return windows;
}

bool VirtualDisplay::click(QPoint point) const {
    // No --sync: it waits for a motion event, and there is none when the pointer is
    // already there. The server handles the move before the click in any case.
    return runXdotool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()),
                       QStringLiteral("click"), QStringLiteral("1")});
}

bool VirtualDisplay::key(const QString& keySequence) const {
    return runXdotool({QStringLiteral("key"), keySequence});
}

bool VirtualDisplay::systemTrayRunning() const {
    int screen = 0;
    const Connection connection = connect(display, screen);
    if (!connection) {
        return false;
    }
    const xcb_atom_t selection = atom(connection.get(), "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen));
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(connection.get(), xcb_get_selection_owner(connection.get(), selection), nullptr),
        &std::free);
    return reply && reply->owner != XCB_WINDOW_NONE;
}

bool VirtualDisplay::pointerGrabbed() const {
    int screen = 0;
    const Connection connection = connect(display, screen);
    if (!connection) {
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root;
    // Trying to grab it is the only way to ask; a successful grab is released at once.
    std::unique_ptr<xcb_grab_pointer_reply_t, decltype(&std::free)> reply(
        xcb_grab_pointer_reply(connection.get(),
                               xcb_grab_pointer(connection.get(), 0, root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                XCB_WINDOW_NONE, XCB_CURSOR_NONE, XCB_CURRENT_TIME),
                               nullptr),
        &std::free);
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_pointer(connection.get(), XCB_CURRENT_TIME);
        xcb_flush(connection.get());
        return false;
    }
    return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
}

bool VirtualDisplay::requestClose(const QString& windowId) const {
    int screen = 0;
    const Connection connection = connect(display, screen);
    bool valid = false;
    const xcb_window_t window = windowId.toUInt(&valid);
    if (!connection || !valid) {
        return false;
    }
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(connection.get(), "WM_PROTOCOLS");
    message.data.data32[0] = atom(connection.get(), "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection.get(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    // A round trip, so that the server has handled the request before the connection ends.
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
        xcb_get_input_focus_reply(connection.get(), xcb_get_input_focus(connection.get()), nullptr), &std::free);
    return reply != nullptr;
}

} // namespace zonkle::test
