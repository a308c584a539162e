#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "recording_daemon_client.h"
#include "state/menu_bar_view_model.h"
#include "test_support.h"

namespace zonkle {
namespace {

constexpr int eventLoopTimeoutMs = 30'000;
const InboundEvent hit{"event", "hit", std::nullopt};

// A view model on a recording client; the client, the settings source and the log sink all
// write into one journal, so that the order of their calls shows.
class ViewModelTest : public testing::Test {
protected:
    std::unique_ptr<MenuBarViewModel> makeViewModel(MenuBarViewModel::SettingsSource source) {
        return std::make_unique<MenuBarViewModel>(client, std::move(source), [this](std::string_view line) {
            log.emplace_back(line);
            journal.push_back("log " + std::string(line));
        });
    }
    std::unique_ptr<MenuBarViewModel> makeViewModel(const SettingsValues& stored = {}) {
        return makeViewModel([this, stored] {
            journal.push_back("read settings");
            return stored;
        });
    }

    // As the client does with a decoded event, on the main thread.
    void deliver(const InboundEvent& event) { client->onEventReceived(event); }

    // Runs the main event loop until every task queued so far has run.
    static bool drainEventLoop() {
        bool drained = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { drained = true; }, Qt::QueuedConnection);
        return QTest::qWaitFor([&] { return drained; }, eventLoopTimeoutMs);
    }

    std::vector<std::string> journal;
    std::vector<std::string> log;
    std::shared_ptr<test::RecordingDaemonClient> client = std::make_shared<test::RecordingDaemonClient>(journal);
};

TEST_F(ViewModelTest, startsTheClientThenReadsAndSendsTheStoredSettingsUnchanged) {
    auto viewModel = makeViewModel({7.25, "kazoo", true});

    const std::vector<std::string> expected{"start with callback", "read settings",
                                            "log Syncing Config -> Sensitivity: 7.25, Sound: kazoo, Paused: true",
                                            "send config"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(client->sent, (std::vector<OutboundCommand>{{"config", 7.25, "kazoo", true}}));
    viewModel.reset();
    EXPECT_EQ(journal.back(), "stop");
}

TEST_F(ViewModelTest, firstConfigUsesPanelDefaultsWhenNothingIsStored) {
    QTemporaryDir dir;
    auto viewModel =
        makeViewModel([&] { return SettingsStore::readDirect(*test::openSettings(dir.filePath("none"))); });

    EXPECT_EQ(client->sent, (std::vector<OutboundCommand>{{"config", 0.5, "default", false}}));
    EXPECT_EQ(log, std::vector<std::string>{"Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false"});
}

TEST_F(ViewModelTest, sendsEveryPushEvenWithIdenticalValues) {
    auto viewModel = makeViewModel();
    viewModel->syncConfig(0.5, "default", false);
    viewModel->syncConfig(0.5, "default", false);
    EXPECT_EQ(client->sent, std::vector<OutboundCommand>(3, {"config", 0.5, "default", false}));
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(ViewModelTest, countsEveryHitOneLoopTurnAfterItsDeliveryEvenWhilePaused) {
    auto viewModel = makeViewModel({0.5, "default", true});
    log.clear();
    QSignalSpy counts(viewModel.get(), &MenuBarViewModel::hitCountChanged);

    deliver(hit);
    deliver({"event", "pong", std::nullopt});
    deliver(hit);
    EXPECT_EQ(viewModel->hitCount(), 0) << "handled inside the callback";
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewModel->hitCount() == 2; }, eventLoopTimeoutMs));

    const std::vector<std::string> expected{"Hit detected by Go daemon! #1", "Ping/Pong test successful.",
                                            "Hit detected by Go daemon! #2"};
    EXPECT_EQ(log, expected);
    ASSERT_EQ(counts.count(), 2);
    EXPECT_EQ(counts.at(1).at(0), 2);
    EXPECT_EQ(viewModel->property("hitCount"), 2);
}

TEST_F(ViewModelTest, dropsEventsQueuedOrDeliveredAfterItsDestruction) {
    auto viewModel = makeViewModel();
    log.clear();
    deliver(hit);
    viewModel.reset();
    deliver(hit);
    ASSERT_TRUE(drainEventLoop());
    EXPECT_TRUE(log.empty());
}

TEST_F(ViewModelTest, logsAndCountsRecognisedEventsAndIgnoresAllOthers) {
    struct Case {
        InboundEvent event;
        std::string logLine; // empty: none
    };
    const std::vector<Case> cases{
        {{"event", "hit", "ignored"}, "Hit detected by Go daemon! #1"},
        {{"event", "pong", std::nullopt}, "Ping/Pong test successful."},
        {{"error", "boom", "disk full"}, "Error: Optional(\"boom\")"},
        {{"error", std::nullopt, "disk full"}, "Error: nil"},
        {{"error", "say \"hi\"\\\n\r\t", std::nullopt}, "Error: Optional(\"say \\\"hi\\\"\\\\\\n\\r\\t\")"},
        {{"error", std::string("\x1b[31m\0\x7f", 7), std::nullopt}, "Error: Optional(\"\\u{1b}[31m\\0\\u{7f}\")"},
        {{"hit", std::nullopt, std::nullopt}, ""},
        {{"event", std::nullopt, "hit"}, ""},
        {{"EVENT", "hit", std::nullopt}, ""},
        {{"event", "Hit", std::nullopt}, ""},
        {{"event", "hit ", std::nullopt}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event.type + " / " + c.event.action.value_or("(none)"));
        auto viewModel = makeViewModel();
        log.clear();
        viewModel->handleEvent(c.event);
        EXPECT_EQ(log, c.logLine.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.logLine});
        EXPECT_EQ(viewModel->hitCount(), c.logLine.starts_with("Hit") ? 1 : 0);
    }
    EXPECT_EQ(client->sent.size(), cases.size()) << "events never send anything";
}

TEST_F(ViewModelTest, showsTheDetectorsHealthFromItsReportsInTheirOrder) {
    using Health = MenuBarViewModel::DetectorHealth;
    using Report = std::variant<InboundEvent, DetectorFailure>;
    const InboundEvent noSensor{"error", "no_sensor", "no accelerometer"};
    const InboundEvent noAudio{"error", "no_audio", "no microphone"};
    const InboundEvent pong{"event", "pong", std::nullopt};
    const DetectorFailure exited{DetectorFailure::Kind::Exited, "exited with status 3"};
    struct Case {
        const char* behaviour;
        std::vector<Report> reports;
        Health health;
        QString detail;
        int changes;
    };
    const std::vector<Case> cases{
        {"startsHealthy", {hit}, Health::Healthy, "", 0},
        {"noSensor", {noSensor}, Health::NoSensor, "no accelerometer", 1},
        {"noAudio", {noAudio}, Health::NoAudio, "no microphone", 1},
        {"noSensorWinsOverLaterNoAudio", {noSensor, noAudio}, Health::NoSensor, "no accelerometer", 1},
        {"noSensorReplacesNoAudio", {noAudio, noSensor}, Health::NoSensor, "no accelerometer", 2},
        {"pongMakesHealthyAgain", {noSensor, noAudio, pong}, Health::Healthy, "", 2},
        {"otherErrorsAndCasesDoNotCount",
         {InboundEvent{"error", "boom", "x"}, InboundEvent{"event", "no_sensor", {}},
          InboundEvent{"error", "No_Sensor", {}}},
         Health::Healthy,
         "",
         0},
        {"noSensorWithoutMessage", {InboundEvent{"error", "no_sensor", {}}}, Health::NoSensor, "", 1},
        {"exitAfterItsLastEvents", {noSensor, exited}, Health::Exited, "exited with status 3", 2},
        {"launchFailure",
         {DetectorFailure{DetectorFailure::Kind::NotStarted, "Permission denied"}},
         Health::NotStarted,
         "Permission denied",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.behaviour);
        auto viewModel = makeViewModel();
        QSignalSpy changes(viewModel.get(), &MenuBarViewModel::detectorHealthChanged);
        log.clear();
        for (const Report& report : c.reports) {
            std::visit(
                [&](const auto& r) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(r)>, InboundEvent>) {
                        deliver(r);
                    } else {
                        client->onDetectorFailed(r);
                    }
                },
                report);
        }
        ASSERT_TRUE(drainEventLoop());
        EXPECT_EQ(viewModel->detectorHealth(), c.health);
        EXPECT_EQ(viewModel->property("detectorHealthDetail").toString(), c.detail);
        EXPECT_EQ(changes.count(), c.changes);
        // Health changes write nothing of their own: only the events' usual lines appear.
        for (const auto& line : log) {
            EXPECT_TRUE(line.starts_with("Error: ") || line.starts_with("Hit") || line.starts_with("Ping")) << line;
        }
    }
}

TEST(MenuBarViewModelText, writesSensitivitiesAsTheShortestDecimalThatReadsBack) {
    for (int step = 1; step <= 20; ++step) {
        EXPECT_EQ(MenuBarViewModel::sensitivityText(step / 10.0),
                  std::to_string(step / 10) + "." + std::to_string(step % 10));
    }
    const std::vector<std::pair<double, std::string>> cases{
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {0.1 + 0.2, "0.30000000000000004"},
        {7 * 0.1, "0.7000000000000001"},
        {0.00001, "1e-05"},
        {1e16, "1e+16"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(MenuBarViewModel::sensitivityText(value), expected);
    }
}

} // namespace
} // namespace zonkle
