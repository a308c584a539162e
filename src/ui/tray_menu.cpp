#include "tray_menu.h"

#include <QAction>
#include <QCoreApplication>

#include "state/settings_store.h"
#include "updates/updater_service.h"

namespace zonkle {

TrayMenu::TrayMenu(UpdaterService& updaterService, SettingsStore& settings, QWidget* parent)
    : QMenu(parent), isPaused(settings, QString::fromLatin1(isPausedKey), defaultPaused) {
    pauseAction = addAction(QString(), this, [this] { isPaused.setValue(!isPaused.toBool()); });
    pauseAction->setObjectName(QStringLiteral("pauseAction"));
    showPaused();
    connect(&isPaused, &BoundSetting::changed, this, &TrayMenu::showPaused);

    QAction* update = addAction(tr("Check for Updates"), this,
                                [&updaterService] { updaterService.updaterController().checkForUpdates(); });
    update->setObjectName(QStringLiteral("updateAction"));
    update->setEnabled(updaterService.canCheckForUpdates());
    connect(&updaterService, &UpdaterService::canCheckForUpdatesChanged, update, &QAction::setEnabled);

    quitSeparator = addSeparator();
    QAction* quit = addAction(tr("Quit"), this, [] { QCoreApplication::quit(); });
    quit->setObjectName(QStringLiteral("quitAction"));
}

QAction* TrayMenu::addCheckItem(const QString& text, bool checked, std::function<void(bool)> toggled) {
    auto* item = new QAction(text, this);
    item->setCheckable(true);
    item->setChecked(checked);
    connect(item, &QAction::toggled, this, std::move(toggled));
    insertAction(quitSeparator, item);
    return item;
}

void TrayMenu::showPaused() {
    pauseAction->setText(isPaused.toBool() ? tr("Resume Sensing") : tr("Pause Sensing"));
}

} // namespace zonkle
