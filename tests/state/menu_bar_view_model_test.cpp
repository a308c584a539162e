#include <algorithm>
#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include "recording_daemon_client.h"
#include "settings_files.h"
#include "state/menu_bar_view_model.h"

namespace zonkle {
namespace {

using test::RecordingDaemonClient;
using test::SettingsFiles;

constexpr int eventLoopTimeoutMs = 30'000;

// Runs the main event loop until every task queued so far has run.
bool drainMainQueue() {
    bool drained = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { drained = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&] { return drained; }, eventLoopTimeoutMs);
}

// A view model over a recording client; the client, the settings source and the log sink
// all write into one journal, so the order of their calls can be checked.
class ViewModelTest : public testing::Test {
protected:
    std::unique_ptr<MenuBarViewModel> makeViewModel(const SettingsValues& stored = {}) {
        return makeViewModel([this, stored] {
            journal.push_back("read settings");
            return stored;
        });
    }

    std::unique_ptr<MenuBarViewModel> makeViewModel(MenuBarViewModel::SettingsSource source) {
        return std::make_unique<MenuBarViewModel>(client, std::move(source), [this](std::string_view line) {
            logLines.emplace_back(line);
            journal.push_back("log " + std::string(line));
        });
    }

    // What the client does with a decoded event: call back on the main thread.
    void deliver(const InboundEvent& event) { client->onEventReceived(event); }

    std::vector<std::string> journal;
    std::vector<std::string> logLines;
    std::shared_ptr<RecordingDaemonClient> client = std::make_shared<RecordingDaemonClient>(journal);
};

const InboundEvent hit{"event", "hit", std::nullopt};

TEST_F(ViewModelTest, startsTheClientThenReadsAndSendsTheSettings) {
    auto viewModel = makeViewModel({1.2, "fart", true});

    const std::vector<std::string> expected{"start with callback", "read settings",
                                            "log Syncing Config -> Sensitivity: 1.2, Sound: fart, Paused: true",
                                            "send config"};
    EXPECT_EQ(journal, expected);
    ASSERT_EQ(client->sent.size(), 1u);
    EXPECT_EQ(client->sent[0], (OutboundCommand{"config", 1.2, "fart", true}));
    EXPECT_EQ(viewModel->hitCount(), 0);
}

TEST_F(ViewModelTest, firstConfigUsesPanelDefaultsWhenNothingIsStored) {
    SettingsFiles files;
    const QString path = files.freshPath();
    auto viewModel = makeViewModel([&] { return SettingsStore::readDirect(*SettingsFiles::open(path)); });

    ASSERT_EQ(client->sent.size(), 1u);
    EXPECT_EQ(client->sent[0], (OutboundCommand{"config", 0.5, "default", false}));
    EXPECT_EQ(logLines, std::vector<std::string>{"Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false"});
}

TEST_F(ViewModelTest, forwardsStoredValuesUnchangedHoweverOdd) {
    struct Case {
        QByteArray file;
        OutboundCommand expected;
        std::string logLine;
    };
    const std::vector<Case> cases{
        {"[General]\nsensitivity=7.25\nselectedSound=kazoo\nisPaused=true\n",
         {"config", 7.25, "kazoo", true},
         "Syncing Config -> Sensitivity: 7.25, Sound: kazoo, Paused: true"},
        {"[General]\nsensitivity=-1\nselectedSound=what_da_dog_doing\nisPaused=0\n",
         {"config", -1.0, "what_da_dog_doing", false},
         "Syncing Config -> Sensitivity: -1.0, Sound: what_da_dog_doing, Paused: false"},
        {"[General]\nsensitivity=0.30000000000000004\nselectedSound=\nisPaused=1\n",
         {"config", 0.30000000000000004, "", true},
         "Syncing Config -> Sensitivity: 0.30000000000000004, Sound: , Paused: true"},
        {"[General]\nsensitivity=abc\nselectedSound=a, b\nisPaused=maybe\n",
         {"config", 0.5, "default", false},
         "Syncing Config -> Sensitivity: 0.5, Sound: default, Paused: false"},
    };
    SettingsFiles files;
    for (const Case& c : cases) {
        client->sent.clear();
        logLines.clear();
        const QString path = files.create(c.file);
        auto viewModel = makeViewModel([&] { return SettingsStore::readDirect(*SettingsFiles::open(path)); });
        ASSERT_EQ(client->sent.size(), 1u) << c.file.data();
        EXPECT_EQ(client->sent[0], c.expected) << c.file.data();
        EXPECT_EQ(logLines, std::vector<std::string>{c.logLine}) << c.file.data();
    }
}

TEST_F(ViewModelTest, sendsEveryPushEvenWithIdenticalValues) {
    auto viewModel = makeViewModel();
    viewModel->syncConfig(0.5, "default", false);
    viewModel->syncConfig(0.5, "default", false);

    ASSERT_EQ(client->sent.size(), 3u);
    for (const OutboundCommand& command : client->sent) {
        EXPECT_EQ(command, (OutboundCommand{"config", 0.5, "default", false}));
    }
    EXPECT_EQ(logLines.size(), 3u);
}

TEST_F(ViewModelTest, countsHitsDeliveredThroughTheCallbackOneLoopTurnLater) {
    auto viewModel = makeViewModel();
    logLines.clear();
    QSignalSpy counts(viewModel.get(), &MenuBarViewModel::hitCountChanged);

    deliver(hit);
    deliver(hit);
    // Handled on a later turn of the main event loop, not inside the callback.
    EXPECT_EQ(viewModel->hitCount(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewModel->hitCount() == 2; }, eventLoopTimeoutMs));
    deliver(hit);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewModel->hitCount() == 3; }, eventLoopTimeoutMs));

    const std::vector<std::string> expected{"Hit detected by Go daemon! #1", "Hit detected by Go daemon! #2",
                                            "Hit detected by Go daemon! #3"};
    EXPECT_EQ(logLines, expected);
    ASSERT_EQ(counts.count(), 3);
    EXPECT_EQ(counts.at(2).at(0).toLongLong(), 3);
    EXPECT_EQ(viewModel->property("hitCount").toLongLong(), 3);
}

TEST_F(ViewModelTest, handlesDeliveredEventsInTheirOrder) {
    auto viewModel = makeViewModel();
    logLines.clear();

    deliver({"event", "pong", std::nullopt});
    deliver(hit);
    deliver({"error", "late", std::nullopt});
    ASSERT_TRUE(drainMainQueue());

    const std::vector<std::string> expected{"Ping/Pong test successful.", "Hit detected by Go daemon! #1",
                                            "Error: Optional(\"late\")"};
    EXPECT_EQ(logLines, expected);
}

TEST_F(ViewModelTest, countsHitsWhilePaused) {
    auto viewModel = makeViewModel({0.5, "default", true});
    deliver(hit);
    deliver(hit);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewModel->hitCount() == 2; }, eventLoopTimeoutMs));
    EXPECT_EQ(logLines.back(), "Hit detected by Go daemon! #2");
}

TEST_F(ViewModelTest, stopsTheClientWhenDestroyed) {
    auto viewModel = makeViewModel();
    viewModel.reset();
    EXPECT_EQ(journal.back(), "stop");
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "stop"), 1);
}

TEST_F(ViewModelTest, dropsEventsDeliveredAfterItWasDestroyed) {
    auto viewModel = makeViewModel();
    logLines.clear();
    viewModel.reset();

    deliver(hit);
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(logLines.empty());
}

TEST_F(ViewModelTest, dropsEventsStillQueuedWhenItIsDestroyed) {
    auto viewModel = makeViewModel();
    logLines.clear();

    deliver(hit);
    viewModel.reset();
    ASSERT_TRUE(drainMainQueue());
    EXPECT_TRUE(logLines.empty());
}

// One event handed to handleEvent, and its one log line (empty: none) and count.
struct EventCase {
    const char* name;
    InboundEvent event;
    std::string logLine;
    qint64 hitCount;

    friend void PrintTo(const EventCase& row, std::ostream* out) { *out << row.name; }
};

class ViewModelEvent : public ViewModelTest, public testing::WithParamInterface<EventCase> {};

TEST_P(ViewModelEvent, logsAndCountsAsTheEventRequires) {
    auto viewModel = makeViewModel();
    logLines.clear();
    QSignalSpy counts(viewModel.get(), &MenuBarViewModel::hitCountChanged);

    viewModel->handleEvent(GetParam().event);

    const std::vector<std::string> expected =
        GetParam().logLine.empty() ? std::vector<std::string>{} : std::vector<std::string>{GetParam().logLine};
    EXPECT_EQ(logLines, expected);
    EXPECT_EQ(viewModel->hitCount(), GetParam().hitCount);
    EXPECT_EQ(counts.count(), GetParam().hitCount);
    EXPECT_EQ(client->sent.size(), 1u) << "events never reach the daemon";
}

INSTANTIATE_TEST_SUITE_P(
    Events, ViewModelEvent,
    testing::Values(EventCase{"hit", {"event", "hit", std::nullopt}, "Hit detected by Go daemon! #1", 1},
                    EventCase{"hitWithMessage", {"event", "hit", "ignored"}, "Hit detected by Go daemon! #1", 1},
                    EventCase{"pong", {"event", "pong", std::nullopt}, "Ping/Pong test successful.", 0},
                    EventCase{"error", {"error", "boom", "disk full"}, "Error: Optional(\"boom\")", 0},
                    EventCase{"errorWithoutAction", {"error", std::nullopt, "disk full"}, "Error: nil", 0},
                    EventCase{"errorWithEmptyAction", {"error", "", std::nullopt}, "Error: Optional(\"\")", 0},
                    EventCase{"errorNeedingEscapes",
                              {"error", "say \"hi\"\\\n\r\t", std::nullopt},
                              "Error: Optional(\"say \\\"hi\\\"\\\\\\n\\r\\t\")",
                              0},
                    EventCase{"errorWithControlCharacters",
                              {"error", std::string("\x1b[31m\0\x7f", 7), std::nullopt},
                              "Error: Optional(\"\\u{1b}[31m\\0\\u{7f}\")",
                              0},
                    EventCase{"errorWithUnicode",
                              {"error", "caf\xc3\xa9 'x'", std::nullopt},
                              "Error: Optional(\"caf\xc3\xa9 'x'\")",
                              0},
                    EventCase{"hitAsType", {"hit", std::nullopt, std::nullopt}, "", 0},
                    EventCase{"hitAsTypeWithAction", {"hit", "hit", std::nullopt}, "", 0},
                    EventCase{"eventWithoutAction", {"event", std::nullopt, "hit"}, "", 0},
                    EventCase{"capitalEvent", {"EVENT", "hit", std::nullopt}, "", 0},
                    EventCase{"titleCaseEvent", {"Event", "hit", std::nullopt}, "", 0},
                    EventCase{"capitalHit", {"event", "Hit", std::nullopt}, "", 0},
                    EventCase{"capitalPong", {"event", "PONG", std::nullopt}, "", 0},
                    EventCase{"hitWithSpace", {"event", "hit ", std::nullopt}, "", 0},
                    EventCase{"capitalError", {"Error", "boom", std::nullopt}, "", 0},
                    EventCase{"unknownType", {"status", "ready", std::nullopt}, "", 0},
                    EventCase{"unknownAction", {"event", "tap", std::nullopt}, "", 0},
                    EventCase{"emptyType", {"", "hit", std::nullopt}, "", 0}),
    [](const testing::TestParamInfo<EventCase>& info) { return std::string(info.param.name); });

TEST(MenuBarViewModelText, writesEverySliderStepAsItsShortDecimal) {
    for (int step = 1; step <= 20; ++step) {
        const std::string expected = std::to_string(step / 10) + "." + std::to_string(step % 10);
        EXPECT_EQ(MenuBarViewModel::sensitivityText(step / 10.0), expected);
    }
}

TEST(MenuBarViewModelText, writesSensitivitiesAsTheShortestTextThatReadsBack) {
    const std::vector<std::pair<double, std::string>> cases{
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {1.0, "1.0"},
        {2.0, "2.0"},
        {3.0, "3.0"},
        {-1.0, "-1.0"},
        {7.25, "7.25"},
        {0.1 + 0.2, "0.30000000000000004"},
        {3 * 0.1, "0.30000000000000004"},
        {7 * 0.1, "0.7000000000000001"},
        {100000.0, "100000.0"},
        {123456789012345.0, "123456789012345.0"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1e16, "1e+16"},
        {1e22, "1e+22"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {std::numeric_limits<double>::denorm_min(), "5e-324"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(MenuBarViewModel::sensitivityText(value), expected) << expected;
    }
}

TEST(MenuBarViewModelText, sensitivityTextReadsBackAsTheSameDouble) {
    // Sums of steps as a slider might produce them, and values around them.
    for (int step = 1; step <= 200; ++step) {
        double sum = 0.0;
        for (int i = 0; i < step; ++i) {
            sum += 0.01;
        }
        for (const double value : {sum, step * 0.01, std::nextafter(sum, 0.0), std::nextafter(sum, 3.0)}) {
            const std::string text = MenuBarViewModel::sensitivityText(value);
            double parsed = -1.0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
            ASSERT_EQ(error, std::errc()) << text;
            EXPECT_EQ(end, text.data() + text.size()) << text;
            EXPECT_EQ(parsed, value) << text;
            EXPECT_NE(text.find('.'), std::string::npos) << text;
        }
    }
}

} // namespace
} // namespace zonkle
