#include "plain_button.h"

#include <algorithm>

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QSvgRenderer>

#include "template_image.h"

namespace zonkle {

namespace {

constexpr int symbolTextSpacing = 4;
constexpr qreal disabledAlphaFactor = 0.5;
constexpr qreal focusRingWidth = 1.5;

} // namespace

PlainButton::PlainButton(const QString& symbolPath, const QString& text, QWidget* parent)
    : QAbstractButton(parent), symbolPath(symbolPath), color(palette().color(QPalette::ButtonText)) {
    setText(text);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setColor(const QColor& newColor) {
    color = newColor;
    update();
}

QColor PlainButton::currentColor() const {
    QColor shown = isDown() ? palette().color(QPalette::WindowText) : color;
    if (!isEnabled()) {
        shown.setAlphaF(shown.alphaF() * disabledAlphaFactor);
    }
    return shown;
}

int PlainButton::symbolSize() const {
    return QFontInfo(font()).pixelSize();
}

QSize PlainButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const int width = symbolSize() + symbolTextSpacing + metrics.horizontalAdvance(text());
    return {width, std::max(symbolSize(), metrics.height())};
}

void PlainButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor shown = currentColor();
    const int side = symbolSize();

    QSvgRenderer renderer(symbolPath);
    const QImage symbol = renderTemplateImage(renderer, QSize(side, side), shown, devicePixelRatioF());
    painter.drawImage(QPoint(0, (height() - side) / 2), symbol);

    painter.setPen(shown);
    const QRect textRect = rect().adjusted(side + symbolTextSpacing, 0, 0, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());

    // Only when the focus arrived by keyboard, as desktop styles do.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), focusRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
    }
}

} // namespace zonkle
