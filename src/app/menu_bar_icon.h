#pragma once

#include <QIcon>
#include <QPalette>
#include <QSize>

namespace zonkle {

// The box the tray icon's glyph is fitted into where the icon is painted into a tray's slot
// (XEmbed), centred, proportions kept; smaller where the slot is smaller.
inline constexpr QSize menuBarIconBox{18, 18};
// The same glyph in the icon theme (hicolor), which hosts recolour to their panel's text colour.
inline constexpr const char* menuBarIconThemeName = "zonkle-symbolic";

// "MenuBarIcon" in the palette's text colour with a ring of the opposite shade around it: a
// tray tells us nothing dependable about the colour behind the icon, and of the two colours one
// stands out at least 4.5:1 against any panel. Pixmaps (what StatusNotifierItem hosts are sent)
// fill their square; the icon carries its theme name for hosts that prefer it.
QIcon menuBarIcon(const QPalette& palette);

} // namespace zonkle
