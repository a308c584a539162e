#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace thwack {

// The hit sounds by name, synthesized once at start-up for the output's sample rate.
class SoundBank final {
public:
    static constexpr std::string_view defaultName = "default";
    static constexpr std::array<std::string_view, 4> names{"default", "anime-ahhh", "fart", "what_da_dog_doing"};

    explicit SoundBank(int sampleRate);

    int sampleRate() const { return rate; }
    // An unknown name gives the default sound.
    const std::vector<float>& find(std::string_view name) const;
    double seconds(std::string_view name) const;

private:
    int rate;
    std::map<std::string, std::vector<float>, std::less<>> sounds;
};

} // namespace thwack
