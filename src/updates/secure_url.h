#pragma once

#include <QUrl>

namespace zonkle {

// Whether the update checker may fetch or offer this address: https anywhere, plain http
// only to this machine's loopback interface (which never leaves the host).
bool isSecureOrLoopback(const QUrl& url);

// Whether a redirect from `from` to `to` keeps the transfer safe: the target must itself be
// acceptable, and an https transfer is never continued over plain http.
bool isSafeRedirect(const QUrl& from, const QUrl& to);

} // namespace zonkle
