#pragma once

#include <memory>

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
};

class RecordingPresenter final : public UpdateDialogPresenter {
public:
    explicit RecordingPresenter(std::shared_ptr<PresenterLog> log) : log(std::move(log)) {}

    void showChecking(std::function<void()> onCancel) override { record(Dialog::Checking).cancel = onCancel; }
    void showUpToDate(const QString& running) override { record(Dialog::UpToDate).upToDateVersion = running; }
    void showUpdateAvailable(const AvailableUpdate& update) override {
        record(Dialog::UpdateAvailable).update = update;
    }
    void showFailed(const UpdateCheckFailure& failure) override { record(Dialog::Failed).failure = failure; }
    void dismiss() override { record(Dialog::Dismissed); }

private:
    using Dialog = PresenterLog::Dialog;

    PresenterLog& record(Dialog dialog) {
        log->dialogs.append(dialog);
        return *log;
    }

    std::shared_ptr<PresenterLog> log;
};

} // namespace zonkle::test
