#include "content_view.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "plain_button.h"
#include "popup_outline.h"
#include "state/menu_bar_view_model.h"
#include "state/settings_store.h"
#include "status_dot.h"
#include "switch_button.h"
#include "updates/updater_service.h"

namespace zonkle {

namespace {

// Layout of the panel, in logical pixels (font sizes included: the panel's width is
// fixed, so its text must not grow with the desktop's font size).
constexpr int rowSpacing = 8;
constexpr int horizontalInset = 16;

constexpr int headerSpacing = 8;
constexpr int headerVerticalInset = 12;
constexpr int statusDotDiameter = 8;
constexpr int statusFontSize = 11;

constexpr int settingsSpacing = 12;
constexpr int settingsVerticalInset = 14;
constexpr int settingsFontSize = 13;
constexpr int soundPickerWidth = 140;
constexpr int sensitivityBlockSpacing = 6;
constexpr int valueFontSize = 10;

constexpr int footerVerticalInset = 10;
constexpr int footerFontSize = 12;
constexpr qreal footerFillOpacity = 0.3;

constexpr qreal pausedDotOpacity = 0.5;
constexpr qreal dividerOpacity = 0.15;
// The system green of desktop palettes.
constexpr QColor activeGreen{0x28, 0xcd, 0x41};

// The slider moves in tenths from 0.1 to 2.0; its positions are whole tenths so that the
// stored values are exactly the numbers a user reads (i / 10.0).
constexpr int tenthsPerUnit = 10;
constexpr int sliderMinimum = 1;
constexpr int sliderMaximum = 20;

constexpr const char* updateSymbol = ":/zonkle/symbols/update.svg";
constexpr const char* quitSymbol = ":/zonkle/symbols/power.svg";

QFont fontOfSize(QFont font, int pixelSize) {
    font.setPixelSize(pixelSize);
    return font;
}

// The dimmer colour of secondary text.
QColor secondaryColor(const QPalette& palette) {
    return palette.color(QPalette::PlaceholderText);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

int sliderPosition(double sensitivity) {
    if (std::isnan(sensitivity)) {
        return sliderMinimum;
    }
    const double tenths =
        std::round(std::clamp(sensitivity * tenthsPerUnit, double(sliderMinimum), double(sliderMaximum)));
    return static_cast<int>(tenths);
}

// The slider's own look is too large for the panel; this is the small size: a thin track
// filled with the accent colour up to a small round knob.
constexpr const char* miniSliderStyle = R"(
QSlider::groove:horizontal { height: 4px; border-radius: 2px; background: palette(mid); }
QSlider::sub-page:horizontal { height: 4px; border-radius: 2px; background: palette(highlight); }
QSlider::handle:horizontal {
    width: 12px; height: 12px; margin: -4px 0; border-radius: 6px;
    background: white; border: 1px solid palette(mid);
}
QSlider::handle:horizontal:focus { border: 1px solid palette(highlight); }
)";

} // namespace

ContentView::ContentView(UpdaterService& updaterService, SettingsStore& settings, QWidget* parent)
    : ContentView(updaterService, MenuBarViewModel::shared(), settings, parent) {}

ContentView::ContentView(UpdaterService& updaterService, MenuBarViewModel& viewModel, SettingsStore& settings,
                         QWidget* parent)
    : QWidget(parent), updaterService(updaterService), viewModel(viewModel),
      sensitivity(settings, QString::fromLatin1(sensitivityKey), defaultSensitivity),
      selectedSound(settings, QString::fromLatin1(selectedSoundKey), QString::fromLatin1(defaultSound)),
      isPaused(settings, QString::fromLatin1(isPausedKey), defaultPaused) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(buildDivider());
    layout->addWidget(buildSettings());
    layout->addWidget(buildDivider());
    layout->addWidget(buildFooter());
    new PopupOutline(this);

    showPaused();
    showSound();
    showSensitivity();

    // Every change of a setting, from the panel or from elsewhere, is shown and pushed.
    connect(&isPaused, &BoundSetting::changed, this, [this] {
        showPaused();
        pushConfig();
    });
    connect(&selectedSound, &BoundSetting::changed, this, [this] {
        showSound();
        pushConfig();
    });
    connect(&sensitivity, &BoundSetting::changed, this, [this] {
        showSensitivity();
        pushConfig();
    });

    setFixedWidth(panelWidth);
    setFixedHeight(sizeHint().height());
}

ContentView::~ContentView() = default;

QWidget* ContentView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(horizontalInset, headerVerticalInset, horizontalInset, headerVerticalInset);
    row->setSpacing(headerSpacing);

    statusDot = new StatusDot(statusDotDiameter, header);
    statusDot->setObjectName(QStringLiteral("statusDot"));
    statusText = new QLabel(header);
    statusText->setObjectName(QStringLiteral("statusText"));
    // Desktops have no rounded system face; the system face at medium weight is nearest.
    QFont statusFont = fontOfSize(font(), statusFontSize);
    statusFont.setWeight(QFont::Medium);
    statusText->setFont(statusFont);

    row->addWidget(statusDot, 0, Qt::AlignVCenter);
    row->addWidget(statusText, 0, Qt::AlignVCenter);
    row->addStretch(1);
    return header;
}

QWidget* ContentView::buildDivider() {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(dividerOpacity);
    setTextColor(line, color);
    return line;
}

QWidget* ContentView::buildSettings() {
    auto* section = new QWidget(this);
    section->setFont(fontOfSize(font(), settingsFontSize));
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(horizontalInset, settingsVerticalInset, horizontalInset, settingsVerticalInset);
    column->setSpacing(settingsSpacing);

    auto* pauseRow = new QHBoxLayout;
    pauseRow->setSpacing(rowSpacing);
    pauseRow->addWidget(new QLabel(tr("Pause sensing"), section));
    pauseRow->addStretch(1);
    pauseSwitch = new SwitchButton(section);
    pauseSwitch->setObjectName(QStringLiteral("pauseSwitch"));
    pauseSwitch->setAccessibleName(tr("Pause sensing"));
    pauseRow->addWidget(pauseSwitch);
    connect(pauseSwitch, &SwitchButton::clicked, this, [this](bool checked) { isPaused.setValue(checked); });
    column->addLayout(pauseRow);

    auto* soundRow = new QHBoxLayout;
    soundRow->setSpacing(rowSpacing);
    soundRow->addWidget(new QLabel(tr("Sound"), section));
    soundRow->addStretch(1);
    soundPicker = new QComboBox(section);
    soundPicker->setObjectName(QStringLiteral("soundPicker"));
    soundPicker->setAccessibleName(tr("Sound"));
    // The names are identifiers, shown and stored verbatim.
    soundPicker->addItems(availableSounds());
    // 140 wide, or as much wider as the longest name needs in the desktop's font: a name
    // must not be cut off.
    soundPicker->setFixedWidth(std::max(soundPickerWidth, soundPicker->sizeHint().width()));
    soundRow->addWidget(soundPicker);
    connect(soundPicker, &QComboBox::activated, this,
            [this](int index) { selectedSound.setValue(soundPicker->itemText(index)); });
    column->addLayout(soundRow);

    auto* sensitivityBlock = new QVBoxLayout;
    sensitivityBlock->setSpacing(sensitivityBlockSpacing);
    auto* labelRow = new QHBoxLayout;
    labelRow->setSpacing(rowSpacing);
    labelRow->addWidget(new QLabel(tr("Sensitivity"), section));
    labelRow->addStretch(1);
    sensitivityValue = new QLabel(section);
    sensitivityValue->setObjectName(QStringLiteral("sensitivityValue"));
    sensitivityValue->setFont(fontOfSize(QFontDatabase::systemFont(QFontDatabase::FixedFont), valueFontSize));
    setTextColor(sensitivityValue, secondaryColor(palette()));
    labelRow->addWidget(sensitivityValue);
    sensitivityBlock->addLayout(labelRow);

    sensitivitySlider = new QSlider(Qt::Horizontal, section);
    sensitivitySlider->setObjectName(QStringLiteral("sensitivitySlider"));
    sensitivitySlider->setAccessibleName(tr("Sensitivity"));
    sensitivitySlider->setRange(sliderMinimum, sliderMaximum);
    sensitivitySlider->setSingleStep(1);
    sensitivitySlider->setPageStep(1);
    sensitivitySlider->setStyleSheet(QString::fromLatin1(miniSliderStyle));
    connect(sensitivitySlider, &QSlider::valueChanged, this,
            [this](int position) { sensitivity.setValue(double(position) / tenthsPerUnit); });
    sensitivityBlock->addWidget(sensitivitySlider);
    column->addLayout(sensitivityBlock);
    return section;
}

QWidget* ContentView::buildFooter() {
    auto* footer = new QWidget(this);
    footer->setFont(fontOfSize(font(), footerFontSize));
    // The control background at 30 %, over the panel's own background, insets included.
    QPalette fill = footer->palette();
    QColor controlBackground = fill.color(QPalette::Base);
    controlBackground.setAlphaF(footerFillOpacity);
    fill.setColor(QPalette::Window, controlBackground);
    footer->setPalette(fill);
    footer->setAutoFillBackground(true);

    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(horizontalInset, footerVerticalInset, horizontalInset, footerVerticalInset);
    row->setSpacing(rowSpacing);

    updateButton = new PlainButton(QString::fromLatin1(updateSymbol), tr("Update"), footer);
    updateButton->setObjectName(QStringLiteral("updateButton"));
    updateButton->setColor(secondaryColor(palette()));
    updateButton->setEnabled(updaterService.canCheckForUpdates());
    connect(&updaterService, &UpdaterService::canCheckForUpdatesChanged, updateButton, &PlainButton::setEnabled);
    connect(updateButton, &PlainButton::clicked, this,
            [this] { updaterService.updaterController().checkForUpdates(); });

    quitButton = new PlainButton(QString::fromLatin1(quitSymbol), tr("Quit"), footer);
    quitButton->setObjectName(QStringLiteral("quitButton"));
    quitButton->setColor(secondaryColor(palette()));
    // Ends the application as it is: nothing goes to the detector, which sees its input
    // close when the process ends.
    connect(quitButton, &PlainButton::clicked, this, [] { QCoreApplication::quit(); });

    row->addWidget(updateButton, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(quitButton, 0, Qt::AlignVCenter);
    return footer;
}

void ContentView::showPaused() {
    const bool paused = isPaused.toBool();
    pauseSwitch->setChecked(paused);
    const QColor secondary = secondaryColor(palette());
    statusText->setText(paused ? tr("Paused") : tr("Active"));
    setTextColor(statusText, paused ? secondary : palette().color(QPalette::WindowText));
    QColor dot = paused ? secondary : activeGreen;
    if (paused) {
        dot.setAlphaF(dot.alphaF() * pausedDotOpacity);
    }
    statusDot->setColor(dot);
}

void ContentView::showSound() {
    // A stored name that is not offered leaves the picker empty; it is still pushed as is.
    soundPicker->setCurrentIndex(soundPicker->findText(selectedSound.toString()));
}

void ContentView::showSensitivity() {
    const double value = sensitivity.toDouble();
    // Always a full stop, whatever the locale: QString::asprintf formats in the C locale.
    sensitivityValue->setText(QString::asprintf("%.1f", value));
    // Moving the slider to a stored value must not store anything back (it may lie
    // outside the slider's range and would be clamped).
    const QSignalBlocker blocker(sensitivitySlider);
    sensitivitySlider->setValue(sliderPosition(value));
}

void ContentView::pushConfig() {
    viewModel.syncConfig(sensitivity.toDouble(), selectedSound.toString(), isPaused.toBool());
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Each time the panel is opened; a window system's own re-show (un-minimising) is not
    // a new appearance.
    if (!event->spontaneous()) {
        pushConfig();
    }
}

} // namespace zonkle
