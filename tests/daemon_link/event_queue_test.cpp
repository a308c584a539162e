#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "daemon_link/event_queue.h"
#include "test_main_thread.h"

namespace zonkle {
namespace {

std::vector<InboundEvent> numbered(int first, int count) {
    std::vector<InboundEvent> events;
    for (int i = first; i < first + count; ++i) {
        events.push_back({std::to_string(i), std::nullopt, std::nullopt});
    }
    return events;
}

TEST(EventQueue, asksForOneDeliveryUntilTheQueueIsEmptied) {
    EventQueue queue(100);
    EXPECT_TRUE(queue.push(numbered(0, 3)));
    EXPECT_FALSE(queue.push(numbered(3, 3))); // a delivery is already pending
    const auto first = queue.take(4);
    EXPECT_EQ(first.events, numbered(0, 4));
    EXPECT_TRUE(first.more);
    EXPECT_FALSE(queue.push(numbered(6, 1))); // still pending: the delivery goes on
    const auto second = queue.take(4);
    EXPECT_EQ(second.events, numbered(4, 3));
    EXPECT_FALSE(second.more);
    EXPECT_TRUE(queue.push(numbered(7, 1))); // the delivery ended with the empty queue
}

TEST(EventQueue, holdsAProducerBackWhileFullAndKeepsOrder) {
    constexpr std::size_t capacity = 1000;
    constexpr int batches = 100;
    constexpr int batchSize = 100;
    EventQueue queue(capacity);
    std::thread producer([&] {
        for (int i = 0; i < batches; ++i) {
            queue.push(numbered(i * batchSize, batchSize));
        }
    });
    std::vector<InboundEvent> received;
    std::size_t largest = 0;
    const auto deadline = std::chrono::steady_clock::now() + test::generousLimit;
    while (received.size() < static_cast<std::size_t>(batches * batchSize) &&
           std::chrono::steady_clock::now() < deadline) {
        largest = std::max(largest, queue.size());
        const auto batch = queue.take(7);
        received.insert(received.end(), batch.events.begin(), batch.events.end());
        if (batch.events.empty()) {
            std::this_thread::yield(); // the producer has not caught up yet
        }
    }
    producer.join();
    EXPECT_EQ(received, numbered(0, batches * batchSize));
    EXPECT_LE(largest, capacity + batchSize);
}

TEST(EventQueue, closeReleasesAWaitingProducerAndDropsEverything) {
    EventQueue queue(2);
    queue.push(numbered(0, 2));
    auto blocked = std::async(std::launch::async, [&] { return queue.push(numbered(2, 1)); });
    queue.close();
    ASSERT_EQ(blocked.wait_for(test::generousLimit), std::future_status::ready);
    EXPECT_FALSE(blocked.get());
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_FALSE(queue.push(numbered(3, 1)));
    EXPECT_TRUE(queue.take(10).events.empty());
}

} // namespace
} // namespace zonkle
