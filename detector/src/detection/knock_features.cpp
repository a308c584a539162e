#include "detection/knock_features.h"

#include <algorithm>
#include <cmath>

namespace thwack {

double KnockFeatures::periodicityOf(std::span<const float> samples, std::size_t minLag, std::size_t maxLag) {
    double best = 0.0;
    for (std::size_t lag = minLag; lag <= maxLag && lag < samples.size(); ++lag) {
        double cross = 0.0;
        double head = 0.0;
        double tail = 0.0;
        for (std::size_t n = 0; n + lag < samples.size(); ++n) {
            cross += static_cast<double>(samples[n]) * samples[n + lag];
            head += static_cast<double>(samples[n]) * samples[n];
            tail += static_cast<double>(samples[n + lag]) * samples[n + lag];
        }
        if (head > 0.0 && tail > 0.0) {
            best = std::max(best, cross / std::sqrt(head * tail));
        }
    }
    return best;
}

double KnockFeatures::crestOf(std::span<const float> samples) {
    double peak = 0.0;
    double power = 0.0;
    for (const float s : samples) {
        peak = std::max(peak, static_cast<double>(std::abs(s)));
        power += static_cast<double>(s) * s;
    }
    if (samples.empty() || power <= 0.0) {
        return 0.0;
    }
    return 20.0 * std::log10(peak / std::sqrt(power / static_cast<double>(samples.size())));
}

} // namespace thwack
