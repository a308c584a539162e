// thwack-scene: writes a labelled scene for replaying through THWACK_INPUT.
//   thwack-scene KIND SEED SECONDS OUTPUT_BASE   (writes OUTPUT_BASE.csv|.wav and OUTPUT_BASE.json)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scene_generator.h"

int main(int argc, char** argv) {
    using thwack::SceneGenerator;
    const auto kind = argc == 5 ? SceneGenerator::kindNamed(argv[1]) : std::nullopt;
    if (!kind) {
        std::fprintf(stderr, "usage: thwack-scene KIND SEED SECONDS OUTPUT_BASE\nkinds:");
        for (auto name : SceneGenerator::kindNames) {
            std::fprintf(stderr, " %.*s", static_cast<int>(name.size()), name.data());
        }
        std::fprintf(stderr, "\n");
        return EXIT_FAILURE;
    }
    const auto seed = static_cast<std::uint32_t>(std::stoul(argv[2]));
    const double seconds = std::stod(argv[3]);
    const auto scene = SceneGenerator::generate(*kind, seed, seconds);
    const auto path = scene.write(argv[4]);
    std::printf("%s: %zu hits\n", path.c_str(), scene.hits.size());
    return EXIT_SUCCESS;
}
