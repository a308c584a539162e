#include "menu_bar_icon.h"

#include <memory>

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

#include "ui/template_image.h"

namespace zonkle {

namespace {

constexpr const char* menuBarIconResource = ":/zonkle/MenuBarIcon.svg";

// Draws the image into the box, centred in whatever slot the tray offers, so that the
// tray does not stretch it to the slot's size.
class MenuBarIconEngine final : public QIconEngine {
public:
    explicit MenuBarIconEngine(const QColor& color)
        : color(color), renderer(std::make_shared<QSvgRenderer>(QString::fromLatin1(menuBarIconResource))) {}

    QIconEngine* clone() const override { return new MenuBarIconEngine(*this); }
    QString key() const override { return QStringLiteral("zonkle-menu-bar-icon"); }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {menuBarIconBox}; }
    bool isNull() override { return !renderer->isValid(); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const QImage image = render(rect.size(), ratio);
        const QSize logical = image.size() / ratio;
        painter->drawImage(
            QRect(rect.topLeft() + QPoint((rect.width() - logical.width()) / 2, (rect.height() - logical.height()) / 2),
                  logical),
            image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels, as QIcon asks for it.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override {
        QPixmap slot(size);
        slot.setDevicePixelRatio(scale);
        slot.fill(Qt::transparent);
        const QSizeF logicalSlot = QSizeF(size) / scale;
        const QImage image = render(logicalSlot.toSize(), scale);
        const QSizeF logical = QSizeF(image.size()) / scale;
        QPainter painter(&slot);
        painter.drawImage(QRectF(QPointF((logicalSlot.width() - logical.width()) / 2.0,
                                         (logicalSlot.height() - logical.height()) / 2.0),
                                 logical),
                          image);
        return slot;
    }

private:
    QImage render(QSize slot, qreal ratio) const {
        return renderTemplateImage(*renderer, menuBarIconBox.boundedTo(slot), color, ratio);
    }

    QColor color;
    std::shared_ptr<QSvgRenderer> renderer;
};

} // namespace

QIcon menuBarIcon(const QColor& color) {
    QIcon icon(new MenuBarIconEngine(color));
    icon.setIsMask(true);
    return icon;
}

} // namespace zonkle
