#include "popup_placement.h"

#include <algorithm>

namespace zonkle {

namespace {

// Keeps the popup clear of the icon's highlight and of the pointer.
constexpr int anchorGap = 4;

// Moves [start, start + length) into [low, high) where it fits; to `low` where it does not.
int clampSpan(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

} // namespace

QRect popupGeometry(QSize size, const QRect& anchor, const QRect& screen) {
    // Edges as half-open spans, so that an empty anchor (a point) is handled alike.
    const int anchorTop = anchor.y();
    const int anchorBottom = anchor.y() + std::max(0, anchor.height());
    const int anchorCentre = anchor.x() + std::max(0, anchor.width()) / 2;
    const int screenTop = screen.y();
    const int screenBottom = screen.y() + screen.height();

    int y = anchorBottom + anchorGap;
    if (y + size.height() > screenBottom) {
        const int above = anchorTop - anchorGap - size.height();
        if (above >= screenTop) {
            y = above;
        }
    }
    const int x = clampSpan(anchorCentre - size.width() / 2, size.width(), screen.x(), screen.x() + screen.width());
    y = clampSpan(y, size.height(), screenTop, screenBottom);
    return {QPoint(x, y), size};
}

} // namespace zonkle
