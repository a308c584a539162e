#include "appcast_updater_controller.h"
#include "platform_updater.h"
#include "standard_update_dialog_presenter.h"

namespace zonkle {

std::unique_ptr<UpdaterController> makePlatformUpdater() {
    AppcastUpdaterController::Settings settings{
        .feedUrl = QUrl(QStringLiteral(ZONKLE_UPDATE_FEED_URL), QUrl::StrictMode),
        .runningVersion = QStringLiteral(ZONKLE_VERSION),
        .operatingSystem = QStringLiteral("linux"),
        .limits = {},
    };
    return std::make_unique<AppcastUpdaterController>(std::move(settings),
                                                      std::make_unique<StandardUpdateDialogPresenter>());
}

} // namespace zonkle
