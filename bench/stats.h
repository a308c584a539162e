#pragma once

#include <vector>

namespace zonkle::bench {

struct Summary {
    double min = 0;
    double median = 0;
    double max = 0;
};

// Nearest-rank percentile (0 < p <= 100) of the values; 0 for none.
double percentile(std::vector<double> values, double p);
Summary summarize(const std::vector<double>& values);

} // namespace zonkle::bench
