#include <cmath>
#include <future>
#include <gtest/gtest.h>
#include <set>

#include "sound/audio_sink.h"
#include "sound/sound_bank.h"
#include "sound/sound_player.h"

namespace thwack {
namespace {

constexpr int rate = 48000;

// Every sound is its own, loud for most of its length (RMS above -30 dBFS, not one spike), does
// not clip, and ends at silence, so cutting it off at its end does not click.
TEST(SoundBank, eachSoundIsItsOwnLoudWithoutClippingAndEndsAtSilence) {
    const SoundBank bank(rate);
    std::set<const float*> seen;
    for (const char* name : {"default", "anime-ahhh", "fart", "what_da_dog_doing"}) {
        const auto& sound = bank.find(name);
        ASSERT_GT(sound.size(), rate / 10u) << name;
        EXPECT_TRUE(seen.insert(sound.data()).second) << name;
        double power = 0.0;
        float peak = 0.0f;
        for (float s : sound) {
            peak = std::max(peak, std::abs(s));
            power += static_cast<double>(s) * s;
        }
        EXPECT_TRUE(peak > 0.5f && peak < 0.9f) << name << " peak " << peak;
        EXPECT_GT(std::sqrt(power / static_cast<double>(sound.size())), 0.03) << name; // false for NaN
        EXPECT_LT(std::abs(sound.back()), 0.01f) << name;
    }
}

// Records what it is given; holds the first write until released, like a full sound buffer.
class HoldingSink final : public AudioSink {
public:
    std::string description() const override { return "holding"; }
    int sampleRate() const override { return rate; }
    bool write(std::span<const float> samples) override {
        written.insert(written.end(), samples.begin(), samples.end());
        if (written.size() == samples.size()) {
            arrived.set_value();
            released.wait();
        }
        return true;
    }
    void discard() override { ++discards; }

    std::promise<void> arrived;
    std::promise<void> release;
    std::future<void> released = release.get_future();
    std::vector<float> written; // both read once the player is idle
    int discards = 0;
};

TEST(SoundPlayer, cutsOffTheSoundThatPlaysWhenANewOneStarts) {
    const std::vector<float> first(rate, 0.25f); // one second
    const std::vector<float> second(rate / 10, -0.5f);
    auto owned = std::make_unique<HoldingSink>();
    HoldingSink& sink = *owned;
    auto arrived = sink.arrived.get_future();
    SoundPlayer player(std::move(owned));
    player.play(first);
    arrived.wait();
    player.play(second);
    sink.release.set_value();
    player.waitUntilIdle();

    EXPECT_EQ(sink.discards, 1);
    const auto chunk = static_cast<std::size_t>(SoundPlayer::chunkSeconds * rate);
    ASSERT_EQ(sink.written.size(), chunk + second.size());
    EXPECT_EQ(sink.written.front(), 0.25f);
    EXPECT_EQ(sink.written[chunk], -0.5f);
    EXPECT_EQ(sink.written.back(), -0.5f);
}

} // namespace
} // namespace thwack
