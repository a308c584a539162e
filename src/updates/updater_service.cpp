#include "updater_service.h"

#include "appcast_updater_controller.h"

namespace zonkle {

namespace {

// The appcast checker serves every platform until a native updater backend replaces it.
std::unique_ptr<UpdaterController> makePlatformUpdater(std::unique_ptr<UpdateDialogPresenter> presenter) {
    AppcastUpdaterController::Settings settings{
        .feedUrl = QUrl(QStringLiteral(ZONKLE_UPDATE_FEED_URL), QUrl::StrictMode),
        .runningVersion = QStringLiteral(ZONKLE_VERSION),
        .operatingSystem = QStringLiteral("linux"),
        .limits = {},
    };
    return std::make_unique<AppcastUpdaterController>(std::move(settings), std::move(presenter));
}

} // namespace

UpdaterService::UpdaterService(std::unique_ptr<UpdateDialogPresenter> presenter, QObject* parent)
    : UpdaterService(makePlatformUpdater(std::move(presenter)), parent) {}

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
