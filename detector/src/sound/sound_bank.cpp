#include "sound/sound_bank.h"

#include "sound/sound_synth.h"

namespace thwack {

SoundBank::SoundBank(int sampleRate) : rate(sampleRate) {
    sounds.emplace("default", sound_synth::thump(rate));
    sounds.emplace("anime-ahhh", sound_synth::animeAhh(rate));
    sounds.emplace("fart", sound_synth::fart(rate));
    sounds.emplace("what_da_dog_doing", sound_synth::whatDaDogDoing(rate));
}

const std::vector<float>& SoundBank::find(std::string_view name) const {
    const auto it = sounds.find(name);
    return it != sounds.end() ? it->second : sounds.find(defaultName)->second;
}

double SoundBank::seconds(std::string_view name) const {
    return static_cast<double>(find(name).size()) / static_cast<double>(rate);
}

} // namespace thwack
