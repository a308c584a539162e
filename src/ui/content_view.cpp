#include "content_view.h"

#include <algorithm>
#include <cmath>

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "plain_button.h"
#include "state/menu_bar_view_model.h"
#include "state/settings_store.h"
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
// Dividers and the popup's outline: 1 logical pixel, which covers at least one whole device
// pixel at every scale (a 1-pixel line drawn with anti-aliasing fades out at 1.25 or 1.5).
constexpr qreal dividerOpacity = 0.2;
constexpr qreal outlineOpacity = 0.25;
constexpr int outlineWidth = 1;
// The system green of desktop palettes.
constexpr QColor activeGreen{0x28, 0xcd, 0x41};
// Amber that reads on light and dark panel backgrounds alike.
constexpr QColor warningAmber{0xe0, 0x8a, 0x00};

// The slider moves in tenths from 0.1 to 2.0; its positions are whole tenths so that the
// stored values are exactly the numbers a user reads (i / 10.0).
constexpr int tenthsPerUnit = 10;
constexpr int sliderMinimum = 1;
constexpr int sliderMaximum = 20;

constexpr const char* updateSymbol = ":/zonkle/symbols/update.svg";
constexpr const char* quitSymbol = ":/zonkle/symbols/power.svg";

// What the header says when the detector cannot sense (or sound) anything.
QString healthText(MenuBarViewModel::DetectorHealth health) {
    using Health = MenuBarViewModel::DetectorHealth;
    switch (health) {
    case Health::NoSensor:
        return ContentView::tr("No sensor found");
    case Health::NoAudio:
        return ContentView::tr("No sound output");
    case Health::NotStarted:
        return ContentView::tr("Detector not found");
    case Health::Exited:
        return ContentView::tr("Detector stopped");
    case Health::Healthy:
        break;
    }
    return {};
}

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

// Screen readers hear the slider's value as the panel shows it (0.5), not its position (5).
class SensitivitySliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SensitivitySliderAccessible(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Value ? QString::asprintf("%.1f", currentValue().toDouble())
                                          : QAccessibleWidget::text(type);
    }
    QVariant currentValue() const override { return double(slider()->value()) / tenthsPerUnit; }
    void setCurrentValue(const QVariant& value) override { slider()->setValue(sliderPosition(value.toDouble())); }
    QVariant maximumValue() const override { return double(sliderMaximum) / tenthsPerUnit; }
    QVariant minimumValue() const override { return double(sliderMinimum) / tenthsPerUnit; }
    QVariant minimumStepSize() const override { return 1.0 / tenthsPerUnit; }

private:
    QSlider* slider() const { return static_cast<QSlider*>(widget()); }
};

QAccessibleInterface* sensitivitySliderAccessible(const QString&, QObject* object) {
    auto* slider = qobject_cast<QSlider*>(object);
    if (slider != nullptr && slider->objectName() == QLatin1String("sensitivitySlider")) {
        return new SensitivitySliderAccessible(slider);
    }
    return nullptr;
}

// A label that names `control` for screen readers (a combo box is otherwise announced by its
// current entry).
QLabel* labelFor(const QString& text, QWidget* control, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(control);
    control->setAccessibleName(text);
    return label;
}

} // namespace

ContentView::ContentView(UpdaterService& updaterService, SettingsStore& settings, QWidget* parent)
    : ContentView(updaterService, MenuBarViewModel::shared(), settings, parent) {}

ContentView::ContentView(UpdaterService& updaterService, MenuBarViewModel& viewModel, SettingsStore& settings,
                         QWidget* parent)
    : QWidget(parent), updaterService(updaterService), viewModel(viewModel),
      sensitivity(settings, QString::fromLatin1(sensitivityKey), defaultSensitivity),
      selectedSound(settings, QString::fromLatin1(selectedSoundKey), QString::fromLatin1(defaultSound)),
      isPaused(settings, QString::fromLatin1(isPausedKey), defaultPaused) {
    QAccessible::installFactory(sensitivitySliderAccessible);
    auto* layout = new QVBoxLayout(this);
    // Room for the outline drawn while the panel is a popup.
    layout->setContentsMargins(outlineWidth, outlineWidth, outlineWidth, outlineWidth);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(buildDivider());
    layout->addWidget(buildSettings());
    layout->addWidget(buildDivider());
    layout->addWidget(buildFooter());

    showStatus();
    showSound();
    showSensitivity();
    connect(&viewModel, &MenuBarViewModel::detectorHealthChanged, this, &ContentView::showStatus);

    // Every change of a setting, from the panel or from elsewhere, is shown and pushed.
    connect(&isPaused, &BoundSetting::changed, this, [this] {
        showStatus();
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

    statusDot = new QLabel(header);
    statusDot->setFixedSize(statusDotDiameter, statusDotDiameter);
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
    auto* line = new QWidget(this);
    line->setFixedHeight(1);
    QPalette fill = line->palette();
    QColor color = fill.color(QPalette::WindowText);
    color.setAlphaF(dividerOpacity);
    fill.setColor(QPalette::Window, color);
    line->setPalette(fill);
    line->setAutoFillBackground(true);
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
    pauseSwitch = new SwitchButton(section);
    pauseSwitch->setObjectName(QStringLiteral("pauseSwitch"));
    pauseRow->addWidget(labelFor(tr("Pause sensing"), pauseSwitch, section));
    pauseRow->addStretch(1);
    pauseRow->addWidget(pauseSwitch);
    connect(pauseSwitch, &SwitchButton::clicked, this, [this](bool checked) { isPaused.setValue(checked); });
    column->addLayout(pauseRow);

    auto* soundRow = new QHBoxLayout;
    soundRow->setSpacing(rowSpacing);
    soundPicker = new QComboBox(section);
    soundPicker->setObjectName(QStringLiteral("soundPicker"));
    soundRow->addWidget(labelFor(tr("Sound"), soundPicker, section));
    soundRow->addStretch(1);
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
    sensitivitySlider = new QSlider(Qt::Horizontal, section);
    sensitivitySlider->setObjectName(QStringLiteral("sensitivitySlider"));
    labelRow->addWidget(labelFor(tr("Sensitivity"), sensitivitySlider, section));
    labelRow->addStretch(1);
    sensitivityValue = new QLabel(section);
    sensitivityValue->setObjectName(QStringLiteral("sensitivityValue"));
    sensitivityValue->setFont(fontOfSize(QFontDatabase::systemFont(QFontDatabase::FixedFont), valueFontSize));
    setTextColor(sensitivityValue, secondaryColor(palette()));
    labelRow->addWidget(sensitivityValue);
    sensitivityBlock->addLayout(labelRow);

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

void ContentView::showStatus() {
    const bool paused = isPaused.toBool();
    pauseSwitch->setChecked(paused);
    // While the detector cannot sense, that is what the header says, paused or not; its own
    // words are the tooltip. The controls stay as they are: they are stored and pushed.
    const QString problem = healthText(viewModel.detectorHealth());
    const QColor secondary = secondaryColor(palette());
    QColor text = paused ? secondary : palette().color(QPalette::WindowText);
    QColor dot = paused ? secondary : activeGreen;
    if (!problem.isEmpty()) {
        text = dot = warningAmber;
    } else if (paused) {
        dot.setAlphaF(dot.alphaF() * pausedDotOpacity);
    }
    statusText->setText(!problem.isEmpty() ? problem : paused ? tr("Paused") : tr("Active"));
    setTextColor(statusText, text);
    statusDot->setStyleSheet(QStringLiteral("background-color: %1; border-radius: %2px;")
                                 .arg(dot.name(QColor::HexArgb))
                                 .arg(statusDotDiameter / 2));
    statusText->parentWidget()->setToolTip(problem.isEmpty() ? QString() : viewModel.detectorHealthDetail());
    statusText->setAccessibleDescription(statusText->parentWidget()->toolTip());
    // The window's title names the state too: screen readers announce it, and so does the
    // tray icon's tooltip.
    setWindowTitle(QStringLiteral("Zonkle – ") + statusText->text());
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

void ContentView::paintEvent(QPaintEvent*) {
    // No window manager frames a popup.
    if (windowType() != Qt::Popup) {
        return;
    }
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(outlineOpacity);
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const QRegion outline =
        QRegion(rect()).subtracted(rect().adjusted(outlineWidth, outlineWidth, -outlineWidth, -outlineWidth));
    for (const QRect& part : outline) {
        painter.drawRect(part);
    }
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
