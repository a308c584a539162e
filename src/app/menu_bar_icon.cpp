#include "menu_bar_icon.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

namespace zonkle {

namespace {

constexpr const char* menuBarIconResource = ":/zonkle/MenuBarIcon.svg";
// What StatusNotifierItem hosts pick from (Qt sends sizes up to 64).
const QList<QSize> pixmapSizes = {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
// The ring's width: one device pixel per 16 of the icon, at least one.
constexpr int pixelsPerRingPixel = 16;

QColor ringColor(const QColor& fill) {
    return qGray(fill.rgb()) > 127 ? QColor(Qt::black) : QColor(Qt::white);
}

class MenuBarIconEngine final : public QIconEngine {
public:
    explicit MenuBarIconEngine(const QPalette& palette)
        : fill(palette.color(QPalette::WindowText)),
          renderer(std::make_shared<QSvgRenderer>(QString::fromLatin1(menuBarIconResource))) {}

    QIconEngine* clone() const override { return new MenuBarIconEngine(*this); }
    QString key() const override { return QStringLiteral("zonkle-menu-bar-icon"); }
    QString iconName() override { return QString::fromLatin1(menuBarIconThemeName); }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return pixmapSizes; }
    bool isNull() override { return !renderer->isValid(); }

    // A tray's slot: the glyph in its box (ring around it), centred.
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min({rect.width(), rect.height(), menuBarIconBox.height() + 2});
        const QImage image = render(int(std::lround(side * ratio)), ratio);
        painter->drawImage(
            QRectF(QPointF(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0),
                   QSizeF(side, side)),
            image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels; the glyph fills the square, as hosts expect of a pixmap.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        QPixmap square(size);
        square.fill(Qt::transparent);
        const int side = std::min(size.width(), size.height());
        QPainter(&square).drawImage((size.width() - side) / 2, (size.height() - side) / 2, render(side, 1.0));
        square.setDevicePixelRatio(scale);
        return square;
    }

private:
    // `side` device pixels: the glyph's shape in the ring colour, spread by the ring's width in
    // every direction, and the glyph in the fill colour over it.
    QImage render(int side, qreal ratio) const {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        const int ring = std::max(1, side / pixelsPerRingPixel);
        const QSizeF box(side - 2 * ring, side - 2 * ring);
        if (box.isEmpty()) {
            return image;
        }
        const QSizeF fitted = renderer->viewBoxF().size().scaled(box, Qt::KeepAspectRatio);
        const QRectF target(QPointF((side - fitted.width()) / 2.0, (side - fitted.height()) / 2.0), fitted);
        const QImage glyph = shape(side, target, fill);
        const QImage outline = shape(side, target, ringColor(fill));

        QPainter painter(&image);
        for (int dx = -ring; dx <= ring; ++dx) {
            for (int dy = -ring; dy <= ring; ++dy) {
                if (dx * dx + dy * dy <= ring * ring + 1) {
                    painter.drawImage(dx, dy, outline);
                }
            }
        }
        painter.drawImage(0, 0, glyph);
        painter.end();
        image.setDevicePixelRatio(ratio);
        return image;
    }

    QImage shape(int side, const QRectF& target, const QColor& color) const {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer->render(&painter, target);
        // Keep the shape, replace its colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
        return image;
    }

    QColor fill;
    std::shared_ptr<QSvgRenderer> renderer;
};

} // namespace

QIcon menuBarIcon(const QPalette& palette) {
    return QIcon(new MenuBarIconEngine(palette));
}

} // namespace zonkle
