#pragma once

#include <QColor>
#include <QIcon>
#include <QSize>

namespace zonkle {

// The tray's item box; the image is fitted into it, proportions kept, centred.
inline constexpr QSize menuBarIconBox{18, 18};

// "MenuBarIcon" from the resources, drawn as a single-colour mask in `color`, and marked
// as a template so that platforms which recolour tray icons do so.
QIcon menuBarIcon(const QColor& color);

} // namespace zonkle
