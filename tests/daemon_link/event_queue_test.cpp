#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "daemon_link/event_queue.h"
#include "test_main_thread.h"

namespace zonkle {
namespace {

bool waitingOnALock(pid_t thread) {
    std::ifstream wchan("/proc/self/task/" + std::to_string(thread) + "/wchan");
    std::string where;
    wchan >> where;
    return where.find("futex") != std::string::npos;
}

TEST(EventQueue, holdsThePusherBackAtEitherBoundUntilEventsAreTakenOrItIsClosed) {
    constexpr std::size_t maxCount = 4;
    constexpr std::size_t maxBytes = 4096;
    constexpr int pushes = 50;
    for (const std::size_t messageSize : {std::size_t(1), std::size_t(1500)}) {
        SCOPED_TRACE(messageSize);
        EventQueue queue(maxCount, maxBytes);
        std::atomic<int> pushed = 0;
        std::atomic<pid_t> pusherId = 0;
        std::thread pusher([&] {
            pusherId = ::gettid();
            for (int i = 0; i < pushes; ++i) {
                queue.push({{"event", "hit", std::string(messageSize, 'm')}});
                ++pushed;
            }
        });
        // Held back once a bound is reached: by count (4 small events) or by bytes (3 large ones).
        const int held = messageSize == 1 ? 4 : 3;
        ASSERT_TRUE(test::eventually([&] { return pushed == pushes || (pushed == held && waitingOnALock(pusherId)); }));
        EXPECT_EQ(pushed, held);
        const auto batch = queue.take(2);
        EXPECT_EQ(batch.events.size(), 2u);
        EXPECT_TRUE(batch.more);
        EXPECT_TRUE(test::eventually([&] { return pushed >= held + 1; }));
        queue.close(); // releases the pusher, whose later events are dropped
        pusher.join();
        EXPECT_TRUE(queue.take(maxCount).events.empty());
    }
}

} // namespace
} // namespace zonkle
