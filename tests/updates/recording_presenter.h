#pragma once

#include <memory>

#include <QList>

#include "updates/update_dialog_presenter.h"

namespace zonkle::test {

// What the controller asked to show, kept beyond the presenter's life (the controller owns it).
struct PresenterLog {
    enum class Dialog { Checking, UpToDate, UpdateAvailable, Failed, Dismissed };

    QList<Dialog> dialogs;
    QString upToDateVersion;
    AvailableUpdate update;
    UpdateCheckFailure failure;
    std::function<void()> cancel;

    bool shows(Dialog dialog) const { return dialogs.contains(dialog); }
    std::optional<Dialog> last() const { return dialogs.isEmpty() ? std::nullopt : std::optional(dialogs.last()); }
};

class RecordingPresenter final : public UpdateDialogPresenter {
public:
    explicit RecordingPresenter(std::shared_ptr<PresenterLog> log) : log(std::move(log)) {}

    void showChecking(std::function<void()> onCancel) override {
        log->dialogs.append(PresenterLog::Dialog::Checking);
        log->cancel = std::move(onCancel);
    }
    void showUpToDate(const QString& runningVersion) override {
        log->dialogs.append(PresenterLog::Dialog::UpToDate);
        log->upToDateVersion = runningVersion;
    }
    void showUpdateAvailable(const AvailableUpdate& update) override {
        log->dialogs.append(PresenterLog::Dialog::UpdateAvailable);
        log->update = update;
    }
    void showFailed(const UpdateCheckFailure& failure) override {
        log->dialogs.append(PresenterLog::Dialog::Failed);
        log->failure = failure;
    }
    void dismiss() override { log->dialogs.append(PresenterLog::Dialog::Dismissed); }

private:
    std::shared_ptr<PresenterLog> log;
};

} // namespace zonkle::test
