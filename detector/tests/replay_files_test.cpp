// The replay and output file formats: WAV in and out, CSV accelerometer readings.
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

#include "input/accel_replay.h"
#include "wav/wav_reader.h"
#include "wav/wav_writer.h"

namespace thwack {
namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "thwack-files-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void putLe(std::string& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    }
}

// A float WAV with two channels, an extra chunk before "fmt " and an odd-sized one after it.
std::string stereoFloatWav(const std::vector<std::pair<float, float>>& frames) {
    std::string body = "WAVE";
    body += "LIST";
    putLe(body, 3, 4);
    body += "abc";
    body.push_back('\0'); // pad byte of the odd-sized chunk
    body += "fmt ";
    putLe(body, 16, 4);
    putLe(body, 3, 2);     // IEEE float
    putLe(body, 2, 2);     // stereo
    putLe(body, 8000, 4);  // rate
    putLe(body, 64000, 4); // bytes per second
    putLe(body, 8, 2);
    putLe(body, 32, 2);
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

TEST(WavFiles, roundTripSixteenBitMonoWithinOneStep) {
    TempDir dir;
    const std::vector<float> samples{0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 0.123f, 2.0f};
    ASSERT_TRUE(WavWriter::write(dir.path / "a.wav", 16000, samples));
    double rate = 0;
    std::string why;
    const auto back = WavReader::readAll(dir.path / "a.wav", rate, why);
    EXPECT_EQ(rate, 16000.0);
    ASSERT_EQ(back.size(), samples.size()) << why;
    for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
        EXPECT_NEAR(back[i], samples[i], 1.0 / 32767.0);
    }
    EXPECT_NEAR(back.back(), 1.0f, 1.0 / 32767.0); // clipped, not wrapped
}

TEST(WavFiles, keepTheHeaderValidAfterEveryAppend) {
    TempDir dir;
    WavWriter writer(dir.path / "grow.wav", 48000);
    ASSERT_TRUE(writer.append(std::vector<float>(100, 0.1f)));
    ASSERT_TRUE(writer.append(std::vector<float>(50, 0.2f)));
    double rate = 0;
    std::string why;
    EXPECT_EQ(WavReader::readAll(dir.path / "grow.wav", rate, why).size(), 150u);
}

TEST(WavFiles, readStereoFloatAsMonoSkippingOtherChunks) {
    TempDir dir;
    std::ofstream(dir.path / "s.wav", std::ios::binary)
        << stereoFloatWav({{0.5f, 0.1f}, {-1.0f, 1.0f}, {0.25f, 0.25f}});
    double rate = 0;
    std::string why;
    const auto mono = WavReader::readAll(dir.path / "s.wav", rate, why);
    EXPECT_EQ(rate, 8000.0);
    EXPECT_EQ(mono, (std::vector<float>{0.3f, 0.0f, 0.25f})) << why;
}

// Only what replay supports: a header may not make the reader allocate (channels × frames).
TEST(WavFiles, rejectFilesThatAreNotSupported) {
    TempDir dir;
    std::ofstream(dir.path / "text.wav") << "hello, this is not a wav file at all";
    std::ofstream(dir.path / "short.wav", std::ios::binary) << stereoFloatWav({{0.0f, 0.0f}}).substr(0, 30);
    struct Patch {
        const char* name;
        std::size_t offset; // into the header of stereoFloatWav
        std::uint32_t value;
        int size;
    };
    for (const Patch p : {Patch{"adpcm", 32, 2, 2}, Patch{"channels65535", 34, 65535, 2}, Patch{"channels3", 34, 3, 2},
                          Patch{"channels0", 34, 0, 2}, Patch{"rate4000", 36, 4000, 4},
                          Patch{"rate4G", 36, 0xFFFFFFFF, 4}, Patch{"float64", 46, 64, 2}}) {
        std::string wav = stereoFloatWav({{0.0f, 0.0f}});
        std::string bytes;
        putLe(bytes, p.value, p.size);
        wav.replace(p.offset, bytes.size(), bytes);
        std::ofstream(dir.path / (std::string(p.name) + ".wav"), std::ios::binary) << wav;
    }
    for (const char* name : {"text", "short", "missing", "adpcm", "channels65535", "channels3", "channels0", "rate4000",
                             "rate4G", "float64"}) {
        std::string why;
        EXPECT_EQ(WavReader::open(dir.path / (std::string(name) + ".wav"), why), nullptr) << name;
        EXPECT_FALSE(why.empty()) << name;
    }
}

TEST(CsvReplay, readsRowsWithOrWithoutAHeader) {
    TempDir dir;
    std::ofstream(dir.path / "h.csv") << "t_s,x_g,y_g,z_g\n0.00,0,0,1\n# comment\n\n0.01, 0.5 ,-0.25,1.0\r\n";
    std::ofstream(dir.path / "n.csv") << "0.00,0,0,1\n0.01,1e-3,0,1\n";
    for (const char* name : {"h.csv", "n.csv"}) {
        std::string why;
        auto replay = AccelReplay::fromCsv(dir.path / name, why);
        ASSERT_NE(replay, nullptr) << why;
        AccelSample s;
        EXPECT_EQ(replay->read(s), ReadStatus::ok);
        EXPECT_EQ(replay->read(s), ReadStatus::ok);
        EXPECT_DOUBLE_EQ(s.t, 0.01);
        EXPECT_GT(s.x, 0.0);
        EXPECT_EQ(replay->read(s), ReadStatus::endOfData);
    }
}

TEST(CsvReplay, namesTheLineThatIsWrong) {
    TempDir dir;
    struct Case {
        const char* text;
        const char* where;
    };
    for (const Case c : {Case{"0,0,0,1\n0.01,0,0\n", ":2:"}, Case{"h\n0,0,0,1\n0.01,0,0,1,5\n", ":3:"},
                         Case{"0,0,0,1\n0.01,x,0,1\n", ":2:"}, Case{"0.1,0,0,1\n0.05,0,0,1\n", ":2: time goes"},
                         Case{"0,0,0,1\n0.01,nan,0,1\n", ":2:"}}) {
        std::ofstream(dir.path / "bad.csv") << c.text;
        std::string why;
        EXPECT_EQ(AccelReplay::fromCsv(dir.path / "bad.csv", why), nullptr) << c.text;
        EXPECT_NE(why.find(c.where), std::string::npos) << why;
    }
}

} // namespace
} // namespace thwack
