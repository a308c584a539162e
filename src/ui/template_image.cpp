#include "template_image.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace zonkle {

namespace {

// Pixmaps for ordinary and high-density screens; Qt scales between them.
constexpr qreal iconPixelRatios[] = {1.0, 2.0};

} // namespace

QImage renderTemplateImage(QSvgRenderer& renderer, QSize box, const QColor& color, qreal devicePixelRatio) {
    const QSize pixels = (QSizeF(box) * devicePixelRatio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QSizeF natural = renderer.viewBoxF().size();
    if (natural.isEmpty()) {
        natural = renderer.defaultSize();
    }
    if (!renderer.isValid() || natural.isEmpty() || pixels.isEmpty()) {
        image.setDevicePixelRatio(devicePixelRatio);
        return image;
    }

    const QSizeF fitted = natural.scaled(QSizeF(pixels), Qt::KeepAspectRatio);
    const QRectF target(QPointF((pixels.width() - fitted.width()) / 2.0, (pixels.height() - fitted.height()) / 2.0),
                        fitted);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, target);
    // Keep the shape, replace its colours.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();

    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon templateIcon(const QString& svgPath, QSize box, const QColor& color) {
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid()) {
        return {};
    }
    QIcon icon;
    for (const qreal ratio : iconPixelRatios) {
        icon.addPixmap(QPixmap::fromImage(renderTemplateImage(renderer, box, color, ratio)));
    }
    return icon;
}

} // namespace zonkle
