// The replay and output file formats: WAV in and out, CSV accelerometer readings.
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

#include "input/accel_replay.h"
#include "temp_dir.h"
#include "wav/wav_reader.h"
#include "wav/wav_writer.h"

namespace thwack {
namespace {

void putLe(std::string& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    }
}

// A float WAV with two channels, an odd-sized chunk before "fmt " (with its pad byte).
std::string stereoFloatWav(const std::vector<std::pair<float, float>>& frames) {
    std::string body = "WAVELIST";
    putLe(body, 3, 4);
    body += std::string("abc") + '\0' + "fmt ";
    using Field = std::pair<std::uint32_t, int>;
    for (const auto& [value, size] :
         {Field{16, 4}, Field{3, 2}, Field{2, 2}, Field{8000, 4}, Field{64000, 4}, Field{8, 2}, Field{32, 2}}) {
        putLe(body, value, size); // size, IEEE float, stereo, rate, bytes per second, frame, bits
    }
    body += "data";
    putLe(body, static_cast<std::uint32_t>(frames.size() * 8), 4);
    for (const auto& [left, right] : frames) {
        for (float v : {left, right}) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, 4);
            putLe(body, bits, 4);
        }
    }
    std::string file = "RIFF";
    putLe(file, static_cast<std::uint32_t>(body.size()), 4);
    return file + body;
}

TEST(WavFiles, roundTripSixteenBitMonoAppendedInPieces) {
    test::TempDir dir;
    const std::vector<float> samples{0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 0.123f, 2.0f};
    WavWriter writer(dir.path / "a.wav", 16000);
    ASSERT_TRUE(writer.append(std::span(samples).first(3)));
    ASSERT_TRUE(writer.append(std::span(samples).subspan(3))); // the header stays valid after each
    double rate = 0;
    std::string why;
    const auto back = WavReader::readAll(dir.path / "a.wav", rate, why);
    EXPECT_EQ(rate, 16000.0);
    ASSERT_EQ(back.size(), samples.size()) << why;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_NEAR(back[i], std::min(samples[i], 1.0f), 1.0 / 32767.0); // clipped, not wrapped
    }
}

TEST(WavFiles, readStereoFloatAsMonoSkippingOtherChunks) {
    test::TempDir dir;
    std::ofstream(dir.path / "s.wav", std::ios::binary)
        << stereoFloatWav({{0.5f, 0.1f}, {-1.0f, 1.0f}, {0.25f, 0.25f}});
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
        int size;
    };
    for (const Patch p : {Patch{"short", 0, 30, 0}, Patch{"adpcm", 32, 2, 2}, Patch{"channels65535", 34, 65535, 2},
                          Patch{"channels3", 34, 3, 2}, Patch{"channels0", 34, 0, 2}, Patch{"rate4000", 36, 4000, 4},
                          Patch{"rate4G", 36, 0xFFFFFFFF, 4}, Patch{"float64", 46, 64, 2}}) {
        std::string wav = stereoFloatWav({{0.0f, 0.0f}});
        std::string bytes;
        putLe(bytes, p.value, p.size);
        wav = p.offset == 0 ? wav.substr(0, p.value) : wav.replace(p.offset, bytes.size(), bytes);
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
