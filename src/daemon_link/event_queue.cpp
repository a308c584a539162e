#include "event_queue.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace zonkle {
namespace {

// What an event holds in memory, near enough.
std::size_t sizeOf(const InboundEvent& event) {
    return sizeof(InboundEvent) + event.type.capacity() + (event.action ? event.action->capacity() : 0) +
           (event.message ? event.message->capacity() : 0);
}

} // namespace

EventQueue::EventQueue(std::size_t maxCount, std::size_t maxBytes) : maxCount(maxCount), maxBytes(maxBytes) {}

bool EventQueue::push(std::vector<InboundEvent> batch) {
    std::unique_lock lock(mutex);
    roomAvailable.wait(lock, [this] { return closed || !full(); });
    if (closed || batch.empty()) {
        return false;
    }
    for (auto& event : batch) {
        bytes += sizeOf(event);
        events.push_back(std::move(event));
    }
    return !std::exchange(deliveryPending, true);
}

bool EventQueue::finish(std::string detail) {
    std::lock_guard lock(mutex);
    if (closed) {
        return false;
    }
    endDetail = std::move(detail);
    return !std::exchange(deliveryPending, true);
}

EventQueue::Batch EventQueue::take(std::size_t limit) {
    Batch batch;
    {
        std::lock_guard lock(mutex);
        const auto count = std::min(limit, events.size());
        for (std::size_t i = 0; i < count; ++i) {
            bytes -= sizeOf(events.front());
            batch.events.push_back(std::move(events.front()));
            events.pop_front();
        }
        batch.more = !events.empty();
        if (!batch.more) {
            batch.ended = std::exchange(endDetail, std::nullopt);
        }
        deliveryPending = batch.more;
    }
    roomAvailable.notify_all();
    return batch;
}

void EventQueue::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
        events.clear();
        bytes = 0;
        deliveryPending = false;
    }
    roomAvailable.notify_all();
}

} // namespace zonkle
