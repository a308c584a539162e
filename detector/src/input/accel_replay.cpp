#include "input/accel_replay.h"

#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <string_view>

namespace thwack {

namespace {

bool parseRow(std::string_view line, AccelSample& sample) {
    std::array<double, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), values[i]);
        if (error != std::errc() || !std::isfinite(values[i])) {
            return false;
        }
        line.remove_prefix(static_cast<std::size_t>(end - line.data()));
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r')) {
            line.remove_prefix(1);
        }
        const bool last = i + 1 == values.size();
        if (!last) {
            if (line.empty() || line.front() != ',') {
                return false;
            }
            line.remove_prefix(1);
        } else if (!line.empty()) {
            return false;
        }
    }
    sample = AccelSample{values[0], values[1], values[2], values[3]};
    return true;
}

} // namespace

AccelReplay::AccelReplay(std::vector<AccelSample> samples, std::string description)
    : samples(std::move(samples)), name(std::move(description)) {}

std::unique_ptr<AccelReplay> AccelReplay::fromCsv(const std::filesystem::path& path, std::string& why) {
    std::ifstream in(path);
    if (!in) {
        why = "cannot open " + path.string();
        return nullptr;
    }
    std::vector<AccelSample> samples;
    std::string line;
    std::size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line == "\r" || line.front() == '#') {
            continue;
        }
        AccelSample sample;
        if (parseRow(line, sample)) {
            if (!samples.empty() && sample.t < samples.back().t) {
                why = path.string() + ":" + std::to_string(number) + ": time goes backwards";
                return nullptr;
            }
            samples.push_back(sample);
        } else if (number != 1) {
            why = path.string() + ":" + std::to_string(number) + ": expected t_s,x_g,y_g,z_g";
            return nullptr;
        }
    }
    if (in.bad()) {
        why = "cannot read " + path.string();
        return nullptr;
    }
    return std::make_unique<AccelReplay>(std::move(samples), "replay of " + path.string());
}

ReadStatus AccelReplay::read(AccelSample& sample) {
    if (next == samples.size()) {
        return ReadStatus::endOfData;
    }
    sample = samples[next++];
    return ReadStatus::ok;
}

} // namespace thwack
