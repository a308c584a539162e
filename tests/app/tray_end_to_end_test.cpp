#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace zonkle {
namespace {

// Generous bounds for a loaded machine; every wait ends as soon as its condition holds.
constexpr int waitLimitMs = 30000;
constexpr int panelWidth = 250;
// The icon size the Xfce panel is configured to draw.
constexpr int xfceIconSize = 22;

struct TrayCase {
    const char* name;
    const char* host; // "trayer" (XEmbed) or "xfce4-panel" (StatusNotifierItem over D-Bus)
    bool dark;
    bool sensorMissing;
};

// WCAG contrast ratio of two colours.
double contrast(QRgb a, QRgb b) {
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const auto [dim, bright] = std::minmax({luminance(a), luminance(b)});
    return (bright + 0.05) / (dim + 0.05);
}

// The real application, laid out as installed with the scriptable detector as its
// thwack-core-daemon, on a virtual display with a real tray host.
class TrayEndToEndTest : public ::testing::TestWithParam<TrayCase> {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import", "trayer", "xfce4-panel", "dbus-run-session"}) {
            ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                << tool << " is missing; scripts/setup installs it";
        }
        for (const char* sub :
             {"bin", "libexec/zonkle", "home", "runtime", "config/xfce4/xfconf/xfce-perchannel-xml"}) {
            ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromLatin1(sub)));
        }
        QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZONKLE_APP_EXECUTABLE), path("bin/zonkle")));
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(ZONKLE_TEST_DAEMON_EXECUTABLE), path("libexec/zonkle/thwack-core-daemon")));
        // Xvfb picks a free display and writes its number on the given descriptor.
        xvfb.start(QStringLiteral("Xvfb"),
                   QStringList{"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return xvfb.canReadLine(); }, waitLimitMs)) << "Xvfb did not start";
        env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(xvfb.readLine().trimmed()));
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
            env.insert(QString::fromLatin1(name), path(name[0] == 'H'   ? "home"
                                                       : name[4] == 'C' ? "config"
                                                                        : "runtime"));
        }
        env.insert(QStringLiteral("GTK_THEME"),
                   GetParam().dark ? QStringLiteral("Adwaita:dark") : QStringLiteral("Adwaita"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("ZONKLE_TEST_DAEMON_RECORD"), path("daemon-input.txt"));
        if (GetParam().sensorMissing) {
            env.insert(
                QStringLiteral("ZONKLE_TEST_DAEMON_ACTIONS"),
                QStringLiteral(R"(write {"type":"error","action":"no_sensor","message":"No accelerometer found"}\n)"));
        }
    }

    void TearDown() override {
        for (QProcess* process : {&app, &xvfb, &host}) { // the host ends with its display
            process->terminate();
            if (!process->waitForFinished(waitLimitMs)) {
                process->kill();
                process->waitForFinished(waitLimitMs);
            }
        }
    }

    QString path(const char* relative) const { return root.filePath(QString::fromLatin1(relative)); }

    QByteArray run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) const {
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(program, arguments);
        tool.waitForFinished(waitLimitMs);
        if (exitCode != nullptr) {
            *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
        }
        return tool.readAllStandardOutput();
    }
    bool xdotool(const QString& arguments) const {
        int exitCode = -1;
        run(QStringLiteral("xdotool"), arguments.split(QLatin1Char(' ')), &exitCode);
        return exitCode == 0;
    }

    // Visible windows of a WM_CLASS class, with their geometry.
    std::vector<QRect> windows(const QString& windowClass) const {
        std::vector<QRect> found;
        const QByteArray ids = run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--class", windowClass});
        for (const QByteArray& id : ids.split('\n')) {
            std::map<QString, int> v;
            const QString shell =
                QString::fromLatin1(run(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", id}));
            for (const QString& line : shell.split(QLatin1Char('\n'))) {
                v[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1).toInt();
            }
            if (!id.isEmpty() && v[QStringLiteral("WIDTH")] > 1) {
                found.emplace_back(v["X"], v["Y"], v[QStringLiteral("WIDTH")], v["HEIGHT"]);
            }
        }
        return found;
    }
    std::optional<QRect> panel() const {
        for (const QRect& w : windows(QStringLiteral("^zonkle$"))) {
            if (w.width() == panelWidth) {
                return w;
            }
        }
        return std::nullopt;
    }
    QImage screenshot() const {
        return QImage::fromData(run(QStringLiteral("import"), {"-window", "root", "png:-"}), "PNG");
    }

    void startHost() {
        host.setProcessEnvironment(env);
        if (QString::fromLatin1(GetParam().host) == QLatin1String("trayer")) {
            host.start(QStringLiteral("trayer"),
                       QStringList{"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                                   "--transparent", "true", "--alpha", "0", "--tint",
                                   GetParam().dark ? "0x353535" : "0xf0f0f0"});
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + path("no-bus"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return !windows(QStringLiteral("^trayer$")).empty(); }, waitLimitMs));
            return;
        }
        QFile config(path("config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(R"(<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array"><value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/><property name="size" type="uint" value="28"/>
      <property name="length" type="uint" value="100"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray">
    <property name="icon-size" type="int" value="%1"/></property></property>
</channel>)")
                         .arg(xfceIconSize)
                         .toUtf8());
        config.close();
        // The bus the panel hosts its StatusNotifierWatcher on, for the app to join.
        host.start(QStringLiteral("dbus-run-session"),
                   {"--", "sh", "-c", "echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec xfce4-panel 2>/dev/null"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return host.canReadLine(); }, waitLimitMs)) << "no session bus";
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(host.readLine().trimmed()));
        // A session starts its panel first; Qt picks StatusNotifierItem only if the panel's watcher is there.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return run(QStringLiteral("dbus-send"),
                           {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                            "org.freedesktop.DBus.NameHasOwner", "string:org.kde.StatusNotifierWatcher"})
                    .contains("true");
            },
            waitLimitMs));
    }

    QList<QJsonObject> configs() const {
        QFile file(path("daemon-input.txt"));
        QList<QJsonObject> found;
        for (const QByteArray& line : file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList{}) {
            const QJsonObject command = QJsonDocument::fromJson(line).object();
            if (!command.isEmpty()) {
                found << command;
            }
        }
        return found;
    }
    bool waitForConfigs(qsizetype count) const {
        return QTest::qWaitFor([&] { return configs().size() >= count; }, waitLimitMs) && configs().size() == count;
    }

    QTemporaryDir root;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess xvfb, host, app;
};

TEST_P(TrayEndToEndTest, iconIsLegibleOpensThePanelBelowItAndItsMenuPausesAndQuits) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    app.setProcessEnvironment(env);
    app.start(path("bin/zonkle"), {});
    ASSERT_TRUE(waitForConfigs(1)) << "the detector is launched and configured before any click";

    // The icon: whatever differs from the panel's colour in the host's strip.
    QRect strip, icon;
    QRgb background = 0;
    std::vector<double> contrasts;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::vector<QRect> hosts =
                windows(QLatin1Char('^') + QString::fromLatin1(GetParam().host) + QLatin1Char('$'));
            if (hosts.empty()) {
                return false;
            }
            strip =
                *std::max_element(hosts.begin(), hosts.end(), [](QRect a, QRect b) { return a.width() < b.width(); });
            const QImage shot = screenshot().copy(strip);
            std::map<QRgb, int> counts;
            for (int y = 0; y < shot.height(); ++y) {
                for (int x = 0; x < shot.width(); ++x) {
                    ++counts[shot.pixel(x, y)];
                }
            }
            background = std::max_element(counts.begin(), counts.end(), [](auto a, auto b) {
                             return a.second < b.second;
                         })->first;
            icon = {};
            contrasts.clear();
            // The host's own border lines and (Xfce) grab handles aside.
            const int handle = GetParam().host[0] == 'x' ? 12 : 0;
            for (int y = 1; y < shot.height() - 1; ++y) {
                for (int x = handle; x < shot.width() - handle; ++x) {
                    if (const double c = contrast(shot.pixel(x, y), background); c > 1.1) {
                        icon |= QRect(strip.x() + x, strip.y() + y, 1, 1);
                        contrasts.push_back(c);
                    }
                }
            }
            return icon.width() > 8 && icon.height() > 8;
        },
        waitLimitMs))
        << "no icon in the tray";
    // The contrast that a quarter of the icon's pixels reach: its glyph, not a stray edge pixel.
    std::sort(contrasts.rbegin(), contrasts.rend());
    const double legibility = contrasts[contrasts.size() / 4];
    const int slot = GetParam().host[0] == 't' ? strip.height() : xfceIconSize;
    std::printf("[ %s ] panel #%06x, icon %dx%d in a %d slot (%.0f %%), contrast %.1f:1\n", GetParam().name,
                background & 0xffffff, icon.width(), icon.height(), slot, 100.0 * icon.height() / slot, legibility);
    EXPECT_GE(legibility, 3.0);
    EXPECT_GE(icon.height(), 0.7 * slot);
    const QByteArray shots = qgetenv("ZONKLE_TEST_SCREENSHOTS");

    // A click opens the panel right below the icon, on the screen, and its appearance pushes once.
    ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(icon.center().x()).arg(icon.center().y())));
    std::optional<QRect> shown;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (shown = panel()).has_value(); }, waitLimitMs)) << "no panel";
    EXPECT_GE(shown->top(), icon.center().y());
    EXPECT_LE(shown->top(), strip.bottom() + 8);
    EXPECT_TRUE(shown->left() <= icon.center().x() && icon.center().x() <= shown->right());
    EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(*shown));
    ASSERT_TRUE(waitForConfigs(2));
    // The header (and so the window's title) says whether the detector can sense.
    const QString status = GetParam().sensorMissing ? QStringLiteral("No sensor found$") : QStringLiteral("Active$");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !run(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", status}).isEmpty();
        },
        waitLimitMs))
        << status.toStdString();
    if (!shots.isEmpty()) {
        screenshot()
            .copy(shown->united(strip).adjusted(-8, 0, 8, 8).intersected(QRect(0, 0, 1024, 768)))
            .save(QString::fromLocal8Bit(shots) +
                  QStringLiteral("/tray-ui-%1.png").arg(QString::fromLatin1(GetParam().name)));
    }
    // Escape closes it, as does a click elsewhere after it opened again.
    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel(); }, waitLimitMs)) << "Escape did not close the panel";
    ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(icon.center().x()).arg(icon.center().y())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel().has_value(); }, waitLimitMs));
    ASSERT_TRUE(xdotool(QStringLiteral("mousemove 500 500 click 1")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel(); }, waitLimitMs)) << "a click elsewhere did not close it";
    ASSERT_TRUE(waitForConfigs(3));

    // The menu's first item pauses sensing through the stored setting, which the panel pushes;
    // its last one quits, with nothing sent to the detector but the end of its input.
    // The menu is a window of ours (XEmbed) or of the host (StatusNotifierItem): the new one on screen.
    const auto menuItem = [&](bool first) {
        const std::vector<QRect> before = windows(QStringLiteral("."));
        std::optional<QRect> menu;
        const auto opened = [&] {
            for (const QRect& w : windows(QStringLiteral("."))) {
                menu = std::find(before.begin(), before.end(), w) == before.end() ? std::optional(w) : menu;
            }
            return menu.has_value();
        };
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2 click 3").arg(icon.center().x()).arg(icon.center().y())));
        ASSERT_TRUE(QTest::qWaitFor(opened, waitLimitMs)) << "no menu";
        const int y = first ? menu->top() + 14 : menu->bottom() - 14;
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(menu->center().x()).arg(y)));
    };
    ASSERT_NO_FATAL_FAILURE(menuItem(true));
    ASSERT_TRUE(waitForConfigs(4));
    EXPECT_TRUE(configs().back().value(QStringLiteral("paused")).toBool());
    ASSERT_NO_FATAL_FAILURE(menuItem(false));
    ASSERT_TRUE(app.waitForFinished(waitLimitMs));
    EXPECT_EQ(app.exitCode(), 0);
    for (const QJsonObject& command : configs()) {
        EXPECT_NE(command.value(QStringLiteral("cmd")).toString(), QStringLiteral("quit"));
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, TrayEndToEndTest,
                         ::testing::Values(TrayCase{"xembed-dark", "trayer", true, false},
                                           TrayCase{"xembed-light", "trayer", false, true},
                                           TrayCase{"sni-dark", "xfce4-panel", true, true},
                                           TrayCase{"sni-light", "xfce4-panel", false, false}),
                         [](const auto& info) {
                             return QString::fromLatin1(info.param.name).remove(QLatin1Char('-')).toStdString();
                         });

} // namespace
} // namespace zonkle
