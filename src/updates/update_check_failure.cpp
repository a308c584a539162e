#include "update_check_failure.h"

namespace zonkle {

namespace {

QString reasonText(const UpdateCheckFailure& failure) {
    using Reason = UpdateCheckFailure::Reason;
    switch (failure.reason) {
    case Reason::Unreachable:
        return UpdateCheckFailure::tr(
            "The update server could not be reached. Check your internet connection and try again later.");
    case Reason::InsecureConnection:
        return UpdateCheckFailure::tr(
            "The update server's identity could not be verified, so the connection was not trusted.");
    case Reason::ServerError:
        return UpdateCheckFailure::tr("The update server answered with error %1.").arg(failure.httpStatus);
    case Reason::TimedOut:
        return UpdateCheckFailure::tr("The update server took too long to answer.");
    case Reason::TooLarge:
        return UpdateCheckFailure::tr(
            "The update server sent far more data than expected, so the answer was discarded.");
    case Reason::UnsafeRedirect:
        return UpdateCheckFailure::tr(
            "The update server sent Zonkle to an address that is not secure, so it was not followed.");
    case Reason::TooManyRedirects:
        return UpdateCheckFailure::tr("The update server sent Zonkle from one address to the next too many times.");
    case Reason::InvalidFeed:
        return UpdateCheckFailure::tr("The update information from the server could not be read.");
    }
    return {};
}

} // namespace

QString describeUpdateCheckFailure(const UpdateCheckFailure& failure) {
    const QString reason = reasonText(failure);
    if (failure.detail.isEmpty()) {
        return reason;
    }
    return UpdateCheckFailure::tr("%1\n\nDetails: %2").arg(reason, failure.detail);
}

} // namespace zonkle
