#pragma once

#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>

namespace zonkle::test {

struct XWindow {
    QString id;
    QRect geometry;
};

// A virtual X display (Xvfb) for one test, and the user's hands on it: xdotool for the
// pointer and keys, and a window manager's close request.
class VirtualDisplay final {
public:
    static bool xvfbInstalled();

    VirtualDisplay();
    ~VirtualDisplay();

    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Starts Xvfb and waits until it accepts clients; false with `error` set otherwise.
    bool start(QString& error);
    // Such as ":3".
    QString name() const { return display; }

    // Mapped windows whose WM_CLASS instance is `instanceName`, with their geometry on screen.
    std::vector<XWindow> visibleWindows(const QString& instanceName) const;
    bool click(QPoint point) const;
    bool key(const QString& keySequence) const;

    // Whether a client holds the pointer grabbed, as an open popup does.
    bool pointerGrabbed() const;
    // Whether a system tray runs on the default screen (owns _NET_SYSTEM_TRAY_S0).
    bool systemTrayRunning() const;
    // Asks the window to close, as a window manager's close button does (WM_DELETE_WINDOW).
    bool requestClose(const QString& windowId) const;

private:
    bool runXdotool(const QStringList& arguments, QString* output = nullptr) const;

    QProcess xvfb;
    QString display;
};

} // namespace zonkle::test
