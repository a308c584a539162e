#pragma once

#include <string>

#include "accel_sample.h"
#include "sensor.h"

namespace zonkle {

class AccelSource {
public:
    virtual ~AccelSource() = default;
    virtual std::string description() const = 0;
    virtual bool isReplay() const = 0;
    virtual ReadStatus read(AccelSample& sample) = 0;
};

} // namespace zonkle
