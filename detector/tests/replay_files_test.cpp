// The replay file formats: WAV and CSV accelerometer readings.
#include <bit>
#include <fstream>
#include <gtest/gtest.h>

#include "input/accel_replay.h"
#include "temp_dir.h"
#include "wav/wav_reader.h"

namespace thwack {
namespace {

// The value in size bytes, little-endian.
std::string le(std::uint64_t value, std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    }
    return bytes;
}

// A float WAV with two channels (samples interleaved) and an odd-sized chunk, with its pad byte,
// before "fmt ": size, IEEE float, stereo, rate, bytes per second, frame, bits.
std::string stereoFloatWav(const std::vector<float>& samples) {
    std::string data;
    for (float v : samples) {
        data += le(std::bit_cast<std::uint32_t>(v), 4);
    }
    const std::string body = "WAVELIST" + le(3, 4) + std::string("abc\0", 4) + "fmt " + le(16, 4) + le(3, 2) +
                             le(2, 2) + le(8000, 4) + le(64000, 4) + le(8, 2) + le(32, 2) + "data" +
                             le(data.size(), 4) + data;
    return "RIFF" + le(body.size(), 4) + body;
}

TEST(WavFiles, readStereoFloatAsMonoSkippingOtherChunks) {
    test::TempDir dir;
    std::ofstream(dir.path / "s.wav", std::ios::binary) << stereoFloatWav({0.5f, 0.1f, -1.0f, 1.0f, 0.25f, 0.25f});
    double rate = 0;
    std::string why;
    EXPECT_EQ(WavReader::readAll(dir.path / "s.wav", rate, why), (std::vector<float>{0.3f, 0.0f, 0.25f})) << why;
    EXPECT_EQ(rate, 8000.0);
}

// Only what replay supports: a header may not make the reader allocate (channels × frames).
TEST(WavFiles, rejectFilesThatAreNotSupported) {
    test::TempDir dir;
    struct Patch {
        const char* name;
        std::size_t offset; // into the header of stereoFloatWav; 0: cut the file there
        std::uint32_t value;
        std::size_t size;
    };
    for (const Patch p : {Patch{"short", 0, 30, 0}, Patch{"adpcm", 32, 2, 2}, Patch{"channels65535", 34, 65535, 2},
                          Patch{"channels3", 34, 3, 2}, Patch{"channels0", 34, 0, 2}, Patch{"rate4000", 36, 4000, 4},
                          Patch{"rate4G", 36, 0xFFFFFFFF, 4}, Patch{"float64", 46, 64, 2}}) {
        std::string wav = stereoFloatWav({0.0f, 0.0f});
        wav = p.offset == 0 ? wav.substr(0, p.value) : wav.replace(p.offset, p.size, le(p.value, p.size));
        std::ofstream(dir.path / p.name, std::ios::binary) << wav;
        std::string why;
        EXPECT_EQ(WavReader::open(dir.path / p.name, why), nullptr) << p.name;
        EXPECT_FALSE(why.empty()) << p.name;
    }
}

TEST(CsvReplay, readsRowsWithOrWithoutAHeaderAndNamesTheLineThatIsWrong) {
    test::TempDir dir;
    struct Case {
        const char* text;
        const char* error; // empty: two rows, the second at 0.01 s with x > 0
    };
    for (const Case c : {Case{"t_s,x_g,y_g,z_g\n0.00,0,0,1\n# comment\n\n0.01, 0.5 ,-0.25,1.0\r\n", ""},
                         Case{"0.00,0,0,1\n0.01,1e-3,0,1\n", ""}, Case{"0,0,0,1\n0.01,0,0\n", ":2:"},
                         Case{"h\n0,0,0,1\n0.01,0,0,1,5\n", ":3:"}, Case{"0.1,0,0,1\n0.05,0,0,1\n", ":2: time goes"},
                         Case{"0,0,0,1\n0.01,nan,0,1\n", ":2:"}}) {
        std::ofstream(dir.path / "r.csv") << c.text;
        std::string why;
        auto replay = AccelReplay::fromCsv(dir.path / "r.csv", why);
        if (*c.error) {
            EXPECT_EQ(replay, nullptr) << c.text;
            EXPECT_NE(why.find(c.error), std::string::npos) << why;
            continue;
        }
        ASSERT_NE(replay, nullptr) << why;
        AccelSample s;
        EXPECT_EQ(replay->read(s), ReadStatus::ok);
        EXPECT_EQ(replay->read(s), ReadStatus::ok);
        EXPECT_DOUBLE_EQ(s.t, 0.01);
        EXPECT_GT(s.x, 0.0);
        EXPECT_EQ(replay->read(s), ReadStatus::endOfData);
    }
}

} // namespace
} // namespace thwack
