#include "appcast_updater_controller.h"

#include <QtGlobal>

#include "appcast.h"
#include "version_comparator.h"

namespace zonkle {

namespace {

// Relative links count from where the feed was finally fetched; anything that would open an
// unsafe page is not offered at all.
QUrl offeredLink(const QUrl& feedUrl, const QUrl& link) {
    if (link.isEmpty()) {
        return {};
    }
    const QUrl resolved = feedUrl.resolved(link);
    return isSafeAddress(feedUrl, resolved) ? resolved : QUrl();
}

} // namespace

AppcastUpdaterController::AppcastUpdaterController(Settings settings, std::unique_ptr<UpdateDialogPresenter> presenter,
                                                   QObject* parent)
    : UpdaterController(parent), settings(std::move(settings)), presenter(std::move(presenter)) {
    // Starting needs no traffic: the feed is fetched only when the user asks.
    const QUrl& feed = this->settings.feedUrl;
    if (feed.isEmpty()) {
        return;
    }
    if (!isSafeAddress(feed, feed)) {
        qWarning("Update checks disabled: the feed address %s is not a plain https address",
                 qPrintable(feed.toDisplayString()));
        return;
    }
    canCheck = true;
}

AppcastUpdaterController::~AppcastUpdaterController() {
    download.reset();
    presenter->dismiss();
}

void AppcastUpdaterController::checkForUpdates() {
    if (!canCheck) {
        return;
    }
    setCanCheck(false);
    presenter->showChecking([this] { cancelCheck(); });
    download = std::make_unique<FeedDownload>(network, settings.feedUrl, "Zonkle/" + settings.runningVersion.toUtf8(),
                                              settings.limits);
    connect(download.get(), &FeedDownload::finished, this, &AppcastUpdaterController::presentFeed);
    connect(download.get(), &FeedDownload::failed, this, &AppcastUpdaterController::presentFailure);
}

void AppcastUpdaterController::cancelCheck() {
    if (!download) {
        return;
    }
    download.reset();
    presenter->dismiss();
    setCanCheck(true);
}

// Runs inside the download's own signal, so the download is deleted only afterwards.
void AppcastUpdaterController::endCheck() {
    download.release()->deleteLater();
    setCanCheck(true);
}

void AppcastUpdaterController::presentFeed(const QByteArray& body, const QUrl& finalUrl) {
    endCheck();
    QString error;
    const std::optional<Appcast> appcast = Appcast::parse(body, settings.operatingSystem, &error);
    if (!appcast) {
        presenter->showFailed({UpdateCheckFailure::Reason::InvalidFeed, 0, error});
        return;
    }
    const std::optional<AppcastItem> newest = appcast->newestItem();
    if (!newest || VersionComparator::compare(newest->version, settings.runningVersion) <= 0) {
        presenter->showUpToDate(settings.runningVersion);
        return;
    }
    QUrl downloadPage = offeredLink(finalUrl, newest->link);
    if (downloadPage.isEmpty()) {
        downloadPage = offeredLink(finalUrl, newest->enclosureUrl);
    }
    presenter->showUpdateAvailable({newest->displayVersion(), settings.runningVersion,
                                    offeredLink(finalUrl, newest->releaseNotesLink), downloadPage});
}

void AppcastUpdaterController::presentFailure(const UpdateCheckFailure& failure) {
    endCheck();
    presenter->showFailed(failure);
}

void AppcastUpdaterController::setCanCheck(bool value) {
    if (canCheck == value) {
        return;
    }
    canCheck = value;
    emit canCheckForUpdatesChanged(value);
}

} // namespace zonkle
