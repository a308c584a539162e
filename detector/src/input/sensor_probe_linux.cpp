#include <array>

#include "input/accel_replay.h"
#include "input/alsa_capture_linux.h"
#include "input/iio_accelerometer_linux.h"
#include "input/iio_buffered_accelerometer_linux.h"
#include "input/iio_sysfs_linux.h"
#include "input/mic_sensor.h"
#include "input/position_file_accelerometer_linux.h"
#include "input/sensor_probe.h"
#include "input/wav_replay.h"

namespace thwack {

namespace {
constexpr const char* captureDevice = "default";
} // namespace

SensorProbe::SensorProbe(std::filesystem::path sysfsRoot, JerkTuning jerkTuning, OnsetTuning onsetTuning)
    : sysfsRoot(std::move(sysfsRoot)), jerkTuning(jerkTuning), onsetTuning(onsetTuning) {}

std::unique_ptr<Sensor> SensorProbe::accelerometer(InputChoice::Kind kind, std::string& why) const {
    std::unique_ptr<AccelSource> source;
    switch (kind) {
    case InputChoice::Kind::iio:
        why = "no IIO accelerometer";
        // Every sample through the buffer where permitted, else polling its sysfs values.
        for (const auto& dir : iio_sysfs::accelerometers(sysfsRoot)) {
            std::string bufferWhy;
            if ((source = IioBufferedAccelerometer::open(sysfsRoot, dir, bufferWhy))) {
                break;
            }
            if ((source = IioAccelerometer::openDevice(dir, why))) {
                break;
            }
        }
        break;
    case InputChoice::Kind::lis3lv02d:
        source = PositionFileAccelerometer::open(PositionFileAccelerometer::Driver::lis3lv02d, sysfsRoot, why);
        break;
    case InputChoice::Kind::hdaps:
        source = PositionFileAccelerometer::open(PositionFileAccelerometer::Driver::hdaps, sysfsRoot, why);
        break;
    case InputChoice::Kind::applesmc:
        source = PositionFileAccelerometer::open(PositionFileAccelerometer::Driver::applesmc, sysfsRoot, why);
        break;
    default:
        return nullptr;
    }
    return source ? std::make_unique<AccelSensor>(std::move(source), jerkTuning) : nullptr;
}

std::unique_ptr<Sensor> SensorProbe::microphone(std::string& why) const {
    auto capture = AlsaCapture::open(captureDevice, why);
    return capture ? std::make_unique<MicSensor>(std::move(capture), onsetTuning) : nullptr;
}

std::unique_ptr<Sensor> SensorProbe::probe(const InputChoice& choice, std::string& why) const {
    using Kind = InputChoice::Kind;
    switch (choice.kind) {
    case Kind::csvFile: {
        auto replay = AccelReplay::fromCsv(choice.path, why);
        return replay ? std::make_unique<AccelSensor>(std::move(replay), jerkTuning) : nullptr;
    }
    case Kind::wavFile: {
        auto replay = WavReplay::open(choice.path, why);
        return replay ? std::make_unique<MicSensor>(std::move(replay), onsetTuning) : nullptr;
    }
    case Kind::unsupported:
        why = "THWACK_INPUT \"" + choice.path + "\" is neither a backend name nor a .csv or .wav file";
        return nullptr;
    case Kind::mic:
        return microphone(why);
    case Kind::automatic: {
        std::string reasons;
        for (Kind kind : std::array{Kind::iio, Kind::lis3lv02d, Kind::hdaps, Kind::applesmc}) {
            std::string reason;
            if (auto sensor = accelerometer(kind, reason)) {
                return sensor;
            }
            reasons += reason + "; ";
        }
        std::string reason;
        if (auto sensor = microphone(reason)) {
            return sensor;
        }
        why = reasons + reason;
        return nullptr;
    }
    default:
        return accelerometer(choice.kind, why);
    }
}

} // namespace thwack
