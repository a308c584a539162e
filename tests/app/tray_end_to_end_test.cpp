#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <ostream>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace zonkle {
namespace {

// Generous bounds for a loaded machine; every wait ends as soon as its condition holds.
constexpr int waitLimitMs = 30000;
constexpr int panelWidth = 250;
// The icon size the Xfce panel is configured to draw, and its grab handles at both ends.
constexpr int xfceIconSize = 22;
constexpr int xfceHandleWidth = 12;

struct TrayCase {
    const char* name;
    bool statusNotifier; // xfce4-panel's StatusNotifierItem host over D-Bus, else trayer (XEmbed)
    bool dark, sensorMissing;
    bool hostFirst; // else the tray starts after the app has shown the panel in a window for want of one
};
void PrintTo(const TrayCase& c, std::ostream* out) {
    *out << c.name;
}

bool waitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, waitLimitMs);
}

// WCAG contrast ratio of two colours.
double contrast(QRgb a, QRgb b) {
    const auto luminance = [](QRgb c) {
        const auto linear = [](int v) { return v <= 10 ? v / 3294.6 : std::pow((v / 255.0 + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
    };
    const auto [dim, bright] = std::minmax({luminance(a), luminance(b)});
    return (bright + 0.05) / (dim + 0.05);
}

const char* const xfcePanelConfig = R"(<channel name="xfce4-panel" version="1.0">
<property name="configver" type="int" value="2"/><property name="panels" type="array"><value type="int" value="1"/>
<property name="panel-1" type="empty"><property name="position" type="string" value="p=6;x=0;y=0"/>
<property name="size" type="uint" value="28"/><property name="length" type="uint" value="100"/>
<property name="plugin-ids" type="array"><value type="int" value="1"/></property></property></property>
<property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray">
<property name="icon-size" type="int" value="22"/></property></property></channel>)";

// The real application, laid out as installed with the scriptable detector as its
// thwack-core-daemon, on a virtual display with a real tray host.
class TrayEndToEndTest : public ::testing::TestWithParam<TrayCase> {
protected:
    void SetUp() override {
        const QString xfconf = QStringLiteral("config/xfce4/xfconf/xfce-perchannel-xml");
        for (const QString& sub : {QStringLiteral("bin"), QStringLiteral("libexec/zonkle"), xfconf}) {
            ASSERT_TRUE(QDir(root.path()).mkpath(sub));
        }
        ASSERT_TRUE(QFile::copy(ZONKLE_APP_EXECUTABLE, path("bin/zonkle")));
        ASSERT_TRUE(QFile::copy(ZONKLE_TEST_DAEMON_EXECUTABLE, path("libexec/zonkle/thwack-core-daemon")));
        QFile config(root.filePath(xfconf + QStringLiteral("/xfce4-panel.xml")));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly) && config.write(xfcePanelConfig) > 0);
        // Xvfb picks a free display and writes its number on the given descriptor.
        xvfb.start("Xvfb", {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        ASSERT_TRUE(waitFor([&] { return xvfb.canReadLine(); })) << "Xvfb did not start; scripts/setup installs it";
        const std::map<QString, QString> variables = {
            {"DISPLAY", QLatin1Char(':') + QString::fromLatin1(xvfb.readLine().trimmed())},
            {"HOME", root.path()},
            {"XDG_CONFIG_HOME", path("config")},
            {"XDG_RUNTIME_DIR", root.path()},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path("no-bus")},
            {"GTK_THEME", GetParam().dark ? "Adwaita:dark" : "Adwaita"},
            {"LANG", "C.UTF-8"},
            {"QT_QPA_PLATFORM", "xcb"},
            {"ZONKLE_TEST_DAEMON_RECORD", path("daemon-input.txt")},
            {"ZONKLE_TEST_DAEMON_ACTIONS",
             GetParam().sensorMissing ? R"(write {"type":"error","action":"no_sensor","message":"No sensor"}\n)" : ""}};
        for (const auto& [name, value] : variables) {
            env.insert(name, value);
        }
        host.setProcessEnvironment(env);
        if (GetParam().statusNotifier) { // the panel's own session bus, for the app to join; the panel waits for a line
            host.start("dbus-run-session",
                       {"sh", "-c", R"(echo $DBUS_SESSION_BUS_ADDRESS; read go && exec xfce4-panel -d)"});
            ASSERT_TRUE(waitFor([&] { return host.canReadLine(); })) << "no session bus";
            env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromLatin1(host.readLine().trimmed()));
        }
    }

    // The tray ends with its display, and dbus-run-session then ends its bus (it would leave it if ended itself).
    void TearDown() override {
        host.closeWriteChannel();
        for (QProcess* process : {&app, &xvfb, &host}) {
            if (process != &host) {
                process->terminate();
            }
            if (!process->waitForFinished(waitLimitMs)) {
                process->kill();
                process->waitForFinished(waitLimitMs);
            }
        }
    }

    QString path(const char* relative) const { return root.filePath(QString::fromLatin1(relative)); }

    // A tool's output; `succeeded` tells whether it exited with 0.
    QByteArray run(const QString& command, bool* succeeded = nullptr) const {
        QStringList arguments = QProcess::splitCommand(command);
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(arguments.takeFirst(), arguments);
        const bool finished = tool.waitForFinished(waitLimitMs);
        if (succeeded != nullptr) {
            *succeeded = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
        }
        return tool.readAllStandardOutput();
    }
    bool xdotool(const QString& arguments) const {
        bool succeeded = false;
        run("xdotool " + arguments, &succeeded);
        return succeeded;
    }
    bool click(QPoint at, int button = 1) const {
        return xdotool(QStringLiteral("mousemove %1 %2 click %3").arg(at.x()).arg(at.y()).arg(button));
    }
    QByteArray watcherProperty(const QString& name) const {
        return run("dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher "
                   "org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:" +
                   name);
    }

    // Starts the tray; where it starts first, waits until Qt would find it.
    void startHost() {
        if (GetParam().statusNotifier) {
            host.write("\n");
        } else {
            host.start("trayer",
                       {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                        "--transparent", "true", "--alpha", "0", "--tint", GetParam().dark ? "0x353535" : "0xf0f0f0"});
        }
        ASSERT_TRUE(!GetParam().hostFirst || waitFor([&] {
            return GetParam().statusNotifier ? watcherProperty("IsStatusNotifierHostRegistered").contains("true")
                                             : !windows("^trayer$").empty();
        }));
    }

    // Visible windows whose WM_CLASS class matches, with their geometry.
    std::vector<QRect> windows(const QString& windowClass) const {
        static const QRegularExpression geometry(
            QStringLiteral("X=(-?\\d+)\\nY=(-?\\d+)\\nWIDTH=(\\d+)\\nHEIGHT=(\\d+)"));
        std::vector<QRect> found;
        for (const auto& m : geometry.globalMatch(QString::fromLatin1(
                 run("xdotool search --onlyvisible --class " + windowClass + " getwindowgeometry --shell %@")))) {
            if (m.captured(3).toInt() > 1) {
                found.emplace_back(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                                   m.captured(4).toInt());
            }
        }
        return found;
    }
    std::optional<QRect> panel() const {
        const std::vector<QRect> ours = windows("^zonkle$");
        const auto found = std::find_if(ours.begin(), ours.end(), [](QRect w) { return w.width() == panelWidth; });
        return found == ours.end() ? std::nullopt : std::optional(*found);
    }
    QImage screenshot() const { return QImage::fromData(run("import -window root png:-"), "PNG"); }

    // The icon in the host's strip: whatever differs from the strip's commonest colour (the
    // panel's), without the host's border lines and grab handles; with the contrast that a
    // quarter of its pixels reach (its glyph, not a stray edge pixel).
    bool findIcon() {
        const std::vector<QRect> hosts = windows(GetParam().statusNotifier ? "^xfce4-panel$" : "^trayer$");
        if (hosts.empty()) {
            return false;
        }
        strip = *std::max_element(hosts.begin(), hosts.end(), [](QRect a, QRect b) { return a.width() < b.width(); });
        const QImage shot = screenshot().copy(strip);
        std::map<QRgb, int> counts;
        for (int i = 0; i < shot.width() * shot.height(); ++i) {
            ++counts[shot.pixel(i % shot.width(), i / shot.width())];
        }
        background =
            std::max_element(counts.begin(), counts.end(), [](auto a, auto b) { return a.second < b.second; })->first;
        icon = {};
        std::vector<double> contrasts;
        const int handle = GetParam().statusNotifier ? xfceHandleWidth : 0;
        for (int y = 1; y < shot.height() - 1; ++y) {
            for (int x = handle; x < shot.width() - handle; ++x) {
                if (const double c = contrast(shot.pixel(x, y), background); c > 1.1) {
                    icon |= QRect(strip.x() + x, strip.y() + y, 1, 1);
                    contrasts.push_back(c);
                }
            }
        }
        std::sort(contrasts.rbegin(), contrasts.rend());
        legibility = contrasts.empty() ? 0 : contrasts[contrasts.size() / 4];
        return icon.width() > 8 && icon.height() > 8;
    }

    // What the detector was sent, one JSON command a line.
    QByteArray sent() const {
        QFile file(path("daemon-input.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool waitForConfigs(qsizetype count) const {
        return waitFor([&] { return sent().count(R"("cmd":"config")") >= count; }) &&
               sent().count(R"("cmd":"config")") == count;
    }

    // Right-clicks the icon and clicks the first or last item of the menu, a window of ours
    // (XEmbed) or of the host (StatusNotifierItem): the one new on screen.
    void useMenu(bool firstItem) const {
        const std::vector<QRect> before = windows(".");
        std::optional<QRect> menu;
        const auto opened = [&] {
            for (const QRect& w : windows(".")) {
                menu = std::find(before.begin(), before.end(), w) == before.end() ? std::optional(w) : menu;
            }
            return menu.has_value();
        };
        ASSERT_TRUE(click(icon.center(), 3));
        ASSERT_TRUE(waitFor(opened)) << "no menu";
        ASSERT_TRUE(click({menu->center().x(), firstItem ? menu->top() + 14 : menu->bottom() - 14}));
    }

    QTemporaryDir root;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess xvfb, host, app;
    QRect strip, icon;
    QRgb background = 0;
    double legibility = 0;
};

TEST_P(TrayEndToEndTest, iconIsLegibleOpensThePanelBelowItAndItsMenuPausesAndQuits) {
    if (GetParam().hostFirst) {
        ASSERT_NO_FATAL_FAILURE(startHost());
    }
    app.setProcessEnvironment(env);
    app.start(path("bin/zonkle"), {});
    ASSERT_TRUE(waitForConfigs(1)) << "the detector is launched and configured before any click";
    // Pushes so far: the start-up one, and the window's appearance where there was no tray.
    const int pushed = GetParam().hostFirst ? 1 : 2;
    if (!GetParam().hostFirst) {
        ASSERT_TRUE(waitFor([&] { return panel().has_value(); })) << "no window without a tray";
        ASSERT_TRUE(waitForConfigs(pushed));
        ASSERT_NO_FATAL_FAILURE(startHost());
    }

    ASSERT_TRUE(waitFor([&] { return findIcon(); })) << "no icon in the tray";
    // Only our icon can have registered with this panel's watcher, and only over D-Bus.
    EXPECT_TRUE(!GetParam().statusNotifier || waitFor([&] {
        return watcherProperty("RegisteredStatusNotifierItems").contains("/StatusNotifierItem");
    })) << "the icon is not a StatusNotifierItem";
    ASSERT_TRUE(waitFor([&] { return !panel(); })) << "the window stays after the icon came";
    const int slot = GetParam().statusNotifier ? xfceIconSize : strip.height();
    std::printf("[ %s ] panel #%06x, icon %dx%d in a %d slot (%.0f %%), contrast %.1f:1\n", GetParam().name,
                background & 0xffffff, icon.width(), icon.height(), slot, 100.0 * icon.height() / slot, legibility);
    EXPECT_GE(legibility, 3.0);
    EXPECT_GE(icon.height(), 0.7 * slot);

    // A click opens the panel right below the icon, on the screen; its appearance pushes once,
    // and its header says whether the detector can sense.
    ASSERT_TRUE(click(icon.center()));
    std::optional<QRect> shown;
    ASSERT_TRUE(waitFor([&] { return (shown = panel()).has_value(); })) << "no panel";
    EXPECT_TRUE(icon.center().y() <= shown->top() && shown->top() <= strip.bottom() + 8);
    EXPECT_TRUE(shown->left() <= icon.center().x() && icon.center().x() <= shown->right());
    EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(*shown));
    ASSERT_TRUE(waitForConfigs(pushed + 1));
    const QString status = GetParam().sensorMissing ? "No sensor found$" : "Active$";
    EXPECT_TRUE(waitFor([&] { return !run(R"(xdotool search --onlyvisible --name ")" + status + '"').isEmpty(); }))
        << status.toStdString();
    if (const QString shots = qEnvironmentVariable("ZONKLE_TEST_SCREENSHOTS"); !shots.isEmpty()) {
        screenshot().copy(shown->united(strip).adjusted(-8, 0, 8, 8)).save(shots + "/" + GetParam().name + ".png");
    }
    // Escape closes it, as does a click elsewhere after it opened again.
    ASSERT_TRUE(xdotool("key Escape") && waitFor([&] { return !panel(); })) << "Escape did not close it";
    ASSERT_TRUE(click(icon.center()) && waitFor([&] { return panel().has_value(); }));
    ASSERT_TRUE(click({500, 500}) && waitFor([&] { return !panel(); })) << "a click elsewhere did not close it";
    ASSERT_TRUE(waitForConfigs(pushed + 2));

    // The menu's first item pauses sensing through the stored setting, which the panel pushes;
    // its last one quits, with nothing sent to the detector but the end of its input.
    ASSERT_NO_FATAL_FAILURE(useMenu(true));
    ASSERT_TRUE(waitForConfigs(pushed + 3));
    EXPECT_TRUE(sent().trimmed().split('\n').back().contains(R"("paused":true)"));
    ASSERT_NO_FATAL_FAILURE(useMenu(false));
    ASSERT_TRUE(app.waitForFinished(waitLimitMs));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_FALSE(sent().contains("quit"));
}

INSTANTIATE_TEST_SUITE_P(Hosts, TrayEndToEndTest,
                         ::testing::Values(TrayCase{"xembed-dark", false, true, false, true},
                                           TrayCase{"xembed-light-late", false, false, true, false},
                                           TrayCase{"sni-dark", true, true, true, true},
                                           TrayCase{"sni-light-late", true, false, false, false}),
                         [](const auto& info) {
                             return QString::fromLatin1(info.param.name).remove(QLatin1Char('-')).toStdString();
                         });

} // namespace
} // namespace zonkle
