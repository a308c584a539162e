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

struct SoundCase {
    const char* name;
    double minSeconds;
    double maxSeconds;
};

class Sounds : public testing::TestWithParam<SoundCase> {
protected:
    static const SoundBank& bank() {
        static const SoundBank instance(rate);
        return instance;
    }
};

TEST_P(Sounds, haveTheirLengthNoClippingAndAreNotSilent) {
    const auto& c = GetParam();
    const auto& sound = bank().find(c.name);
    const double seconds = static_cast<double>(sound.size()) / rate;
    EXPECT_GE(seconds, c.minSeconds);
    EXPECT_LE(seconds, c.maxSeconds);
    double power = 0.0;
    float peak = 0.0f;
    for (float s : sound) {
        ASSERT_TRUE(std::isfinite(s));
        peak = std::max(peak, std::abs(s));
        power += static_cast<double>(s) * s;
    }
    EXPECT_LT(peak, 0.9f);
    EXPECT_GT(peak, 0.5f);
    // Loud for most of its length, not one spike: RMS above -30 dBFS.
    EXPECT_GT(std::sqrt(power / static_cast<double>(sound.size())), 0.03);
    // Ends at silence, so cutting it off at its end does not click.
    EXPECT_LT(std::abs(sound.back()), 0.01f);
}

INSTANTIATE_TEST_SUITE_P(All, Sounds,
                         testing::Values(SoundCase{"default", 0.2, 0.5}, SoundCase{"anime-ahhh", 0.8, 1.5},
                                         SoundCase{"fart", 0.5, 1.2}, SoundCase{"what_da_dog_doing", 1.0, 2.0}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(SoundBank, scalesLengthsWithTheSampleRate) {
    const SoundBank low(16000);
    const SoundBank high(48000);
    for (auto name : SoundBank::names) {
        EXPECT_NEAR(low.seconds(name), high.seconds(name), 0.001) << name;
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
        ++writes;
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
        return true;
    }
    void discard() override {
        const std::lock_guard lock(mutex);
        ++discards;
    }
    void waitForWrites(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return writes >= count; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<float> written;
    int writes = 0;
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
    sink.waitForWrites(1);
    player.play(second);
    sink.release();
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
