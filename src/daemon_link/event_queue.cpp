#include "event_queue.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace zonkle {

EventQueue::EventQueue(std::size_t capacity) : capacity(capacity) {}

bool EventQueue::push(std::vector<InboundEvent> batch) {
    std::unique_lock lock(mutex);
    roomAvailable.wait(lock, [this] { return closed || events.size() < capacity; });
    if (closed || batch.empty()) {
        return false;
    }
    events.insert(events.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    return !std::exchange(deliveryPending, true);
}

EventQueue::Batch EventQueue::take(std::size_t maxCount) {
    Batch batch;
    {
        std::lock_guard lock(mutex);
        const auto count = static_cast<std::ptrdiff_t>(std::min(maxCount, events.size()));
        batch.events.assign(std::make_move_iterator(events.begin()), std::make_move_iterator(events.begin() + count));
        events.erase(events.begin(), events.begin() + count);
        batch.more = !events.empty();
        if (!batch.more && endDetail) {
            batch.ended = std::exchange(endDetail, std::nullopt);
        }
        deliveryPending = batch.more;
    }
    roomAvailable.notify_all();
    return batch;
}

bool EventQueue::finish(std::string detail) {
    std::lock_guard lock(mutex);
    if (closed) {
        return false;
    }
    endDetail = std::move(detail);
    return !std::exchange(deliveryPending, true);
}

void EventQueue::close() {
    {
        std::lock_guard lock(mutex);
        closed = true;
        events.clear();
        deliveryPending = false;
    }
    roomAvailable.notify_all();
}

std::size_t EventQueue::size() const {
    std::lock_guard lock(mutex);
    return events.size();
}

} // namespace zonkle
