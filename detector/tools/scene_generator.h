#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "scene.h"

namespace thwack {

// Makes labelled scenes from a seed; the same kind, seed and length always give the same scene.
// The physical models (levels, rates, spectra) are fixed here, apart from the detectors.
class SceneGenerator final {
public:
    enum class Kind {
        accelRestHits,
        accelTyping,
        accelTilting,
        accelCarrying,
        micQuietHits,
        micTyping,
        micMusic,
        micSpeech,
        micSpeechHits,
        micOwnSounds,
    };

    static constexpr std::array<std::string_view, 10> kindNames{
        "accel-rest-hits", "accel-typing", "accel-tilting", "accel-carrying",  "mic-quiet-hits",
        "mic-typing",      "mic-music",    "mic-speech",    "mic-speech-hits", "mic-own-sounds"};

    static constexpr double accelRateHz = 100.0;
    static constexpr double micRateHz = 16000.0;

    static std::optional<Kind> kindNamed(std::string_view name);
    static std::string_view nameOf(Kind kind);

    static Scene generate(Kind kind, std::uint32_t seed, double seconds);
};

} // namespace thwack
