#pragma once

#include <QCoreApplication>
#include <QString>

namespace zonkle {

// Why an update check ended without an answer. The user is told in plain words; `detail`
// carries the technical cause (an XML error, a network error text) for the curious.
struct UpdateCheckFailure {
    enum class Reason {
        Unreachable,        // no connection, or the transfer broke off
        InsecureConnection, // the server's TLS identity could not be verified
        ServerError,        // an HTTP status other than success; see httpStatus
        TimedOut,           // no progress for too long, or the whole check took too long
        TooLarge,           // the answer is larger than any appcast needs to be
        UnsafeRedirect,     // a redirect to a non-https address
        TooManyRedirects,   //
        InvalidFeed,        // not a well-formed appcast
    };

    Reason reason = Reason::Unreachable;
    int httpStatus = 0;
    QString detail;

    Q_DECLARE_TR_FUNCTIONS(zonkle::UpdateCheckFailure)
};

// One or two sentences for the user: what failed, without jargon.
QString describeUpdateCheckFailure(const UpdateCheckFailure& failure);

} // namespace zonkle
