#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "daemon_link/event_queue.h"
#include "test_support.h"

namespace zonkle {
namespace {

// Whether a thread of this process sleeps on a futex: a lock or a condition variable.
bool waitsOnALock(pid_t thread) {
    std::ifstream wchan("/proc/self/task/" + std::to_string(thread) + "/wchan");
    std::string where;
    return wchan >> where && where.find("futex") != std::string::npos;
}

// A pusher is held back, waiting on the queue's lock, by 4 small events (the count bound) or
// by 3 large ones (the byte bound); taking events or closing the queue lets it go on.
TEST(EventQueue, holdsThePusherBackAtEitherBoundUntilEventsAreTakenOrItIsClosed) {
    for (const auto& [messageSize, held] : {std::pair<std::size_t, int>{1, 4}, {1500, 3}}) {
        EventQueue queue(4, 4096);
        std::atomic<int> pushed = 0;
        std::atomic<pid_t> pusher = 0;
        std::thread thread([&] {
            pusher = ::gettid();
            for (int i = 0; i < 50; ++i, ++pushed) {
                queue.push({{"event", "hit", std::string(messageSize, 'm')}});
            }
        });
        ASSERT_TRUE(test::eventually([&] { return pushed == 50 || (pusher != 0 && waitsOnALock(pusher)); }));
        EXPECT_EQ(pushed, held) << messageSize;
        EXPECT_EQ(queue.take(2).events.size(), 2u);
        EXPECT_TRUE(test::eventually([&] { return pushed > held; }));
        queue.close();
        thread.join();
        EXPECT_TRUE(queue.take(50).events.empty());
    }
}

} // namespace
} // namespace zonkle
