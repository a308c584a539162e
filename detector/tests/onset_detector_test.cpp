// The microphone detector on recorded knocks, slaps, raps, drums, speech and typing
// (data/real, see its README), mixed into a quiet room here so every onset is known.
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>

#include "detection/onset_detector.h"
#include "wav/wav_reader.h"

namespace thwack {
namespace {

constexpr double rate = 16000.0;
const std::vector<std::string> impacts{"thump-CajonThumps-Med",   "thump-Djembe1_Bass", "slap-CajonSlaps-Med",
                                       "slap-HandClap-Med",       "slap-Djembe1_Slap",  "wood-Clave-Med",
                                       "wood-PearlSideStick-Med", "wood-RimClick-2",    "wood-Stick-1",
                                       "drum-PearlTom1-Med",      "drum-PearlKick-Med", "drum-TomLow-0"};

std::vector<float> clip(const std::string& name) {
    double clipRate = 0.0;
    std::string why;
    auto samples = WavReader::readAll(std::string(THWACK_TEST_DATA_DIR) + "/real/" + name + ".wav", clipRate, why);
    EXPECT_EQ(clipRate, rate) << name << ": " << why;
    return samples;
}

// A quiet room: noise at about -60 dBFS.
std::vector<float> room(double seconds) {
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.001f);
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    std::generate(out.begin(), out.end(), [&] { return noise(random); });
    return out;
}

// Mixes a clip in at a peak level, its onset (first sample at a tenth of its peak) at t.
void mix(std::vector<float>& audio, const std::vector<float>& sound, double t, double peakDbfs) {
    float peak = 0.0f;
    for (const float s : sound) {
        peak = std::max(peak, std::abs(s));
    }
    const auto onset = static_cast<std::size_t>(
        std::find_if(sound.begin(), sound.end(), [&](float s) { return std::abs(s) >= 0.1f * peak; }) - sound.begin());
    const auto gain = static_cast<float>(std::pow(10.0, peakDbfs / 20.0)) / peak;
    const auto start = static_cast<std::size_t>(t * rate) - onset;
    for (std::size_t i = 0; i < sound.size() && start + i < audio.size(); ++i) {
        audio[start + i] += gain * sound[i];
    }
}

std::vector<double> detect(const std::vector<float>& audio, double sensitivity = 1.0, double muteUntil = 0.0) {
    OnsetDetector detector(rate);
    detector.setSensitivity(sensitivity);
    detector.muteUntil(muteUntil);
    std::vector<double> hits;
    for (std::size_t i = 0; i < audio.size(); i += 333) { // odd blocks, so frames straddle them
        const auto found = detector.process(std::span(audio).subspan(i, std::min<std::size_t>(333, audio.size() - i)));
        hits.insert(hits.end(), found.begin(), found.end());
    }
    return hits;
}

// Latencies of the hits that answer an onset (-10 to +100 ms, one to one); the rest are false.
std::vector<double> latencies(const std::vector<double>& onsets, const std::vector<double>& hits) {
    std::vector<double> out;
    std::vector<bool> used(hits.size(), false);
    for (const double t : onsets) {
        for (std::size_t i = 0; i < hits.size(); ++i) {
            if (!used[i] && hits[i] - t >= -0.01 && hits[i] - t <= 0.1) {
                used[i] = true;
                out.push_back(hits[i] - t);
                break;
            }
        }
    }
    return out;
}

struct Scene {
    std::vector<float> audio;
    std::vector<double> onsets;
};

// Every impact once, 1.5 s apart, from -36 to -14 dBFS.
Scene impactsInAQuietRoom() {
    Scene scene{room(1.0 + 1.5 * static_cast<double>(impacts.size())), {}};
    for (std::size_t i = 0; i < impacts.size(); ++i) {
        scene.onsets.push_back(1.0 + 1.5 * static_cast<double>(i));
        mix(scene.audio, clip(impacts[i]), scene.onsets.back(), -36.0 + 22.0 * static_cast<double>(i % 4) / 3.0);
    }
    return scene;
}

TEST(OnsetDetector, findsRecordedImpactsOfEveryKindInAQuietRoomPromptly) {
    // The bright ones (claps, raps) were the ones missed before. At s = 1 the faintest two raps
    // (-36 and -29 dBFS) still go unfound, as about one wooden rap in ten does in the benchmark;
    // at s = 2 the faintest stick (-36 dBFS) too, the price of not answering laptop key clicks.
    const Scene scene = impactsInAQuietRoom();
    for (const auto& [sensitivity, least] : {std::pair{1.0, impacts.size() - 2}, std::pair{2.0, impacts.size() - 1}}) {
        const auto hits = detect(scene.audio, sensitivity);
        auto delays = latencies(scene.onsets, hits);
        EXPECT_GE(delays.size(), least) << "s = " << sensitivity;
        EXPECT_EQ(hits.size(), delays.size()) << "false hits at s = " << sensitivity;
        std::sort(delays.begin(), delays.end());
        ASSERT_FALSE(delays.empty());
        EXPECT_LE(delays[delays.size() / 2], 0.02);
        EXPECT_LE(delays.back(), 0.035);
    }
}

TEST(OnsetDetector, aHigherSensitivityFindsEveryKnockALowerOneFound) {
    Scene scene = impactsInAQuietRoom();
    for (float& s : scene.audio) {
        s *= 0.1f; // 20 dB quieter: the faintest now sit at -56 dBFS, near the room
    }
    std::size_t previous = 0;
    std::vector<std::size_t> found;
    for (const double s : {0.1, 0.5, 1.0, 2.0}) {
        found.push_back(latencies(scene.onsets, detect(scene.audio, s)).size());
        EXPECT_GE(found.back(), previous) << "s = " << s;
        previous = found.back();
    }
    EXPECT_LT(found.front(), found.back());
}

TEST(OnsetDetector, ignoresRecordedSpeechAndTyping) {
    // Prompts on which the earlier rules gave 22 false hits.
    Scene speech{room(40.0), {}};
    double t = 0.5;
    for (const char* prompt : {"at-tone-time-exactly", "vm-mailboxfull", "vm-rec-name", "vm-rec-busy", "vm-nobox",
                               "vm-invalid-password", "vm-enter-num-to-call", "vm-rec-temp"}) {
        const auto words = clip(std::string("speech-") + prompt);
        mix(speech.audio, words, t, -16.0);
        t += static_cast<double>(words.size()) / rate + 0.3;
    }
    // About five keys a second, each pressed and released 80 ms later.
    Scene typing{room(12.0), {}};
    std::mt19937 random(3);
    const std::vector<std::string> keys{"1e", "1f", "20", "21", "22", "23"};
    for (double k = 0.5; k < 11.5; k += 0.1 + 0.15 * std::generate_canonical<double, 32>(random)) {
        const std::string name = "keys-" + keys[random() % keys.size()];
        mix(typing.audio, clip(name + "-0"), k, -26.0);
        mix(typing.audio, clip(name + "-1"), k + 0.08, -30.0);
    }
    // The targets allow 0.5 false hits a minute: none in these 50 s.
    EXPECT_EQ(detect(speech.audio).size(), 0u) << "speech";
    EXPECT_EQ(detect(typing.audio).size(), 0u) << "typing";
}

TEST(OnsetDetector, honoursWarmUpMuteAndRefractoryPeriod) {
    struct Case {
        const char* what;
        std::vector<double> knocks;
        double muteUntil;
        std::vector<double> expected; // onsets answered
    };
    const std::vector<Case> cases{
        {"warm-up", {0.1, 1.0}, 0.0, {1.0}},
        {"muted", {1.0, 3.0}, 2.0, {3.0}},
        {"refractory", {1.0, 1.15, 1.6}, 0.0, {1.0, 1.6}},
    };
    const auto knock = clip("thump-CajonThumps-Med");
    for (const auto& c : cases) {
        auto audio = room(4.0);
        for (const double k : c.knocks) {
            mix(audio, knock, k, -20.0);
        }
        const auto hits = detect(audio, 1.0, c.muteUntil);
        EXPECT_EQ(hits.size(), c.expected.size()) << c.what;
        EXPECT_EQ(latencies(c.expected, hits).size(), c.expected.size()) << c.what;
    }
}

} // namespace
} // namespace thwack
