#pragma once

namespace zonkle {

// Under a Wayland session with XWayland, runs the application as an X11 client unless the user
// chose a platform (QT_QPA_PLATFORM): Wayland lets no client place a window next to the tray
// icon nor learn where the icon is, while under XWayland the panel opens below the icon as a
// popup that closes on a click elsewhere or Escape. Call before the QApplication is made.
void choosePlatform();

} // namespace zonkle
