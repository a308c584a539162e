#pragma once

#include <memory>

#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include "feed_download.h"
#include "update_dialog_presenter.h"
#include "updater_controller.h"

namespace zonkle {

// The updater where no platform updater exists: on request it fetches the appcast, compares
// the newest release with the running version and tells the user, who downloads and installs
// it themselves. It never checks on its own and never installs anything.
class AppcastUpdaterController final : public UpdaterController {
    Q_OBJECT

public:
    struct Settings {
        // Empty, or neither https nor loopback: no check can ever start.
        QUrl feedUrl;
        QString runningVersion;
        // Enclosures marked for another system are skipped ("linux", "macos", "windows").
        QString operatingSystem;
        FeedLimits limits;
    };

    AppcastUpdaterController(Settings settings, std::unique_ptr<UpdateDialogPresenter> presenter,
                             QObject* parent = nullptr);
    ~AppcastUpdaterController() override;

    bool canCheckForUpdates() const override { return canCheck; }
    void checkForUpdates() override;

private:
    void cancelCheck();
    void endCheck();
    void presentFeed(const QByteArray& body, const QUrl& finalUrl);
    void presentFailure(const UpdateCheckFailure& failure);
    void setCanCheck(bool value);

    Settings settings;
    std::unique_ptr<UpdateDialogPresenter> presenter;
    QNetworkAccessManager network;
    std::unique_ptr<FeedDownload> download;
    bool canCheck = false;
};

} // namespace zonkle
