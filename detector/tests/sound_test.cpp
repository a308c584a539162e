#include <cmath>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

#include "sound/audio_sink.h"
#include "sound/sound_bank.h"
#include "sound/sound_player.h"

namespace thwack {
namespace {

constexpr int rate = 48000;

TEST(SoundBank, eachSoundHasItsLengthNoClippingAndIsNotSilent) {
    const SoundBank bank(rate);
    struct Case {
        const char* name;
        double minSeconds;
        double maxSeconds;
    };
    for (const Case c : {Case{"default", 0.2, 0.5}, Case{"anime-ahhh", 0.8, 1.5}, Case{"fart", 0.5, 1.2},
                         Case{"what_da_dog_doing", 1.0, 2.0}}) {
        const auto& sound = bank.find(c.name);
        const double seconds = static_cast<double>(sound.size()) / rate;
        EXPECT_GE(seconds, c.minSeconds) << c.name;
        EXPECT_LE(seconds, c.maxSeconds) << c.name;
        double power = 0.0;
        float peak = 0.0f;
        for (float s : sound) {
            ASSERT_TRUE(std::isfinite(s)) << c.name;
            peak = std::max(peak, std::abs(s));
            power += static_cast<double>(s) * s;
        }
        EXPECT_LT(peak, 0.9f) << c.name;
        EXPECT_GT(peak, 0.5f) << c.name;
        // Loud for most of its length, not one spike: RMS above -30 dBFS.
        EXPECT_GT(std::sqrt(power / static_cast<double>(sound.size())), 0.03) << c.name;
        // Ends at silence, so cutting it off at its end does not click.
        EXPECT_LT(std::abs(sound.back()), 0.01f) << c.name;
    }
}

// Records what it is given; holds the first write until released, like a full sound buffer.
class HoldingSink final : public AudioSink {
public:
    std::string description() const override { return "holding"; }
    int sampleRate() const override { return rate; }
    bool write(std::span<const float> samples) override {
        std::unique_lock lock(mutex);
        written.insert(written.end(), samples.begin(), samples.end());
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
        return true;
    }
    void discard() override {
        const std::lock_guard lock(mutex);
        ++discards;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<float> written;
    int discards = 0;
    bool released = false;
};

TEST(SoundPlayer, cutsOffTheSoundThatPlaysWhenANewOneStarts) {
    const std::vector<float> first(rate, 0.25f); // one second
    const std::vector<float> second(rate / 10, -0.5f);
    auto owned = std::make_unique<HoldingSink>();
    HoldingSink& sink = *owned;
    SoundPlayer player(std::move(owned));
    player.play(first);
    {
        std::unique_lock lock(sink.mutex);
        sink.changed.wait(lock, [&] { return !sink.written.empty(); });
    }
    player.play(second);
    {
        const std::lock_guard lock(sink.mutex);
        sink.released = true;
        sink.changed.notify_all();
    }
    player.waitUntilIdle();

    const std::lock_guard lock(sink.mutex);
    EXPECT_EQ(sink.discards, 1);
    const auto chunk = static_cast<std::size_t>(SoundPlayer::chunkSeconds * rate);
    ASSERT_EQ(sink.written.size(), chunk + second.size());
    EXPECT_EQ(sink.written.front(), 0.25f);
    EXPECT_EQ(sink.written[chunk], -0.5f);
    EXPECT_EQ(sink.written.back(), -0.5f);
}

} // namespace
} // namespace thwack
