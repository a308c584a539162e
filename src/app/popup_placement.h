#pragma once

#include <QRect>
#include <QSize>

namespace zonkle {

// Where a popup of `size` opens for `anchor` (the tray icon, or an empty rectangle at the
// pointer where the icon's place is unknown) on a screen whose usable area is `screen`:
// centred right below the anchor, above it where there is no room below, and moved just
// enough to lie on the screen.
QRect popupGeometry(QSize size, const QRect& anchor, const QRect& screen);

} // namespace zonkle
