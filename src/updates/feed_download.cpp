#include "feed_download.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace zonkle {

namespace {

using Reason = UpdateCheckFailure::Reason;

constexpr QLatin1String httpsScheme("https");
constexpr QLatin1String httpScheme("http");
constexpr QLatin1String localhostName("localhost");

// Names and addresses that reach this machine: localhost and its subdomains, 127.0.0.0/8,
// ::1 (also IPv4-mapped), and the unspecified address, which Linux connects locally.
bool isLoopbackHost(QString host) {
    host = host.toLower();
    if (host.endsWith(u'.')) {
        host.chop(1);
    }
    if (host == localhostName || host.endsWith(u'.' + localhostName)) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() &&
           (address.isLoopback() || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6);
}

bool isSuccess(int status) {
    return status >= 200 && status < 300;
}

UpdateCheckFailure failureFor(const QNetworkReply& reply) {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && !isSuccess(status.toInt())) {
        return {Reason::ServerError, status.toInt(), {}};
    }
    switch (reply.error()) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        // We never abort a reply we still listen to, so a cancellation is Qt's transfer timeout.
        return {Reason::TimedOut, 0, {}};
    case QNetworkReply::SslHandshakeFailedError:
        return {Reason::InsecureConnection, 0, reply.errorString()};
    default:
        return {Reason::Unreachable, 0, reply.errorString()};
    }
}

} // namespace

bool isSafeAddress(const QUrl& from, const QUrl& to) {
    if (!to.isValid() || to.host().isEmpty() || !to.userInfo().isEmpty()) {
        return false;
    }
    const QString scheme = to.scheme().toLower();
    const bool toLoopback = isLoopbackHost(to.host());
    if (toLoopback && !isLoopbackHost(from.host())) {
        return false;
    }
    return scheme == httpsScheme || (scheme == httpScheme && toLoopback && from.scheme().toLower() == httpScheme);
}

FeedDownload::FeedDownload(QNetworkAccessManager& network, const QUrl& url, const QByteArray& userAgent,
                           const FeedLimits& limits, QObject* parent)
    : QObject(parent), network(network), userAgent(userAgent), limits(limits) {
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] { fail({Reason::TimedOut, 0, {}}); });
    deadline.start(limits.deadline);
    request(url);
}

FeedDownload::~FeedDownload() {
    stopTransfer();
}

void FeedDownload::request(const QUrl& url) {
    currentUrl = url;
    body.clear();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    // Redirects are followed here, not by Qt, so each target is vetted before it is contacted.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(limits.transferTimeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    // Without compression the bytes counted are the bytes held: no small answer can inflate.
    request.setRawHeader("Accept-Encoding", "identity");

    reply = network.get(request);
    // Qt's network thread stops reading from the socket while this much is waiting for the
    // main thread, so a server cannot fill memory while the main thread is busy elsewhere.
    reply->setReadBufferSize(limits.readBufferBytes);
    connect(reply, &QNetworkReply::downloadProgress, this, &FeedDownload::checkProgress);
    connect(reply, &QNetworkReply::metaDataChanged, this, &FeedDownload::checkAnnouncedLength);
    connect(reply, &QNetworkReply::readyRead, this, &FeedDownload::takeAvailableBytes);
    connect(reply, &QNetworkReply::finished, this, &FeedDownload::complete);
    // TLS errors are deliberately left unanswered: the handshake then fails and so does the check.
}

void FeedDownload::checkAnnouncedLength() {
    bool known = false;
    const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && length > limits.maxBodyBytes) {
        fail({Reason::TooLarge, 0, {}});
    }
}

// Counts what the network layer has received, read by the main thread or not.
void FeedDownload::checkProgress(qint64 bytesReceived) {
    if (bytesReceived > limits.maxBodyBytes) {
        fail({Reason::TooLarge, 0, {}});
    }
}

void FeedDownload::takeAvailableBytes() {
    // Never read more than one byte past the limit, whatever the server has sent.
    body += reply->read(limits.maxBodyBytes + 1 - body.size());
    if (body.size() > limits.maxBodyBytes) {
        fail({Reason::TooLarge, 0, {}});
    }
}

void FeedDownload::complete() {
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (reply->error() == QNetworkReply::NoError && target.isValid()) {
        followRedirect(currentUrl.resolved(target.toUrl()));
        return;
    }
    if (reply->error() != QNetworkReply::NoError ||
        !isSuccess(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt())) {
        fail(failureFor(*reply));
        return;
    }
    takeAvailableBytes();
    if (!reply) {
        return;
    }
    stopTransfer();
    emit finished(body, currentUrl);
}

void FeedDownload::followRedirect(const QUrl& target) {
    if (!isSafeAddress(currentUrl, target)) {
        fail({Reason::UnsafeRedirect, 0, target.toDisplayString()});
        return;
    }
    if (++redirects > limits.maxRedirects) {
        fail({Reason::TooManyRedirects, 0, {}});
        return;
    }
    dropReply();
    request(target);
}

void FeedDownload::fail(UpdateCheckFailure failure) {
    stopTransfer();
    emit failed(failure);
}

void FeedDownload::stopTransfer() {
    deadline.stop();
    dropReply();
}

// Detaches before aborting: abort() reports synchronously, and nothing may answer that.
void FeedDownload::dropReply() {
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        reply = nullptr;
    }
}

} // namespace zonkle
