// Sensor discovery and reading on fake sysfs trees built in a temporary directory.
#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "daemon/daemon.h"
#include "input/iio_accelerometer_linux.h"
#include "input/iio_buffered_accelerometer_linux.h"
#include "input/iio_sysfs_linux.h"
#include "input/position_file_accelerometer_linux.h"
#include "input/sensor_probe.h"
#include "temp_dir.h"

namespace thwack {
namespace {

const std::string dev = "sys/bus/iio/devices/iio:device0/";

class FakeSysfs {
public:
    void file(const std::string& relative, const std::string& content) const {
        std::filesystem::create_directories((dir.path / relative).parent_path());
        std::ofstream(dir.path / relative) << content;
    }
    std::string read(const std::string& relative) const { return iio_sysfs::readText(dir.path / relative); }

    test::TempDir dir;
    const std::filesystem::path& root = dir.path;
};

// One buffer record of bufferedDevice: x and z little-endian 16 bit, y big-endian 12 bit shifted
// by 4, padding to the 64-bit timestamp in ns.
std::string record(std::int16_t x, std::int16_t y, std::int16_t z, std::uint64_t ns) {
    const auto yStored = static_cast<std::uint16_t>(static_cast<std::uint16_t>(y) << 4);
    std::string bytes{char(x), char(x >> 8), char(yStored >> 8), char(yStored), char(z), char(z >> 8), 0, 0};
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<char>(ns >> (8 * i)));
    }
    return bytes;
}

// An accelerometer with a buffer (1 count = 1 mg) and another channel left enabled by someone
// before us. The device node is a file holding two records.
void bufferedDevice(const FakeSysfs& sysfs, const std::string& enabled = "0",
                    const std::string& xType = "le:s16/16>>0") {
    sysfs.file(dev + "name", "accel_3d\n");
    for (const char* axis : {"x", "y", "z"}) {
        sysfs.file(dev + "in_accel_" + axis + "_raw", "0\n");
    }
    sysfs.file(dev + "in_accel_scale", "0.00980665\n");
    sysfs.file(dev + "buffer/enable", enabled + "\n");
    sysfs.file(dev + "sampling_frequency", "50\n");
    sysfs.file(dev + "sampling_frequency_available", "10 50 100 200\n");
    const std::vector<std::tuple<std::string, int, std::string>> channels{{"in_accel_x", 0, xType},
                                                                          {"in_accel_y", 1, "be:s12/16>>4"},
                                                                          {"in_accel_z", 2, "le:s16/16>>0"},
                                                                          {"in_timestamp", 4, "le:s64/64>>0"},
                                                                          {"in_anglvel_x", 3, "le:s16/16>>0"}};
    for (const auto& [name, index, type] : channels) {
        sysfs.file(dev + "scan_elements/" + name + "_en", name == "in_anglvel_x" ? "1\n" : "0\n");
        sysfs.file(dev + "scan_elements/" + name + "_index", std::to_string(index) + "\n");
        sysfs.file(dev + "scan_elements/" + name + "_type", type + "\n");
    }
    sysfs.file("dev/iio:device0", record(100, -200, 1000, 5'000'000'000) + record(-1500, 2047, -1000, 5'010'000'000));
}

TEST(IioAccelerometer, pollsScaledAxesInG) {
    FakeSysfs sysfs;
    sysfs.file("sys/bus/iio/devices/iio:device1/in_illuminance_raw", "5\n"); // a light sensor: skipped
    sysfs.file(dev + "in_accel_x_raw", "100\n");
    sysfs.file(dev + "in_accel_y_raw", "-200\n");
    sysfs.file(dev + "in_accel_z_raw", "1000\n");
    sysfs.file(dev + "in_accel_scale", "0.00980665\n");
    sysfs.file(dev + "in_accel_z_offset", "10\n");
    std::string why;
    auto sensor = IioAccelerometer::open(sysfs.root, why);
    ASSERT_NE(sensor, nullptr) << why;
    AccelSample s;
    ASSERT_EQ(sensor->read(s), ReadStatus::ok);
    EXPECT_NEAR(s.x, 0.1, 1e-9);
    EXPECT_NEAR(s.y, -0.2, 1e-9);
    EXPECT_NEAR(s.z, 1.01, 1e-9);
    sysfs.file(dev + "in_accel_x_raw", "-1500\n"); // re-read each time, as sysfs values are
    ASSERT_EQ(sensor->read(s), ReadStatus::ok);
    EXPECT_NEAR(s.x, -1.5, 1e-9);
}

TEST(IioBufferedAccelerometer, configuresTheBufferDecodesItsRecordsAndReleasesIt) {
    FakeSysfs sysfs;
    bufferedDevice(sysfs);
    {
        std::string why;
        auto sensor = IioBufferedAccelerometer::open(sysfs.root, sysfs.root / dev, why);
        ASSERT_NE(sensor, nullptr) << why;
        EXPECT_EQ(sysfs.read(dev + "scan_elements/in_timestamp_en"), "1");
        EXPECT_EQ(sysfs.read(dev + "scan_elements/in_anglvel_x_en"), "0");
        EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "1");
        EXPECT_EQ(std::stod(sysfs.read(dev + "sampling_frequency")), 100.0);
        AccelSample s;
        for (const auto& [t, x, y, z] : {std::tuple{0.0, 0.1, -0.2, 1.0}, std::tuple{0.01, -1.5, 2.047, -1.0}}) {
            ASSERT_EQ(sensor->read(s), ReadStatus::ok);
            EXPECT_NEAR(s.t, t, 1e-9);
            EXPECT_NEAR(s.x, x, 1e-9);
            EXPECT_NEAR(s.y, y, 1e-9);
            EXPECT_NEAR(s.z, z, 1e-9);
        }
        EXPECT_EQ(sensor->read(s), ReadStatus::failed); // the file has ended
    }
    EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "0");
}

// The probe takes the buffer when it can, and polls when the buffer is in use or its type is
// out of range (fields that overflow, or bits that do not fit the storage after the shift).
TEST(IioBufferedAccelerometer, givesWayToPollingWhenInUseOrItsTypeIsOutOfRange) {
    using Setup = std::pair<std::string, std::string>; // buffer/enable, x type
    for (const auto& [enabled, type] :
         {Setup{"1", "le:s16/16>>0"}, Setup{"0", "le:s2/16>>4294967295"}, Setup{"0", "le:s12/16>>5"},
          Setup{"0", "le:s4294967297/16>>0"}, Setup{"0", "le:s12/72>>0"}, Setup{"0", "le:s0/16>>0"},
          Setup{"0", "me:s12/16>>0"}, Setup{"0", "le:s16/16>>0"}}) {
        FakeSysfs sysfs;
        bufferedDevice(sysfs, enabled, type);
        std::string why;
        auto sensor = SensorProbe(sysfs.root).probe(InputChoice{}, why);
        ASSERT_NE(sensor, nullptr) << why;
        const bool usable = enabled == "0" && type == "le:s16/16>>0";
        EXPECT_NE(sensor->description().find(usable ? "buffered" : "polled"), std::string::npos) << type;
        EXPECT_EQ(sysfs.read(dev + "buffer/enable"), usable ? "1" : enabled) << type;
    }
}

// A live sensor (not a replay) reports nothing before the first config, and a hang-up ends the
// daemon as SIGTERM does, so the buffer is handed back. The node is a FIFO the test feeds.
TEST(IioBufferedAccelerometer, isSilentBeforeTheFirstConfigAndReleasedOnHangUp) {
    FakeSysfs sysfs;
    bufferedDevice(sysfs);
    const auto node = sysfs.root / "dev/iio:device0";
    std::filesystem::remove(node);
    ASSERT_EQ(::mkfifo(node.c_str(), 0600), 0);
    std::array<int, 2> in{}, out{};
    ASSERT_EQ(::pipe(in.data()), 0);
    ASSERT_EQ(::pipe(out.data()), 0);
    std::string events;
    const auto waitForEvent = [&](const std::string& text, int timeoutMs) {
        std::array<char, 256> chunk{};
        for (pollfd ready{out[0], POLLIN, 0}; events.find(text) == std::string::npos;) {
            const ssize_t n = ::poll(&ready, 1, timeoutMs) == 1 ? ::read(out[0], chunk.data(), chunk.size()) : 0;
            if (n <= 0) {
                return;
            }
            events.append(chunk.data(), static_cast<std::size_t>(n));
        }
    };
    // 3 s at 100 Hz with a 1 g knock at 1 s; the daemon takes up to 128 records per read, so once
    // the FIFO is empty the knock has been judged, and its hit line written if it was reported.
    const auto feedKnock = [](int fifo, std::uint64_t startNs) {
        std::string records;
        for (int n = 0; n < 300; ++n) {
            records += record(0, 0, n == 100 ? 2000 : 1000, startNs + n * 10'000'000ull);
        }
        ASSERT_EQ(::write(fifo, records.data(), records.size()), static_cast<ssize_t>(records.size()));
        int queued = 1;
        for (int i = 0; i < 20'000 && ::ioctl(fifo, FIONREAD, &queued) == 0 && queued > 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // waiting for a condition
        }
        ASSERT_EQ(queued, 0);
    };
    std::string enabledWhileRunning;
    std::thread script([&] {
        waitForEvent("pong", 20'000);
        const int fifo = ::open(node.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        feedKnock(fifo, 0);
        const std::string config = "{\"cmd\":\"config\",\"sensitivity\":1.0}\n";
        EXPECT_EQ(::write(in[1], config.data(), config.size()), static_cast<ssize_t>(config.size()));
        // The config is applied on the main thread, with no reply: knock until a hit comes.
        for (std::uint64_t i = 1; i <= 100 && events.find("hit") == std::string::npos; ++i) {
            feedKnock(fifo, i * 3'000'000'000ull);
            waitForEvent("hit", 0);
        }
        enabledWhileRunning = sysfs.read(dev + "buffer/enable");
        ::kill(::getpid(), SIGHUP);
        ::close(fifo);
    });
    Daemon daemon(InputChoice{InputChoice::Kind::iio, {}}, AudioChoice{AudioChoice::Kind::null, {}}, sysfs.root);
    EXPECT_EQ(daemon.run(in[0], out[1]), EXIT_SUCCESS);
    script.join();
    EXPECT_EQ(events, "{\"type\":\"event\",\"action\":\"pong\"}\n{\"type\":\"event\",\"action\":\"hit\"}\n");
    EXPECT_EQ(enabledWhileRunning, "1");
    EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "0");
    for (int fd : {in[0], in[1], out[0], out[1]}) {
        ::close(fd);
    }
}

TEST(PositionFileAccelerometer, readsEachDriversFormatAndRefusesGarbage) {
    using D = PositionFileAccelerometer::Driver;
    struct Case {
        D driver;
        const char* path;
        const char* content;
        std::optional<std::array<double, 3>> g;
    };
    for (const Case& c :
         {Case{D::lis3lv02d, "sys/devices/platform/lis3lv02d/position", "(12,-34,1002)\n",
               std::array{0.012, -0.034, 1.002}},
          Case{D::hdaps, "sys/devices/platform/hdaps/position", "(256,-128)\n", std::array{1.0, -0.5, 0.0}},
          Case{D::applesmc, "sys/devices/platform/applesmc.768/position", "(-256,0,256)\n", std::array{-1.0, 0.0, 1.0}},
          Case{D::hdaps, "sys/devices/platform/hdaps/position", "garbage\n", std::nullopt}}) {
        FakeSysfs sysfs;
        sysfs.file(c.path, c.content);
        std::string why;
        auto sensor = PositionFileAccelerometer::open(c.driver, sysfs.root, why);
        ASSERT_EQ(sensor != nullptr, c.g.has_value()) << c.content << why;
        AccelSample s;
        if (sensor) {
            ASSERT_EQ(sensor->read(s), ReadStatus::ok);
            EXPECT_NEAR(s.x, (*c.g)[0], 1e-9) << c.path;
            EXPECT_NEAR(s.y, (*c.g)[1], 1e-9) << c.path;
            EXPECT_NEAR(s.z, (*c.g)[2], 1e-9) << c.path;
        }
    }
}

TEST(SensorProbe, prefersAnAccelerometerAndNamesEveryPlaceItLooked) {
    FakeSysfs sysfs;
    const SensorProbe probe(sysfs.root);
    std::string why;
    EXPECT_EQ(probe.probe(InputChoice{InputChoice::Kind::iio, {}}, why), nullptr);
    EXPECT_NE(why.find("no IIO accelerometer"), std::string::npos);
    sysfs.file("sys/devices/platform/applesmc.768/position", "(0,0,256)\n");
    sysfs.file("sys/devices/faux/lis3lv02d/position", "(0,0,1000)\n");
    auto sensor = probe.probe(InputChoice{}, why);
    ASSERT_NE(sensor, nullptr) << why;
    EXPECT_NE(sensor->description().find("lis3lv02d"), std::string::npos);
    EXPECT_FALSE(sensor->hearsOwnSounds());
    EXPECT_FALSE(sensor->isReplay());
}

} // namespace
} // namespace thwack
