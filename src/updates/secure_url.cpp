#include "secure_url.h"

#include <QHostAddress>

namespace zonkle {

namespace {

constexpr QLatin1String httpsScheme("https");
constexpr QLatin1String httpScheme("http");
constexpr QLatin1String localhostName("localhost");

bool isLoopbackHost(const QString& host) {
    if (host.compare(localhostName, Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

bool isSecureOrLoopback(const QUrl& url) {
    if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == httpsScheme || (scheme == httpScheme && isLoopbackHost(url.host()));
}

bool isSafeRedirect(const QUrl& from, const QUrl& to) {
    const bool downgrade = from.scheme().toLower() == httpsScheme && to.scheme().toLower() != httpsScheme;
    return !downgrade && isSecureOrLoopback(to);
}

} // namespace zonkle
