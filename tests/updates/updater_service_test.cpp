#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "loopback_http_server.h"
#include "recording_presenter.h"
#include "updates/appcast_updater_controller.h"
#include "updates/updater_service.h"

namespace zonkle {
namespace {

using test::LoopbackHttpServer;
using test::PresenterLog;
using test::RecordingPresenter;
using Dialog = PresenterLog::Dialog;

constexpr int waitLimitMs = 30'000;

// An updater whose availability the test sets by hand.
class ScriptedController final : public UpdaterController {
public:
    explicit ScriptedController(bool initial) : available(initial) {}
    bool canCheckForUpdates() const override { return available; }
    void checkForUpdates() override { ++checks; }
    void report(bool value) {
        available = value;
        emit canCheckForUpdatesChanged(value);
    }
    bool available;
    int checks = 0;
};

TEST(UpdaterService, takesTheUpdatersCurrentValueDuringConstruction) {
    for (const bool initial : {true, false}) {
        UpdaterService service(std::make_unique<ScriptedController>(initial));
        EXPECT_EQ(service.canCheckForUpdates(), initial);
        EXPECT_EQ(service.property("canCheckForUpdates").toBool(), initial);
    }
}

TEST(UpdaterService, mirrorsEachChangeOnceAndLeavesChecksToTheUpdater) {
    UpdaterService service(std::make_unique<ScriptedController>(true));
    auto& updater = static_cast<ScriptedController&>(service.updaterController());
    QSignalSpy notifications(&service, &UpdaterService::canCheckForUpdatesChanged);

    updater.report(true); // no change, no notification
    updater.report(false);
    EXPECT_FALSE(service.canCheckForUpdates());
    updater.report(false);
    updater.report(true);
    EXPECT_TRUE(service.canCheckForUpdates());
    ASSERT_EQ(notifications.size(), 2);
    EXPECT_FALSE(notifications[0][0].toBool());
    EXPECT_TRUE(notifications[1][0].toBool());

    service.updaterController().checkForUpdates();
    EXPECT_EQ(updater.checks, 1);
    EXPECT_TRUE(service.canCheckForUpdates());
}

class UpdaterServiceWithFeed : public ::testing::Test {
protected:
    std::unique_ptr<UpdaterService> makeService(const FeedLimits& limits = {}) {
        return std::make_unique<UpdaterService>(std::make_unique<AppcastUpdaterController>(
            AppcastUpdaterController::Settings{server.url("/appcast.xml"), QStringLiteral("1.0"),
                                               QStringLiteral("linux"), limits},
            std::make_unique<RecordingPresenter>(log)));
    }

    LoopbackHttpServer server;
    std::shared_ptr<PresenterLog> log = std::make_shared<PresenterLog>();
};

TEST_F(UpdaterServiceWithFeed, isFalseWhileCheckingAndIgnoresASecondRequest) {
    server.route("/appcast.xml", {.behaviour = LoopbackHttpServer::Behaviour::Stall});
    const auto service = makeService({.transferTimeout = std::chrono::milliseconds(500)});
    EXPECT_TRUE(service->canCheckForUpdates());
    QSignalSpy notifications(service.get(), &UpdaterService::canCheckForUpdatesChanged);

    service->updaterController().checkForUpdates();
    EXPECT_FALSE(service->canCheckForUpdates());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !server.requestedPaths().isEmpty(); }, waitLimitMs));
    service->updaterController().checkForUpdates();
    ASSERT_TRUE(QTest::qWaitFor([&] { return service->canCheckForUpdates(); }, waitLimitMs));

    EXPECT_EQ(server.requestedPaths().size(), 1);
    EXPECT_EQ(log->dialogs, (QList{Dialog::Checking, Dialog::Failed}));
    ASSERT_EQ(notifications.size(), 2);
    EXPECT_FALSE(notifications[0][0].toBool());
    EXPECT_TRUE(notifications[1][0].toBool());
}

TEST_F(UpdaterServiceWithFeed, canBeDestroyedDuringACheck) {
    server.route("/appcast.xml", {.behaviour = LoopbackHttpServer::Behaviour::Stall});
    auto service = makeService();
    service->updaterController().checkForUpdates();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !server.requestedPaths().isEmpty(); }, waitLimitMs));

    service.reset();
    // The request is abandoned, and nothing reports to the dead service afterwards.
    EXPECT_TRUE(QTest::qWaitFor([this] { return server.openConnections() == 0; }, waitLimitMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(log->dialogs, (QList{Dialog::Checking, Dialog::Dismissed}));
}

} // namespace
} // namespace zonkle
