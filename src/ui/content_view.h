#pragma once

#include <QWidget>

#include "state/bound_setting.h"

class QComboBox;
class QLabel;
class QShowEvent;
class QSlider;

namespace zonkle {

class MenuBarViewModel;
class PlainButton;
class SettingsStore;
class SwitchButton;
class UpdaterService;

// The panel under the tray icon: whether sensing is active, the pause switch, the sound
// picker, the sensitivity slider, Update and Quit. Its three controls are bound to the
// settings: every change is stored at once and pushes the whole configuration to the
// detector, and so does every appearance of the panel.
class ContentView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int panelWidth = 250;

    // The application's panel, on MenuBarViewModel::shared() (creating it on first use).
    ContentView(UpdaterService& updaterService, SettingsStore& settings, QWidget* parent = nullptr);
    ContentView(UpdaterService& updaterService, MenuBarViewModel& viewModel, SettingsStore& settings,
                QWidget* parent = nullptr);
    ~ContentView() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildSettings();
    QWidget* buildFooter();
    QWidget* buildDivider();

    void showStatus();
    void showSound();
    void showSensitivity();
    void pushConfig();

    UpdaterService& updaterService;
    MenuBarViewModel& viewModel;
    BoundSetting sensitivity;
    BoundSetting selectedSound;
    BoundSetting isPaused;

    QLabel* statusDot = nullptr;
    QLabel* statusText = nullptr;
    SwitchButton* pauseSwitch = nullptr;
    QComboBox* soundPicker = nullptr;
    QLabel* sensitivityValue = nullptr;
    QSlider* sensitivitySlider = nullptr;
    PlainButton* updateButton = nullptr;
    PlainButton* quitButton = nullptr;
};

} // namespace zonkle
