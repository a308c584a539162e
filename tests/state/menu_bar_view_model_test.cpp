#include <gtest/gtest.h>
#include <limits>
#include <variant>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "recording_daemon_client.h"
#include "state/menu_bar_view_model.h"

namespace zonkle {
namespace {

using Lines = std::vector<std::string>;
using Health = MenuBarViewModel::DetectorHealth;
const InboundEvent hit{"event", "hit", std::nullopt};

// A view model on a recording client; the client, the settings source and the log all write
// into one journal, so that the order of their calls shows.
struct ViewModelTest : testing::Test {
    std::unique_ptr<MenuBarViewModel> makeViewModel(const SettingsValues& stored = {}) {
        auto viewModel = std::make_unique<MenuBarViewModel>(
            client,
            [this, stored] {
                journal.push_back("read settings");
                return stored;
            },
            [this](std::string_view line) { journal.push_back("log " + std::string(line)); });
        journal.clear();
        client->sent.clear();
        return viewModel;
    }

    // Runs the main event loop until every task queued so far has run.
    static void drainEventLoop() {
        bool drained = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { drained = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(QTest::qWaitFor([&] { return drained; }, 30'000));
    }

    Lines journal;
    std::shared_ptr<test::RecordingDaemonClient> client = std::make_shared<test::RecordingDaemonClient>(journal);
};

TEST_F(ViewModelTest, startsTheClientThenReadsAndSendsTheStoredSettingsAndStopsItWhenDestroyed) {
    auto viewModel = std::make_unique<MenuBarViewModel>(
        client,
        [] {
            return SettingsValues{7.25, "kazoo", true};
        },
        [this](std::string_view line) { journal.emplace_back(line); });
    viewModel.reset();
    EXPECT_EQ(journal, (Lines{"start with callbacks", "Syncing Config -> Sensitivity: 7.25, Sound: kazoo, Paused: true",
                              "send config", "stop"}));
    EXPECT_EQ(client->sent, (std::vector<OutboundCommand>{{"config", 7.25, "kazoo", true}}));
}

TEST_F(ViewModelTest, sendsEveryPushUnchangedAndLogsTheSensitivityAsTheShortestDecimal) {
    const std::vector<std::pair<double, std::string>> cases{
        {0.5, "0.5"},       {0.5, "0.5"},    {0.0, "0.0"},
        {-0.0, "-0.0"},     {2.0, "2.0"},    {0.1 + 0.2, "0.30000000000000004"},
        {0.00001, "1e-05"}, {1e16, "1e+16"}, {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
    };
    auto viewModel = makeViewModel();
    for (const auto& [sensitivity, text] : cases) {
        viewModel->syncConfig(sensitivity, "fart", false);
        EXPECT_EQ(journal.end()[-2], "log Syncing Config -> Sensitivity: " + text + ", Sound: fart, Paused: false");
        EXPECT_EQ(client->sent.back(), (OutboundCommand{"config", sensitivity, "fart", false}));
    }
    EXPECT_EQ(client->sent.size(), cases.size());
}

TEST_F(ViewModelTest, logsAndCountsRecognisedEventsAndIgnoresAllOthers) {
    const std::vector<std::pair<InboundEvent, std::string>> cases{
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
    };
    for (const auto& [event, line] : cases) {
        SCOPED_TRACE(line);
        auto viewModel = makeViewModel();
        viewModel->handleEvent(event);
        EXPECT_EQ(journal, line.empty() ? Lines{} : Lines{"log " + line});
        EXPECT_EQ(viewModel->hitCount(), line.starts_with("Hit") ? 1 : 0);
    }
}

TEST_F(ViewModelTest, countsEveryHitOneLoopTurnAfterItsDeliveryEvenWhilePausedAndNoneAfterDestruction) {
    auto viewModel = makeViewModel({0.5, "default", true});
    QSignalSpy counts(viewModel.get(), &MenuBarViewModel::hitCountChanged);
    client->onEventReceived(hit);
    client->onEventReceived(hit);
    EXPECT_EQ(viewModel->hitCount(), 0) << "handled inside the callback";
    drainEventLoop();
    EXPECT_EQ(viewModel->property("hitCount"), 2);
    EXPECT_EQ(counts.count(), 2);
    client->onEventReceived(hit);
    viewModel.reset();
    client->onEventReceived(hit);
    drainEventLoop();
    EXPECT_EQ(journal, (Lines{"log Hit detected by Go daemon! #1", "log Hit detected by Go daemon! #2", "stop"}));
}

TEST_F(ViewModelTest, showsTheDetectorsHealthFromItsReportsInTheirOrder) {
    using Report = std::variant<InboundEvent, DetectorFailure>;
    const InboundEvent noSensor{"error", "no_sensor", "no accelerometer"};
    const InboundEvent noAudio{"error", "no_audio", "no microphone"};
    const InboundEvent pong{"event", "pong", std::nullopt};
    const DetectorFailure exited{DetectorFailure::Kind::Exited, "exited with status 3"};
    const DetectorFailure notStarted{DetectorFailure::Kind::NotStarted, "Permission denied"};
    struct Case {
        std::vector<Report> reports;
        Health health;
        QString detail;
        int changes;
    };
    const std::vector<Case> cases{
        {{hit}, Health::Healthy, "", 0},
        {{noSensor}, Health::NoSensor, "no accelerometer", 1},
        {{noAudio}, Health::NoAudio, "no microphone", 1},
        {{noSensor, noAudio}, Health::NoSensor, "no accelerometer", 1},
        {{noAudio, noSensor}, Health::NoSensor, "no accelerometer", 2},
        {{noSensor, noAudio, pong}, Health::Healthy, "", 2},
        {{InboundEvent{"error", "boom", "x"}, InboundEvent{"event", "no_sensor", {}}}, Health::Healthy, "", 0},
        {{InboundEvent{"error", "no_sensor", {}}}, Health::NoSensor, "", 1},
        {{noSensor, exited}, Health::Exited, "exited with status 3", 2},
        {{notStarted}, Health::NotStarted, "Permission denied", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.detail.toStdString());
        auto viewModel = makeViewModel();
        QSignalSpy changes(viewModel.get(), &MenuBarViewModel::detectorHealthChanged);
        for (const Report& report : c.reports) {
            if (const auto* event = std::get_if<InboundEvent>(&report)) {
                client->onEventReceived(*event);
            } else {
                client->onDetectorFailed(std::get<DetectorFailure>(report));
            }
        }
        drainEventLoop();
        EXPECT_EQ(viewModel->property("detectorHealth").value<Health>(), c.health);
        EXPECT_EQ(viewModel->property("detectorHealthDetail").toString(), c.detail);
        EXPECT_EQ(changes.count(), c.changes);
        for (const auto& line : journal) { // health has no log lines of its own
            EXPECT_TRUE(line.starts_with("log Error: ") || line.starts_with("log Hit") || line.starts_with("log Ping"));
        }
    }
}

} // namespace
} // namespace zonkle
