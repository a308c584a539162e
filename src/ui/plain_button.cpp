#include "plain_button.h"

#include <algorithm>

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QSvgRenderer>

namespace zonkle {

namespace {

constexpr int symbolTextSpacing = 4;
constexpr qreal disabledAlphaFactor = 0.5;
constexpr qreal focusRingWidth = 1.5;

// The symbol's shape (alpha) only, fitted into a square of `side` and painted in `color`.
QImage renderSymbol(const QString& path, int side, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qRound(side * devicePixelRatio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    const QSizeF fitted = renderer.viewBoxF().size().scaled(QSizeF(pixels, pixels), Qt::KeepAspectRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF((pixels - fitted.width()) / 2, (pixels - fitted.height()) / 2), fitted));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

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

    const QImage symbol = renderSymbol(symbolPath, side, shown, devicePixelRatioF());
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
