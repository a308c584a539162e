#pragma once

#include <functional>

#include <QString>
#include <QUrl>

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
        UnsafeRedirect,     // a redirect to an address the updater may not fetch
        TooManyRedirects,   //
        InvalidFeed,        // not a well-formed appcast
    };

    Reason reason = Reason::Unreachable;
    int httpStatus = 0;
    QString detail;
};

// What the user is told about a newer release. Each link is empty when the feed gave none
// that may be opened safely.
struct AvailableUpdate {
    QString version;
    QString runningVersion;
    QUrl releaseNotesLink;
    QUrl downloadPage;
};

// Shows the dialogs of a user-initiated update check. Each call replaces the dialog shown
// before; none of them waits for the user, so the event loop keeps running. Texts from the
// feed or the server may be long and are shown cut to fit.
class UpdateDialogPresenter {
public:
    virtual ~UpdateDialogPresenter() = default;

    // `onCancel` runs at most once, if the user cancels before the next call.
    virtual void showChecking(std::function<void()> onCancel) = 0;
    virtual void showUpToDate(const QString& runningVersion) = 0;
    virtual void showUpdateAvailable(const AvailableUpdate& update) = 0;
    virtual void showFailed(const UpdateCheckFailure& failure) = 0;
    // Closes the dialog shown, if any, without calling back.
    virtual void dismiss() = 0;
};

} // namespace zonkle
