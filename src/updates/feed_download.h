#pragma once

#include <chrono>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "update_dialog_presenter.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace zonkle {

// Whether the updater may fetch or offer `to`, an address found in (or redirected to from)
// `from`: https, or plain http to this machine's loopback interface (which never leaves the
// host). A loopback address only from a loopback `from`, so a feed on the web cannot point
// at services on the user's machine; no https transfer continues over plain http; and never
// an address with user credentials in it. The build's own feed is checked against itself.
bool isSafeAddress(const QUrl& from, const QUrl& to);

// Bounds on one download of the feed, so a broken or hostile server can neither stall a
// check nor fill memory: the network layer holds at most readBufferBytes of a reply the main
// thread has not taken yet, and the transfer ends once more than maxBodyBytes have arrived.
struct FeedLimits {
    // Longest stretch without any data moving before the transfer is given up.
    std::chrono::milliseconds transferTimeout{15'000};
    // Longest the whole check may take, however steadily a server trickles data.
    std::chrono::milliseconds deadline{30'000};
    // An appcast of many releases stays far below this.
    qint64 maxBodyBytes = 1024 * 1024;
    qint64 readBufferBytes = 64 * 1024;
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
    void checkProgress(qint64 bytesReceived);
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
