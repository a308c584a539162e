#include "popup_outline.h"

#include <QEvent>
#include <QPainter>

namespace zonkle {

namespace {

constexpr qreal outlineOpacity = 0.25;

} // namespace

PopupOutline::PopupOutline(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    parent->installEventFilter(this);
}

bool PopupOutline::eventFilter(QObject* watched, QEvent* event) {
    // Follow the parent's size and stay above the widgets added after this one.
    if (watched == parentWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

void PopupOutline::paintEvent(QPaintEvent*) {
    if (window()->windowType() != Qt::Popup) {
        return;
    }
    QColor color = palette().color(QPalette::WindowText);
    color.setAlphaF(outlineOpacity);
    QPainter painter(this);
    painter.setPen(color);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace zonkle
