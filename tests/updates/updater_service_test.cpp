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
