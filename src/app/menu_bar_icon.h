#pragma once

#include <QColor>
#include <QIcon>
#include <QSize>

namespace zonkle {

// The box the tray icon's image is fitted into, proportions kept, centred in the tray's
// slot (smaller where the slot is smaller).
inline constexpr QSize menuBarIconBox{18, 18};

// "MenuBarIcon" from the resources, drawn as a single-colour mask in `color` at any slot
// size and pixel density, and marked as a template so that platforms which recolour tray
// icons do so.
QIcon menuBarIcon(const QColor& color);

} // namespace zonkle
