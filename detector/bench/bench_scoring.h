#pragma once

#include <cstddef>
#include <vector>

namespace thwack {

// Detections matched one to one against true hits: a detection counts for a hit when it
// comes at most 10 ms before it or 100 ms after it.
struct HitScore {
    static constexpr double earliest = -0.010;
    static constexpr double latest = 0.100;

    std::size_t hits = 0;
    std::size_t detected = 0;
    std::size_t falseHits = 0;
    std::vector<double> latencies; // seconds, one per detected hit
    std::vector<double> falseDetections;
    std::vector<bool> found; // per true hit

    static HitScore score(const std::vector<double>& truth, const std::vector<double>& detections);
};

// Scores of several scenes added up, for one row of a results table.
struct ScoreTally {
    std::size_t hits = 0;
    std::size_t detected = 0;
    std::size_t falseHits = 0;
    double minutes = 0.0;
    double worstFalsePerMinute = 0.0;
    std::vector<double> latencies;

    void add(const HitScore& score, double seconds);
};

// The q-quantile (0..1) by nearest rank; 0 for no values.
double quantile(std::vector<double> values, double q);

} // namespace thwack
