#include "updater_service.h"

#include "platform_updater.h"

namespace zonkle {

UpdaterService::UpdaterService(QObject* parent) : UpdaterService(makePlatformUpdater(), parent) {}

UpdaterService::UpdaterService(std::unique_ptr<UpdaterController> controller, QObject* parent)
    : QObject(parent), controller(std::move(controller)) {
    Q_ASSERT(this->controller);
    // Connect first, then take the current value, so no report between the two is lost.
    connect(this->controller.get(), &UpdaterController::canCheckForUpdatesChanged, this, [this](bool value) {
        if (canCheck != value) {
            canCheck = value;
            emit canCheckForUpdatesChanged(value);
        }
    });
    canCheck = this->controller->canCheckForUpdates();
}

UpdaterService::~UpdaterService() = default;

} // namespace zonkle
