#pragma once

#include <memory>

#include <QObject>

#include "updates/update_dialog_presenter.h"
#include "updates/updater_controller.h"

namespace zonkle {

// Starts the updater at construction and mirrors whether a check may start now.
class UpdaterService final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    // The platform's updater (on Linux the appcast checker with the build's feed URL),
    // telling the user through `presenter`.
    explicit UpdaterService(std::unique_ptr<UpdateDialogPresenter> presenter, QObject* parent = nullptr);
    explicit UpdaterService(std::unique_ptr<UpdaterController> controller, QObject* parent = nullptr);
    ~UpdaterService() override;

    bool canCheckForUpdates() const { return canCheck; }
    UpdaterController& updaterController() const { return *controller; }

signals:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    std::unique_ptr<UpdaterController> controller;
    bool canCheck = false;
};

} // namespace zonkle
