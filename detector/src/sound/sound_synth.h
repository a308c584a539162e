#pragma once

#include <vector>

namespace thwack {

// The four hit sounds, made from scratch at the given rate and normalized below full scale.
namespace sound_synth {

std::vector<float> thump(int sampleRate);
std::vector<float> animeAhh(int sampleRate);
std::vector<float> fart(int sampleRate);
std::vector<float> whatDaDogDoing(int sampleRate);

// Scales so the largest magnitude is peak; fades the last few milliseconds to avoid a click.
void normalize(std::vector<float>& samples, float peak, int sampleRate);

} // namespace sound_synth

} // namespace thwack
