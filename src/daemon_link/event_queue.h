#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "inbound_event.h"

namespace zonkle {

// Hands decoded events from the reader thread to the main thread. Bounded: a full queue makes
// the reader wait, so a daemon that writes faster than the main thread handles events is
// slowed down by its pipe instead of growing our memory. At most one delivery is pending.
class EventQueue final {
public:
    struct Batch {
        std::vector<InboundEvent> events;
        bool more = false; // events remain: the delivery must go on
        // Set once, in the batch that takes the last event after finish(): how the daemon ended.
        std::optional<std::string> ended;
    };

    explicit EventQueue(std::size_t capacity);

    // Appends the events after waiting while the queue holds `capacity` or more. Returns true
    // when no delivery was pending: the caller must schedule one. Drops the events once closed.
    bool push(std::vector<InboundEvent> batch);

    // Removes up to `maxCount` events from the front. When none remain, the pending delivery
    // ends here, and the next push asks for a new one.
    Batch take(std::size_t maxCount);

    // Marks the end of the daemon, to be reported after the events queued before it. Returns
    // true when the caller must schedule a delivery, as push does.
    bool finish(std::string detail);

    // Drops every event, releases a waiting push and makes later pushes drop their events.
    void close();

    std::size_t size() const;

private:
    mutable std::mutex mutex;
    std::condition_variable roomAvailable;
    std::deque<InboundEvent> events;
    const std::size_t capacity;
    std::optional<std::string> endDetail;
    bool deliveryPending = false;
    bool closed = false;
};

} // namespace zonkle
