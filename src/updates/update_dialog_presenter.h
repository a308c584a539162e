#pragma once

#include <functional>

#include <QString>
#include <QUrl>

#include "update_check_failure.h"

namespace zonkle {

// What the user is told about a newer release. Each link is empty when the feed gave none
// that may be opened safely.
struct AvailableUpdate {
    QString version;
    QString runningVersion;
    QUrl releaseNotesLink;
    QUrl downloadPage;
};

// Shows the dialogs of a user-initiated update check. Each call replaces the dialog shown
// before; none of them waits for the user, so the event loop keeps running.
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
