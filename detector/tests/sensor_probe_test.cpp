// Sensor discovery on fake sysfs trees built in a temporary directory.
#include <array>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "daemon/daemon.h"
#include "daemon/daemon_options.h"
#include "input/iio_accelerometer_linux.h"
#include "input/iio_buffered_accelerometer_linux.h"
#include "input/iio_sysfs_linux.h"
#include "input/position_file_accelerometer_linux.h"
#include "input/sensor_probe.h"

namespace thwack {
namespace {

class FakeSysfs {
public:
    FakeSysfs() {
        std::string pattern = (std::filesystem::temp_directory_path() / "thwack-sysfs-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
    }
    ~FakeSysfs() { std::filesystem::remove_all(root); }

    void file(const std::string& relative, const std::string& content) {
        const auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << content;
    }

    std::string read(const std::string& relative) const { return iio_sysfs::readText(root / relative); }

    std::filesystem::path root;
};

void putLe(std::string& bytes, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    }
}

// An accelerometer with a buffer: x and z little-endian 16 bit, y big-endian 12 bit shifted
// by 4, a 64-bit timestamp in ns; another channel left enabled by someone before us.
// The device node is a file holding two records.
void bufferedDevice(FakeSysfs& sysfs, const std::string& enabled = "0", const std::string& xType = "le:s16/16>>0") {
    const std::string dev = "sys/bus/iio/devices/iio:device0/";
    sysfs.file(dev + "name", "accel_3d\n");
    for (const char* axis : {"x", "y", "z"}) {
        sysfs.file(dev + "in_accel_" + axis + "_raw", "0\n");
    }
    sysfs.file(dev + "in_accel_scale", "0.00980665\n");
    sysfs.file(dev + "buffer/enable", enabled + "\n");
    sysfs.file(dev + "buffer/length", "2\n");
    sysfs.file(dev + "sampling_frequency", "50\n");
    sysfs.file(dev + "sampling_frequency_available", "10 50 100 200\n");
    const std::string scan = dev + "scan_elements/";
    const std::vector<std::tuple<std::string, int, std::string>> channels{{"in_accel_x", 0, xType},
                                                                          {"in_accel_y", 1, "be:s12/16>>4"},
                                                                          {"in_accel_z", 2, "le:s16/16>>0"},
                                                                          {"in_timestamp", 4, "le:s64/64>>0"},
                                                                          {"in_anglvel_x", 3, "le:s16/16>>0"}};
    for (const auto& [name, index, type] : channels) {
        sysfs.file(scan + name + "_en", name == "in_anglvel_x" ? "1\n" : "0\n");
        sysfs.file(scan + name + "_index", std::to_string(index) + "\n");
        sysfs.file(scan + name + "_type", type + "\n");
    }
    std::string records;
    for (const auto& [x, y, z, ns] :
         {std::tuple{100, -200, 1000, 5'000'000'000ull}, std::tuple{-1500, 2047, -1000, 5'010'000'000ull}}) {
        putLe(records, static_cast<std::uint16_t>(x), 2);
        const auto yStored = static_cast<std::uint16_t>(static_cast<std::uint16_t>(y) << 4);
        records.push_back(static_cast<char>(yStored >> 8));
        records.push_back(static_cast<char>(yStored & 0xFF));
        putLe(records, static_cast<std::uint16_t>(z), 2);
        records.append(2, '\0'); // pad the 6 bytes of axes to the timestamp's 8-byte alignment
        putLe(records, ns, 8);
    }
    sysfs.file("dev/iio:device0", records);
}

TEST(InputChoice, picksABackendOrAFileByItsExtension) {
    using K = InputChoice::Kind;
    struct Case {
        const char* value;
        K kind;
    };
    for (const Case c :
         {Case{nullptr, K::automatic}, Case{"", K::automatic}, Case{"iio", K::iio}, Case{"lis3lv02d", K::lis3lv02d},
          Case{"hdaps", K::hdaps}, Case{"applesmc", K::applesmc}, Case{"mic", K::mic}, Case{"/tmp/x.csv", K::csvFile},
          Case{"scene.WAV", K::wavFile}, Case{"scene.flac", K::unsupported}, Case{"IIO", K::unsupported}}) {
        EXPECT_EQ(InputChoice::parse(c.value).kind, c.kind) << (c.value ? c.value : "(unset)");
    }
}

TEST(IioAccelerometer, readsScaledAxesInG) {
    FakeSysfs sysfs;
    const std::string dev = "sys/bus/iio/devices/iio:device0/";
    sysfs.file("sys/bus/iio/devices/iio:device1/in_illuminance_raw", "5\n"); // a light sensor: skipped
    sysfs.file(dev + "name", "accel_3d\n");
    sysfs.file(dev + "in_accel_x_raw", "100\n");
    sysfs.file(dev + "in_accel_y_raw", "-200\n");
    sysfs.file(dev + "in_accel_z_raw", "1000\n");
    sysfs.file(dev + "in_accel_scale", "0.00980665\n"); // 1 count = 1 mg
    sysfs.file(dev + "in_accel_z_offset", "10\n");
    std::string why;
    auto sensor = IioAccelerometer::open(sysfs.root, why);
    ASSERT_NE(sensor, nullptr) << why;
    EXPECT_NE(sensor->description().find("accel_3d"), std::string::npos);
    AccelSample s;
    ASSERT_EQ(sensor->read(s), ReadStatus::ok);
    EXPECT_NEAR(s.x, 0.1, 1e-9);
    EXPECT_NEAR(s.y, -0.2, 1e-9);
    EXPECT_NEAR(s.z, 1.01, 1e-9);
    // Values are re-read each time, as sysfs attributes are.
    sysfs.file(dev + "in_accel_x_raw", "-1500\n");
    ASSERT_EQ(sensor->read(s), ReadStatus::ok);
    EXPECT_NEAR(s.x, -1.5, 1e-9);
}

TEST(IioBufferedAccelerometer, configuresTheBufferAndDecodesItsRecords) {
    FakeSysfs sysfs;
    bufferedDevice(sysfs);
    const std::string dev = "sys/bus/iio/devices/iio:device0/";
    {
        std::string why;
        auto sensor = IioBufferedAccelerometer::open(sysfs.root, sysfs.root / dev, why);
        ASSERT_NE(sensor, nullptr) << why;
        EXPECT_EQ(sysfs.read(dev + "scan_elements/in_accel_y_en"), "1");
        EXPECT_EQ(sysfs.read(dev + "scan_elements/in_timestamp_en"), "1");
        EXPECT_EQ(sysfs.read(dev + "scan_elements/in_anglvel_x_en"), "0");
        EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "1");
        EXPECT_EQ(std::stod(sysfs.read(dev + "sampling_frequency")), 100.0);
        AccelSample s;
        ASSERT_EQ(sensor->read(s), ReadStatus::ok);
        EXPECT_DOUBLE_EQ(s.t, 0.0);
        EXPECT_NEAR(s.x, 0.1, 1e-9);
        EXPECT_NEAR(s.y, -0.2, 1e-9);
        EXPECT_NEAR(s.z, 1.0, 1e-9);
        ASSERT_EQ(sensor->read(s), ReadStatus::ok);
        EXPECT_NEAR(s.t, 0.01, 1e-9);
        EXPECT_NEAR(s.x, -1.5, 1e-9);
        EXPECT_NEAR(s.y, 2.047, 1e-9);
        EXPECT_NEAR(s.z, -1.0, 1e-9);
        EXPECT_EQ(sensor->read(s), ReadStatus::failed); // the file has ended
    }
    EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "0");
}

// The probe takes the buffer when it can, and polls when the buffer is in use or has no node.
TEST(IioBufferedAccelerometer, isPreferredWhenUsableAndThePollingTakesOverOtherwise) {
    const std::string dev = "sys/bus/iio/devices/iio:device0/";
    std::string why;
    {
        FakeSysfs sysfs;
        bufferedDevice(sysfs, "1");
        EXPECT_EQ(IioBufferedAccelerometer::open(sysfs.root, sysfs.root / dev, why), nullptr);
        EXPECT_NE(why.find("in use"), std::string::npos);
        EXPECT_EQ(sysfs.read(dev + "scan_elements/in_anglvel_x_en"), "1");
        auto sensor = SensorProbe(sysfs.root).probe(InputChoice{InputChoice::Kind::iio, {}}, why);
        ASSERT_NE(sensor, nullptr) << why;
        EXPECT_NE(sensor->description().find("polled"), std::string::npos);
    }
    FakeSysfs sysfs;
    bufferedDevice(sysfs);
    auto sensor = SensorProbe(sysfs.root).probe(InputChoice{}, why);
    ASSERT_NE(sensor, nullptr) << why;
    EXPECT_NE(sensor->description().find("buffered"), std::string::npos);
    std::filesystem::remove(sysfs.root / "dev/iio:device0");
    sensor.reset();
    sensor = SensorProbe(sysfs.root).probe(InputChoice{}, why);
    ASSERT_NE(sensor, nullptr) << why;
    EXPECT_NE(sensor->description().find("polled"), std::string::npos);
}

// A type whose fields overflow or do not fit its storage must not reach the decoder.
TEST(IioBufferedAccelerometer, refusesAChannelTypeOutOfRange) {
    const std::string dev = "sys/bus/iio/devices/iio:device0/";
    for (const std::string type : {"le:s2/16>>4294967295", "le:s12/16>>5", "le:s4294967297/16>>0", "le:s12/72>>0",
                                   "le:s0/16>>0", "le:s12/12>>0", "me:s12/16>>0", "le:s12/16"}) {
        FakeSysfs sysfs;
        bufferedDevice(sysfs, "0", type);
        std::string why;
        EXPECT_EQ(IioBufferedAccelerometer::open(sysfs.root, sysfs.root / dev, why), nullptr) << type;
        EXPECT_NE(why.find("cannot make sense of"), std::string::npos) << type << ": " << why;
        EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "0") << type;
    }
}

// A hang-up (the terminal that started the app closed) ends the daemon as SIGTERM does, so the
// buffer is handed back; the node is a FIFO nobody writes, so the sensor stays open until then.
TEST(IioBufferedAccelerometer, isReleasedWhenTheDaemonIsHungUp) {
    FakeSysfs sysfs;
    bufferedDevice(sysfs);
    const std::string dev = "sys/bus/iio/devices/iio:device0/";
    std::filesystem::remove(sysfs.root / "dev/iio:device0");
    ASSERT_EQ(::mkfifo((sysfs.root / "dev/iio:device0").c_str(), 0600), 0);
    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    std::string enabledWhileRunning;
    std::thread hangUp([&] {
        std::string output;
        std::array<char, 256> chunk{};
        pollfd ready{out[0], POLLIN, 0};
        while (output.find("pong") == std::string::npos && ::poll(&ready, 1, 20'000) == 1) {
            const ssize_t n = ::read(out[0], chunk.data(), chunk.size());
            if (n <= 0) {
                break;
            }
            output.append(chunk.data(), static_cast<std::size_t>(n));
        }
        enabledWhileRunning = sysfs.read(dev + "buffer/enable");
        ::kill(::getpid(), SIGHUP);
    });
    Daemon daemon(InputChoice{InputChoice::Kind::iio, {}}, AudioChoice{AudioChoice::Kind::null, {}}, sysfs.root);
    EXPECT_EQ(daemon.run(in[0], out[1]), EXIT_SUCCESS);
    hangUp.join();
    EXPECT_EQ(enabledWhileRunning, "1");
    EXPECT_EQ(sysfs.read(dev + "buffer/enable"), "0");
    for (int fd : {in[0], in[1], out[0], out[1]}) {
        ::close(fd);
    }
}

TEST(PositionFileAccelerometer, readsEachDriversFormat) {
    using D = PositionFileAccelerometer::Driver;
    struct Case {
        D driver;
        const char* path;
        const char* content;
        double x, y, z;
    };
    for (const Case c :
         {Case{D::lis3lv02d, "sys/devices/platform/lis3lv02d/position", "(12,-34,1002)\n", 0.012, -0.034, 1.002},
          Case{D::hdaps, "sys/devices/platform/hdaps/position", "(256,-128)\n", 1.0, -0.5, 0.0},
          Case{D::applesmc, "sys/devices/platform/applesmc.768/position", "(-256,0,256)\n", -1.0, 0, 1.0}}) {
        FakeSysfs sysfs;
        sysfs.file(c.path, c.content);
        std::string why;
        auto sensor = PositionFileAccelerometer::open(c.driver, sysfs.root, why);
        ASSERT_NE(sensor, nullptr) << c.path << ": " << why;
        AccelSample s;
        ASSERT_EQ(sensor->read(s), ReadStatus::ok);
        EXPECT_NEAR(s.x, c.x, 1e-9) << c.path;
        EXPECT_NEAR(s.y, c.y, 1e-9) << c.path;
        EXPECT_NEAR(s.z, c.z, 1e-9) << c.path;
    }
}

TEST(PositionFileAccelerometer, reportsAFileItCannotMakeSenseOf) {
    FakeSysfs sysfs;
    sysfs.file("sys/devices/platform/hdaps/position", "garbage\n");
    std::string why;
    EXPECT_EQ(PositionFileAccelerometer::open(PositionFileAccelerometer::Driver::hdaps, sysfs.root, why), nullptr);
    EXPECT_NE(why.find("bad format"), std::string::npos) << why;
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
