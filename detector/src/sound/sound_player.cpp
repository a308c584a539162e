#include "sound/sound_player.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <utility>

namespace thwack {

SoundPlayer::SoundPlayer(std::unique_ptr<AudioSink> sink) : sink(std::move(sink)), worker([this] { run(); }) {}

SoundPlayer::~SoundPlayer() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

void SoundPlayer::play(const std::vector<float>& sound) {
    {
        const std::lock_guard lock(mutex);
        requested = &sound;
        ++requests;
    }
    wake.notify_all();
}

void SoundPlayer::waitUntilIdle() {
    std::unique_lock lock(mutex);
    idle.wait(lock, [this] { return handled == requests || stopping; });
}

void SoundPlayer::run() {
    const auto chunk = std::max<std::size_t>(1, static_cast<std::size_t>(chunkSeconds * sink->sampleRate()));
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return requested != nullptr || stopping; });
        if (stopping && (requested == nullptr || sink->isRealTime())) {
            return;
        }
        const std::vector<float>* sound = std::exchange(requested, nullptr);
        const std::uint64_t number = requests;
        std::size_t position = 0;
        bool cut = false;
        while (position < sound->size() && !cut) {
            const auto count = std::min(chunk, sound->size() - position);
            lock.unlock();
            const bool ok = sink->write(std::span(sound->data() + position, count));
            lock.lock();
            position += count;
            if (!ok) {
                if (!failureReported) {
                    std::fprintf(stderr, "thwack-core-daemon: sound output %s failed; hits are still reported\n",
                                 sink->description().c_str());
                    failureReported = true;
                }
                break;
            }
            if (stopping && sink->isRealTime()) {
                return;
            }
            if (requested != nullptr) {
                lock.unlock();
                sink->discard();
                lock.lock();
                cut = true;
            }
        }
        // Requests replaced before they began were covered by this one.
        handled = number;
        idle.notify_all();
    }
}

} // namespace thwack
