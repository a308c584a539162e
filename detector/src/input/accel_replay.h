#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "input/accel_source.h"

namespace thwack {

// Accelerometer readings from memory, handed out as fast as they are asked for.
class AccelReplay final : public AccelSource {
public:
    AccelReplay(std::vector<AccelSample> samples, std::string description);

    // Reads "t_s,x_g,y_g,z_g" lines; a first line that is not numeric is taken as a header,
    // blank lines and lines starting with '#' are skipped. Returns null and sets why on failure.
    static std::unique_ptr<AccelReplay> fromCsv(const std::filesystem::path& path, std::string& why);

    std::string description() const override { return name; }
    bool isReplay() const override { return true; }
    ReadStatus read(AccelSample& sample) override;

private:
    std::vector<AccelSample> samples;
    std::string name;
    std::size_t next = 0;
};

} // namespace thwack
