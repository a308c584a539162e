#include <gtest/gtest.h>

#include <QByteArray>

#include "app/platform_choice.h"

namespace zonkle {
namespace {

TEST(PlatformChoiceTest, waylandSessionsWithXWaylandRunAsX11ClientsUnlessTheUserChose) {
    const struct {
        const char *session, *waylandDisplay, *display, *chosen, *expected;
    } cases[] = {
        {"wayland", "wayland-0", ":0", nullptr, "xcb"},       {nullptr, "wayland-0", ":1", nullptr, "xcb"},
        {"wayland", "wayland-0", nullptr, nullptr, ""}, // no XWayland: native Wayland
        {"wayland", "wayland-0", ":0", "wayland", "wayland"}, {"x11", nullptr, ":0", nullptr, ""},
    };
    for (const auto& c : cases) {
        const auto set = [](const char* name, const char* value) {
            value != nullptr ? qputenv(name, value) : qunsetenv(name);
        };
        set("XDG_SESSION_TYPE", c.session);
        set("WAYLAND_DISPLAY", c.waylandDisplay);
        set("DISPLAY", c.display);
        set("QT_QPA_PLATFORM", c.chosen);
        choosePlatform();
        EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), c.expected)
            << (c.session ? c.session : "-") << " " << (c.display ? c.display : "-");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace
} // namespace zonkle
