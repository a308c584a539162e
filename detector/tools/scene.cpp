#include "scene.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "wav/wav_writer.h"

namespace thwack {

std::filesystem::path Scene::write(const std::filesystem::path& base) const {
    auto data = base;
    if (isAudio) {
        data += ".wav";
        WavWriter::write(data, static_cast<int>(sampleRate), audio);
    } else {
        data += ".csv";
        std::ofstream out(data);
        out << "t_s,x_g,y_g,z_g\n";
        char line[128];
        for (const auto& s : accel) {
            std::snprintf(line, sizeof line, "%.4f,%.5f,%.5f,%.5f\n", s.t, s.x, s.y, s.z);
            out << line;
        }
    }
    auto labels = base;
    labels += ".json";
    const nlohmann::json json = {
        {"kind", kind}, {"seed", seed}, {"seconds", seconds}, {"sound", sound}, {"sampleRate", sampleRate},
        {"hits", hits}};
    std::ofstream(labels) << json.dump(1) << '\n';
    return data;
}

} // namespace thwack
