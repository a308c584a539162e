#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QPointer>

#include "updates/update_dialog_presenter.h"

namespace zonkle {

// The update dialogs as small windows of their own. None is modal and none waits, and
// closing one never ends the application, even when it is the only window left. Texts from
// outside (a version, an error's detail) are cut, so no answer can make a dialog huge.
class StandardUpdateDialogPresenter final : public UpdateDialogPresenter {
    Q_DECLARE_TR_FUNCTIONS(zonkle::StandardUpdateDialogPresenter)

public:
    StandardUpdateDialogPresenter() = default;
    ~StandardUpdateDialogPresenter() override;

    void showChecking(std::function<void()> onCancel) override;
    void showUpToDate(const QString& runningVersion) override;
    void showUpdateAvailable(const AvailableUpdate& update) override;
    void showFailed(const UpdateCheckFailure& failure) override;
    void dismiss() override;

private:
    void present(QDialog* dialog);

    QPointer<QDialog> current;
};

} // namespace zonkle
