#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "state/menu_bar_view_model.h"

namespace zonkle {
namespace {

using Lines = std::vector<std::string>;
using Health = MenuBarViewModel::DetectorHealth;
const InboundEvent hit{"event", "hit", std::nullopt};

// Stands in for the daemon link; it, the settings source and the log write into one journal.
struct RecordingClient final : DaemonClient {
    explicit RecordingClient(Lines& journal) : journal(journal) {}
    void start() override { journal.push_back(onEventReceived && onDetectorFailed ? "start" : "start uncalled"); }
    void send(const OutboundCommand& command) override { sent.push_back(command); }
    void stop() override { journal.push_back("stop"); }
    Lines& journal;
    std::vector<OutboundCommand> sent;
};

struct ViewModelTest : testing::Test {
    std::unique_ptr<MenuBarViewModel> makeViewModel(const SettingsValues& stored = {}) {
        return std::make_unique<MenuBarViewModel>(
            client, [this, stored] { return journal.push_back("read"), stored; },
            [this](std::string_view line) { journal.emplace_back(line); });
    }
    // Runs the main event loop until every task queued so far has run.
    static void drainEventLoop() {
        bool drained = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { drained = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(QTest::qWaitFor([&] { return drained; }, 30'000));
    }
    Lines journal;
    std::shared_ptr<RecordingClient> client = std::make_shared<RecordingClient>(journal);
};

// The sensitivity is logged as the shortest decimal that reads back as the same double.
TEST_F(ViewModelTest, startsTheClientThenReadsAndSendsTheStoredSettingsAndEveryPushAndStopsItWhenDestroyed) {
    auto viewModel = makeViewModel({2.0, "kazoo", true});
    viewModel->syncConfig(0.1 + 0.2, "fart", false);
    viewModel->syncConfig(0.1 + 0.2, "fart", false);
    viewModel->syncConfig(1e16, "", false);
    viewModel.reset();
    const std::string pushed = "Syncing Config -> Sensitivity: 0.30000000000000004, Sound: fart, Paused: false";
    EXPECT_EQ(journal, (Lines{"start", "read", "Syncing Config -> Sensitivity: 2.0, Sound: kazoo, Paused: true", pushed,
                              pushed, "Syncing Config -> Sensitivity: 1e+16, Sound: , Paused: false", "stop"}));
    EXPECT_EQ(client->sent, (std::vector<OutboundCommand>{{"config", 2.0, "kazoo", true},
                                                          {"config", 0.1 + 0.2, "fart", false},
                                                          {"config", 0.1 + 0.2, "fart", false},
                                                          {"config", 1e16, "", false}}));
}

TEST_F(ViewModelTest, dropsEventsDeliveredOrQueuedAfterItsDestruction) {
    auto viewModel = makeViewModel();
    journal.clear();
    client->onEventReceived(hit);
    viewModel.reset();
    client->onEventReceived(hit);
    drainEventLoop();
    EXPECT_EQ(journal, Lines{"stop"});
}

// Each case's reports reach the view model through the client's callbacks, one loop turn later;
// those of type "exited" and "not started" stand for the client's failure reports.
TEST_F(ViewModelTest, logsCountsAndShowsTheDetectorsHealthFromItsReportsInOrderAndIgnoresAllOthers) {
    const InboundEvent noSensor{"error", "no_sensor", "no accelerometer"};
    const InboundEvent noAudio{"error", "no_audio", "no microphone"};
    const InboundEvent pong{"event", "pong", std::nullopt};
    const std::string sensorLine = "Error: Optional(\"no_sensor\")", audioLine = "Error: Optional(\"no_audio\")";
    struct Case {
        std::vector<InboundEvent> reports;
        Lines log;
        Health health = Health::Healthy;
        QString detail = {};
        int healthChanges = 0;
    };
    const std::vector<Case> cases{
        {{{"event", "hit", "x"},
          {"hit", {}, {}},
          {"event", {}, "hit"},
          {"EVENT", "hit", {}},
          {"event", "Hit", {}},
          {"event", "no_sensor", {}},
          hit},
         {"Hit detected by Go daemon! #1", "Hit detected by Go daemon! #2"}},
        {{{"error", "boom", "disk full"}, {"error", {}, "x"}}, {"Error: Optional(\"boom\")", "Error: nil"}},
        {{{"error", "say \"hi\"\\\n\r\t", {}}}, {"Error: Optional(\"say \\\"hi\\\"\\\\\\n\\r\\t\")"}},
        {{{"error", std::string("\x1b[31m\0\x7f", 7), {}}}, {"Error: Optional(\"\\u{1b}[31m\\0\\u{7f}\")"}},
        {{noSensor}, {sensorLine}, Health::NoSensor, "no accelerometer", 1},
        {{noAudio}, {audioLine}, Health::NoAudio, "no microphone", 1},
        {{noSensor, noAudio}, {sensorLine, audioLine}, Health::NoSensor, "no accelerometer", 1},
        {{noAudio, noSensor}, {audioLine, sensorLine}, Health::NoSensor, "no accelerometer", 2},
        {{noSensor, pong}, {sensorLine, "Ping/Pong test successful."}, Health::Healthy, "", 2},
        {{noSensor, {"exited", {}, "exited with status 3"}}, {sensorLine}, Health::Exited, "exited with status 3", 2},
        {{{"not started", {}, "Permission denied"}}, {}, Health::NotStarted, "Permission denied", 1}};
    for (const Case& c : cases) {
        auto viewModel = makeViewModel({0.5, "default", true}); // paused: hits still count
        QSignalSpy healthChanges(viewModel.get(), &MenuBarViewModel::detectorHealthChanged);
        journal.clear();
        for (const InboundEvent& report : c.reports) {
            using Kind = DetectorFailure::Kind;
            if (report.type == "exited" || report.type == "not started") {
                client->onDetectorFailed({report.type == "exited" ? Kind::Exited : Kind::NotStarted, *report.message});
            } else {
                client->onEventReceived(report);
            }
        }
        EXPECT_EQ(viewModel->hitCount(), 0) << "handled inside the callback";
        drainEventLoop();
        EXPECT_EQ(journal, c.log);
        EXPECT_EQ(viewModel->property("hitCount"), c.log.size() == 2 && c.log[0].starts_with("Hit") ? 2 : 0);
        EXPECT_EQ(viewModel->property("detectorHealth").value<Health>(), c.health) << c.detail.toStdString();
        EXPECT_EQ(viewModel->property("detectorHealthDetail").toString(), c.detail);
        EXPECT_EQ(healthChanges.count(), c.healthChanges) << c.detail.toStdString();
    }
}

} // namespace
} // namespace zonkle
