#pragma once

#include <functional>

#include <QMenu>

#include "state/bound_setting.h"

class QAction;

namespace zonkle {

class SettingsStore;
class UpdaterService;

// The tray icon's context menu: pause or resume sensing (the panel's stored setting, so the
// panel shows and pushes the change), Check for Updates (enabled as the panel's Update button
// is) and Quit.
class TrayMenu final : public QMenu {
    Q_OBJECT

public:
    TrayMenu(UpdaterService& updaterService, SettingsStore& settings, QWidget* parent = nullptr);

    // A check item above Quit that shows `checked` and reports each toggle to `toggled`.
    QAction* addCheckItem(const QString& text, bool checked, std::function<void(bool)> toggled);

private:
    void showPaused();

    BoundSetting isPaused;
    QAction* pauseAction = nullptr;
    QAction* quitSeparator = nullptr;
};

} // namespace zonkle
