#pragma once

#include <QObject>

namespace zonkle {

// The platform's updater, started when it is created. canCheckForUpdates() tells whether
// a user-initiated check may start now; every change is reported on the main thread.
class UpdaterController : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~UpdaterController() override = default;

    virtual bool canCheckForUpdates() const = 0;
    // Starts a user-initiated check; ignored while one is in flight or none can start.
    virtual void checkForUpdates() = 0;

signals:
    void canCheckForUpdatesChanged(bool canCheck);
};

} // namespace zonkle
