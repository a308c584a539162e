#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

class QSvgRenderer;

namespace zonkle {

// Renders a vector image as a single-colour mask: only its shape (alpha) is kept and
// painted in `color`. The image is scaled to fit `box` with its proportions kept and
// centred in it; the result is `box` logical pixels at the given device pixel ratio.
QImage renderTemplateImage(QSvgRenderer& renderer, QSize box, const QColor& color, qreal devicePixelRatio = 1.0);

// The same for an SVG file or resource, as an icon with 1x and 2x pixmaps. A null icon
// when the file cannot be read.
QIcon templateIcon(const QString& svgPath, QSize box, const QColor& color);

} // namespace zonkle
