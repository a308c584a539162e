#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "messages.h"

namespace zonkle {

// Hands decoded events from the reader thread to the main thread. Bounded by count and by
// bytes: a full queue makes the reader wait, so a daemon that writes faster than the main
// thread handles events is slowed down by its pipe instead of growing our memory. At most one
// delivery is pending.
class EventQueue final {
public:
    struct Batch {
        std::vector<InboundEvent> events;
        bool more = false; // events remain: the delivery must go on
        // Set once, in the batch that takes the last event after finish(): how the daemon ended.
        std::optional<std::string> ended;
    };

    EventQueue(std::size_t maxCount, std::size_t maxBytes);

    // Appends the events after waiting while the queue holds maxCount events or maxBytes bytes
    // or more (so it may pass a bound by one batch). Returns true when no delivery was pending:
    // the caller must schedule one. Drops the events once closed.
    bool push(std::vector<InboundEvent> batch);

    // Marks the end of the daemon, to be reported after the events queued before it. Returns
    // true when the caller must schedule a delivery, as push does.
    bool finish(std::string detail);

    // Removes up to `limit` events from the front. When none remain, the pending delivery
    // ends here, and the next push asks for a new one.
    Batch take(std::size_t limit);

    // Drops every event, releases a waiting push and makes later pushes drop their events.
    void close();

private:
    bool full() const { return events.size() >= maxCount || bytes >= maxBytes; }

    std::mutex mutex;
    std::condition_variable roomAvailable;
    std::deque<InboundEvent> events;
    std::size_t bytes = 0;
    const std::size_t maxCount;
    const std::size_t maxBytes;
    std::optional<std::string> endDetail;
    bool deliveryPending = false;
    bool closed = false;
};

} // namespace zonkle
