#include "bench_scoring.h"

#include <algorithm>
#include <cmath>

namespace thwack {

HitScore HitScore::score(const std::vector<double>& truth, const std::vector<double>& detections) {
    HitScore result;
    result.hits = truth.size();
    std::vector<bool> used(detections.size(), false);
    for (double t : truth) {
        result.found.push_back(false);
        for (std::size_t i = 0; i < detections.size(); ++i) {
            const double delay = detections[i] - t;
            if (!used[i] && delay >= earliest && delay <= latest) {
                used[i] = true;
                ++result.detected;
                result.latencies.push_back(delay);
                result.found.back() = true;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < detections.size(); ++i) {
        if (!used[i]) {
            result.falseDetections.push_back(detections[i]);
        }
    }
    result.falseHits = result.falseDetections.size();
    return result;
}

void ScoreTally::add(const HitScore& score, double seconds) {
    hits += score.hits;
    detected += score.detected;
    falseHits += score.falseHits;
    minutes += seconds / 60.0;
    worstFalsePerMinute = std::max(worstFalsePerMinute, static_cast<double>(score.falseHits) / (seconds / 60.0));
    latencies.insert(latencies.end(), score.latencies.begin(), score.latencies.end());
}

double quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

} // namespace thwack
