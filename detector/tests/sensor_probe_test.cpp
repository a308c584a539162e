// Sensor discovery on fake sysfs trees built in a temporary directory.
#include <fstream>
#include <gtest/gtest.h>

#include "daemon_options.h"
#include "iio_accelerometer_linux.h"
#include "position_file_accelerometer_linux.h"
#include "sensor_probe.h"

namespace zonkle {
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

    std::filesystem::path root;
};

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

TEST(AudioChoice, picksNullAFileOrAnAlsaDevice) {
    using K = AudioChoice::Kind;
    EXPECT_EQ(AudioChoice::parse(nullptr).kind, K::alsa);
    EXPECT_EQ(AudioChoice::parse(nullptr).target, "default");
    EXPECT_EQ(AudioChoice::parse("null").kind, K::null);
    EXPECT_EQ(AudioChoice::parse("/tmp/out.wav").kind, K::wavFile);
    EXPECT_EQ(AudioChoice::parse("plughw:1,0").kind, K::alsa);
    EXPECT_EQ(AudioChoice::parse("plughw:1,0").target, "plughw:1,0");
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
          Case{D::lis3lv02d, "sys/devices/faux/lis3lv02d/position", "(0,0,-1000)\n", 0, 0, -1.0},
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
} // namespace zonkle
