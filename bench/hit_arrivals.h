#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zonkle::bench {

// Arrival times of hit lines read from a pipe: by the number in Zonkle's log line, or by
// position for the raw lines relayed by cat.
class HitArrivals final {
public:
    explicit HitArrivals(long expected);

    void onZonkleLine(std::string_view line, std::int64_t at);
    void onRelayedLine(std::string_view line, std::int64_t at);
    bool complete() const { return arrivals.back() != 0; }
    std::int64_t at(std::size_t number) const { return arrivals.at(number); }

private:
    void record(std::int64_t number, std::int64_t at);

    std::vector<std::int64_t> arrivals;
    std::int64_t relayed = 0;
};

} // namespace zonkle::bench
