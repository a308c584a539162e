#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "virtual_display.h"

namespace zonkle {
namespace {

using test::VirtualDisplay;
using test::XWindow;

// Generous bounds for a loaded machine; every wait ends as soon as its condition holds.
constexpr int waitLimitMs = 30000;
constexpr int panelWidth = 250;
// A tray slot; anything this small with our class is the icon, not the panel.
constexpr int largestTrayIcon = 64;
// The Quit button's place, from the panel's bottom-right corner: the footer's 16-point
// inset and its vertical middle.
constexpr QPoint quitFromBottomRight{-16 - 8, -17};

const QString appInstance = QStringLiteral("zonkle");

// The real application in a tree of its own, laid out as installed, with the scriptable
// detector as its thwack-core-daemon, and a home that no other run shares.
class TrayEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!VirtualDisplay::xvfbInstalled()) {
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb), so the tray cannot be tested here";
        }
        for (const char* tool : {"trayer", "xdotool"}) {
            ASSERT_FALSE(QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                << tool << " is missing; scripts/setup installs it";
        }
        ASSERT_TRUE(root.isValid());
        layOutTree();
        QString error;
        ASSERT_TRUE(display.start(error)) << error.toStdString();
    }

    void TearDown() override {
        for (QProcess* process : {&app, &trayer}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(waitLimitMs);
            }
        }
    }

    void layOutTree() {
        const QDir dir(root.path());
        for (const char* sub : {"bin", "libexec/zonkle", "home", "config", "data", "cache", "runtime"}) {
            ASSERT_TRUE(dir.mkpath(QString::fromLatin1(sub)));
        }
        QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        copyExecutable(QStringLiteral(ZONKLE_APP_EXECUTABLE), path("bin/zonkle"));
        copyExecutable(QStringLiteral(ZONKLE_TEST_DAEMON_EXECUTABLE), path("libexec/zonkle/thwack-core-daemon"));
    }

    void copyExecutable(const QString& from, const QString& to) {
        ASSERT_TRUE(QFile::copy(from, to)) << from.toStdString();
        ASSERT_TRUE(QFile::setPermissions(to, QFile::permissions(from)));
    }

    QString path(const char* relative) const { return root.filePath(QString::fromLatin1(relative)); }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), display.name());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("LANGUAGE"));
        env.remove(QStringLiteral("LC_ALL"));
        env.insert(QStringLiteral("HOME"), path("home"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path("data"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path("cache"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("runtime"));
        // No session bus: the icon goes to the X tray, not to a notifier service.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + path("no-bus"));
        env.insert(QStringLiteral("ZONKLE_TEST_DAEMON_RECORD"), path("daemon-input.txt"));
        return env;
    }

    void startTrayer() {
        trayer.setProcessEnvironment(environment());
        trayer.setStandardOutputFile(path("trayer.log"));
        trayer.setStandardErrorFile(path("trayer.log"), QIODevice::Append);
        trayer.start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                      QStringLiteral("--height"), QStringLiteral("24")});
        ASSERT_TRUE(trayer.waitForStarted(waitLimitMs));
        ASSERT_TRUE(QTest::qWaitFor([this] { return display.systemTrayRunning(); }, waitLimitMs))
            << "trayer did not take the tray: " << read("trayer.log");
    }

    void startApp() {
        app.setProcessEnvironment(environment());
        app.setStandardOutputFile(path("zonkle.out"));
        app.setStandardErrorFile(path("zonkle.err"));
        app.start(path("bin/zonkle"), {});
        ASSERT_TRUE(app.waitForStarted(waitLimitMs));
    }

    std::string read(const char* relative) const {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    std::string diagnostics() const {
        return "\n--- zonkle stdout\n" + read("zonkle.out") + "--- zonkle stderr\n" + read("zonkle.err") +
               "--- detector input\n" + read("daemon-input.txt");
    }

    // Lines the detector read on its standard input, and "<EOF>" once it ended.
    QList<QByteArray> detectorInput() const {
        QFile file(path("daemon-input.txt"));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return file.readAll().split('\n');
    }

    std::vector<QJsonObject> configs() const {
        std::vector<QJsonObject> found;
        for (const QByteArray& line : detectorInput()) {
            const QJsonObject command = QJsonDocument::fromJson(line).object();
            if (command.value(QStringLiteral("cmd")).toString() == QStringLiteral("config")) {
                found.push_back(command);
            }
        }
        return found;
    }

    bool waitForConfigs(std::size_t count) const {
        return QTest::qWaitFor([&] { return configs().size() >= count; }, waitLimitMs) && configs().size() == count;
    }

    std::optional<XWindow> window(bool wanted(const XWindow&)) const {
        for (const XWindow& w : display.visibleWindows(appInstance)) {
            if (wanted(w)) {
                return w;
            }
        }
        return std::nullopt;
    }
    std::optional<XWindow> trayIcon() const {
        return window([](const XWindow& w) { return w.geometry.width() <= largestTrayIcon; });
    }
    std::optional<XWindow> panel() const {
        return window([](const XWindow& w) { return w.geometry.width() == panelWidth; });
    }

    std::optional<XWindow> waitForPanel() const {
        std::optional<XWindow> found;
        if (!QTest::qWaitFor([&] { return (found = panel()).has_value(); }, waitLimitMs)) {
            return std::nullopt;
        }
        return found;
    }
    // Gone from the screen, and its grab of the pointer released, so that the next click
    // reaches the icon.
    bool waitForPanelGone() const {
        return QTest::qWaitFor([&] { return !panel().has_value() && !display.pointerGrabbed(); }, waitLimitMs);
    }

    void expectAppEndsAndDetectorSeesOnlyTheEndOfItsInput() {
        ASSERT_TRUE(app.waitForFinished(waitLimitMs)) << "zonkle did not end" << diagnostics();
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.exitCode(), 0);
        ASSERT_TRUE(QTest::qWaitFor([this] { return detectorInput().contains("<EOF>"); }, waitLimitMs))
            << "the detector's input did not end" << diagnostics();
        for (const QByteArray& line : detectorInput()) {
            EXPECT_NE(QJsonDocument::fromJson(line).object().value(QStringLiteral("cmd")).toString(),
                      QStringLiteral("quit"))
                << diagnostics();
        }
    }

    QTemporaryDir root;
    VirtualDisplay display;
    QProcess trayer;
    QProcess app;
};

TEST_F(TrayEndToEndTest, trayIconOpensThePanelBelowItAndQuitEndsTheAppWithoutTellingTheDetector) {
    ASSERT_NO_FATAL_FAILURE(startTrayer());
    ASSERT_NO_FATAL_FAILURE(startApp());

    // The detector is launched and configured before anyone clicks.
    ASSERT_TRUE(waitForConfigs(1)) << diagnostics();
    std::optional<XWindow> icon;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (icon = trayIcon()).has_value(); }, waitLimitMs))
        << "no tray icon" << diagnostics();
    EXPECT_EQ(configs().size(), 1u);
    const QPoint iconCentre = icon->geometry.center();

    ASSERT_TRUE(display.click(iconCentre));
    const std::optional<XWindow> opened = waitForPanel();
    ASSERT_TRUE(opened) << "no panel after a click on the icon" << diagnostics();
    const QRect shown = opened->geometry;
    EXPECT_GE(shown.top(), icon->geometry.bottom()) << "below the icon";
    EXPECT_LE(shown.top(), icon->geometry.bottom() + 8) << "right below the icon";
    EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(shown)) << "on the screen";
    // Its appearance pushes the panel's values once.
    ASSERT_TRUE(waitForConfigs(2)) << diagnostics();
    const QJsonObject pushed = configs().back();
    EXPECT_EQ(pushed.value(QStringLiteral("sensitivity")).toDouble(), 0.5);
    EXPECT_EQ(pushed.value(QStringLiteral("sound")).toString(), QStringLiteral("default"));
    EXPECT_EQ(pushed.value(QStringLiteral("paused")).toBool(true), false);

    // The icon toggles the panel; Escape and a click elsewhere close it. Each opening
    // pushes once, and nothing else does.
    ASSERT_TRUE(display.click(iconCentre));
    ASSERT_TRUE(waitForPanelGone()) << "a second click on the icon did not close the panel";
    ASSERT_TRUE(display.click(iconCentre));
    ASSERT_TRUE(waitForPanel()) << "a third click on the icon did not open the panel" << diagnostics();
    ASSERT_TRUE(waitForConfigs(3)) << diagnostics();
    ASSERT_TRUE(display.key(QStringLiteral("Escape")));
    ASSERT_TRUE(waitForPanelGone()) << "Escape did not close the panel";
    ASSERT_TRUE(display.click(iconCentre));
    ASSERT_TRUE(waitForPanel()) << diagnostics();
    ASSERT_TRUE(waitForConfigs(4)) << diagnostics();
    ASSERT_TRUE(display.click(QPoint(200, 500)));
    ASSERT_TRUE(waitForPanelGone()) << "a click elsewhere did not close the panel";
    ASSERT_TRUE(display.click(iconCentre));
    const std::optional<XWindow> last = waitForPanel();
    ASSERT_TRUE(last) << diagnostics();
    ASSERT_TRUE(waitForConfigs(5)) << diagnostics();

    ASSERT_TRUE(display.click(last->geometry.bottomRight() + quitFromBottomRight));
    expectAppEndsAndDetectorSeesOnlyTheEndOfItsInput();
    EXPECT_EQ(configs().size(), 5u) << diagnostics();
}

TEST_F(TrayEndToEndTest, withoutATrayThePanelOpensInAWindowAndClosingItEndsTheApp) {
    ASSERT_NO_FATAL_FAILURE(startApp());

    const std::optional<XWindow> shown = waitForPanel();
    ASSERT_TRUE(shown) << "no window with the panel" << diagnostics();
    EXPECT_NE(read("zonkle.err").find("no system tray"), std::string::npos) << diagnostics();
    // The start-up configuration and the window's appearance.
    ASSERT_TRUE(waitForConfigs(2)) << diagnostics();

    ASSERT_TRUE(display.requestClose(shown->id));
    expectAppEndsAndDetectorSeesOnlyTheEndOfItsInput();
}

} // namespace
} // namespace zonkle
