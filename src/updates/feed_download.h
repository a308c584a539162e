#pragma once

#include <chrono>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "update_check_failure.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace zonkle {

// Bounds on one download of the feed, so a broken or hostile server can neither stall a
// check nor fill memory.
struct FeedLimits {
    // Longest stretch without any data moving before the transfer is given up.
    std::chrono::milliseconds transferTimeout{15'000};
    // Longest the whole check may take, however steadily a server trickles data.
    std::chrono::milliseconds deadline{30'000};
    // An appcast of many releases stays far below this.
    qint64 maxBodyBytes = 1024 * 1024;
    int maxRedirects = 5;
};

// One GET of the appcast, started at construction. Ends with exactly one of the two signals,
// unless destroyed first, which aborts the transfer silently.
class FeedDownload final : public QObject {
    Q_OBJECT

public:
    FeedDownload(QNetworkAccessManager& network, const QUrl& url, const QByteArray& userAgent, const FeedLimits& limits,
                 QObject* parent = nullptr);
    ~FeedDownload() override;

signals:
    // `finalUrl` is where the body came from after redirects; relative links resolve against it.
    void finished(const QByteArray& body, const QUrl& finalUrl);
    void failed(const UpdateCheckFailure& failure);

private:
    void request(const QUrl& url);
    void checkAnnouncedLength();
    void takeAvailableBytes();
    void complete();
    void followRedirect(const QUrl& target);
    void fail(UpdateCheckFailure failure);
    void stopTransfer();
    void dropReply();

    QNetworkAccessManager& network;
    QByteArray userAgent;
    FeedLimits limits;
    QPointer<QNetworkReply> reply;
    QTimer deadline;
    QByteArray body;
    QUrl currentUrl;
    int redirects = 0;
};

} // namespace zonkle
