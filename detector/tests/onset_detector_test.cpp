#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

#include "detection/onset_detector.h"
#include "scene_generator.h"

namespace thwack {
namespace {

constexpr double rate = 16000.0;

// Quiet room noise (about -60 dBFS) with a repeatable seed.
std::vector<float> quietRoom(double seconds) {
    std::mt19937 random(42);
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    for (float& s : out) {
        s = 0.001f * (static_cast<float>(random()) / static_cast<float>(std::mt19937::max()) * 2.0f - 1.0f) * 1.7f;
    }
    return out;
}

// A dull knock: a 300 Hz mode decaying with tau 15 ms, peak amplitude given.
void addKnock(std::vector<float>& audio, double t0, double peak, double frequency = 300.0, double tau = 0.015) {
    const auto start = static_cast<std::size_t>(t0 * rate);
    for (std::size_t n = 0; n < static_cast<std::size_t>(6 * tau * rate) && start + n < audio.size(); ++n) {
        const double t = n / rate;
        audio[start + n] +=
            static_cast<float>(peak * std::exp(-t / tau) * std::sin(2 * std::numbers::pi * frequency * t));
    }
}

std::vector<double> detect(const std::vector<float>& audio, double sensitivity = 1.0, double muteUntil = 0.0) {
    OnsetDetector detector(rate);
    detector.setSensitivity(sensitivity);
    detector.muteUntil(muteUntil);
    std::vector<double> hits;
    // Odd block sizes so frames straddle blocks.
    for (std::size_t i = 0; i < audio.size(); i += 333) {
        const auto block = std::span(audio).subspan(i, std::min<std::size_t>(333, audio.size() - i));
        const auto found = detector.process(block);
        hits.insert(hits.end(), found.begin(), found.end());
    }
    return hits;
}

TEST(OnsetDetector, ignoresASustainedSoundThatStartsAbruptly) {
    auto audio = quietRoom(3.0);
    for (std::size_t n = static_cast<std::size_t>(1.0 * rate); n < static_cast<std::size_t>(2.0 * rate); ++n) {
        audio[n] += static_cast<float>(0.1 * std::sin(2 * std::numbers::pi * 300.0 * n / rate));
    }
    EXPECT_TRUE(detect(audio).empty());
}

TEST(OnsetDetector, ignoresABrightClickOutsideTheBand) {
    auto audio = quietRoom(3.0);
    addKnock(audio, 1.0, 0.3, 4500.0, 0.0015);
    EXPECT_TRUE(detect(audio, 2.0).empty());
}

TEST(OnsetDetector, detectsQuieterKnocksAtHigherSensitivity) {
    // Over a floor near -68 dB: the weakest knock is too faint for any setting, the middle one
    // (about 22 dB over the floor) passes from s = 1 on, the loudest passes everywhere.
    auto audio = quietRoom(5.0);
    addKnock(audio, 1.0, 0.004);
    addKnock(audio, 2.0, 0.009);
    addKnock(audio, 3.0, 0.02);
    EXPECT_EQ(detect(audio, 0.5).size(), 1u);
    EXPECT_EQ(detect(audio, 1.0).size(), 2u);
    EXPECT_EQ(detect(audio, 2.0).size(), 2u);
}

TEST(OnsetDetector, hearsNothingWhileMuted) {
    auto audio = quietRoom(4.0);
    addKnock(audio, 1.0, 0.1);
    addKnock(audio, 3.0, 0.1);
    const auto hits = detect(audio, 1.0, 2.0);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_GT(hits[0], 3.0);
}

TEST(OnsetDetector, reportsOneHitPerRefractoryPeriod) {
    auto audio = quietRoom(3.0);
    addKnock(audio, 1.0, 0.1);
    addKnock(audio, 1.15, 0.1);
    addKnock(audio, 1.6, 0.1);
    EXPECT_EQ(detect(audio).size(), 2u);
}

TEST(OnsetDetector, findsTheKnocksOfAGeneratedScene) {
    const Scene scene = SceneGenerator::generate(SceneGenerator::Kind::micQuietHits, 3, 15.0);
    const auto hits = detect(scene.audio);
    ASSERT_EQ(scene.hits.size(), hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        EXPECT_GE(hits[i], scene.hits[i]);
        EXPECT_LE(hits[i], scene.hits[i] + 0.1);
    }
}

TEST(OnsetDetector, ignoresGeneratedTypingAndMusic) {
    for (auto kind : {SceneGenerator::Kind::micTyping, SceneGenerator::Kind::micMusic}) {
        const Scene scene = SceneGenerator::generate(kind, 3, 15.0);
        EXPECT_TRUE(detect(scene.audio).empty()) << scene.kind;
    }
}

} // namespace
} // namespace thwack
