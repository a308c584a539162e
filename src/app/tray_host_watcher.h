#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

namespace zonkle {

// Tells when a system tray is there to show the tray icon in: a StatusNotifierItem host on the
// session bus (KDE Plasma, GNOME's AppIndicator extension, Xfce) or an XEmbed tray on the X
// display, whichever appears, also long after start-up. Qt 6.4 chooses between the two once
// per process, when the first tray icon is made, so the icon must not be made before a tray
// is known.
class TrayHostWatcher final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TrayHostWatcher(QObject* parent = nullptr);
    ~TrayHostWatcher() override;

    // Looks for the trays already there (each found one is signalled) and watches for later ones.
    void start();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void statusNotifierHostAppeared();
    void xembedTrayAppeared();

private slots:
    void askForStatusNotifierHost();

private:
    unsigned int managerAtom = 0;
    unsigned int traySelectionAtom = 0;
};

} // namespace zonkle
