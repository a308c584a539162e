#include "switch_button.h"

#include <QPainter>

namespace zonkle {

namespace {

// The mini switch of desktop toolkits: 26 x 15 with a knob inset by 1.5 on every side.
constexpr QSize miniSwitchSize{26, 15};
constexpr qreal knobInset = 1.5;
constexpr qreal disabledOpacity = 0.45;
// The off track is the text colour this faint, so it reads on light and dark palettes.
constexpr qreal offTrackAlpha = 0.18;
constexpr qreal knobOutlineAlpha = 0.25;

} // namespace

SwitchButton::SwitchButton(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

QSize SwitchButton::sizeHint() const {
    return miniSwitchSize;
}

bool SwitchButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void SwitchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) {
        painter.setOpacity(disabledOpacity);
    }

    const QRectF track =
        QRectF(QPointF(0, 0), QSizeF(miniSwitchSize))
            .translated((width() - miniSwitchSize.width()) / 2.0, (height() - miniSwitchSize.height()) / 2.0);
    const qreal trackRadius = track.height() / 2.0;

    QColor offTrack = palette().color(QPalette::WindowText);
    offTrack.setAlphaF(offTrackAlpha);
    QColor trackColor = isChecked() ? palette().color(QPalette::Highlight) : offTrack;
    if (isDown()) {
        trackColor = trackColor.darker(115);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, trackRadius, trackRadius);

    const qreal knobDiameter = track.height() - 2 * knobInset;
    const qreal knobX = isChecked() ? track.right() - knobInset - knobDiameter : track.left() + knobInset;
    const QRectF knob(knobX, track.top() + knobInset, knobDiameter, knobDiameter);
    QColor outline = Qt::black;
    outline.setAlphaF(knobOutlineAlpha);
    painter.setPen(QPen(outline, 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);

    // Only when the focus arrived by keyboard, as desktop styles do.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        QPen ring(palette().color(QPalette::Highlight), 1.5);
        painter.setPen(ring);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(0.75, 0.75, -0.75, -0.75), trackRadius, trackRadius);
    }
}

} // namespace zonkle
