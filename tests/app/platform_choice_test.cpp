#include <array>
#include <gtest/gtest.h>

#include <QByteArray>

#include "app/platform_choice.h"

namespace zonkle {
namespace {

TEST(PlatformChoiceTest, waylandSessionsWithXWaylandRunAsX11ClientsUnlessTheUserChose) {
    // XDG_SESSION_TYPE, WAYLAND_DISPLAY, DISPLAY, QT_QPA_PLATFORM before and after ("" unset).
    const std::array<const char*, 5> cases[] = {
        {"wayland", "wayland-0", ":0", "", "xcb"},
        {"", "wayland-0", ":1", "", "xcb"},
        {"wayland", "wayland-0", "", "", ""}, // no XWayland: native Wayland
        {"wayland", "wayland-0", ":0", "wayland", "wayland"},
        {"x11", "", ":0", "", ""},
    };
    for (const auto& c : cases) {
        for (std::size_t i = 0; i < 4; ++i) {
            const char* name = std::array{"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY", "QT_QPA_PLATFORM"}[i];
            *c[i] != '\0' ? qputenv(name, c[i]) : qunsetenv(name);
        }
        choosePlatform();
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), c[4]) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace
} // namespace zonkle
