// thwack-bench: scores the detectors on generated scenes, replayed from files through the
// same sensors and loop as the daemon. Not a test: it reports, it does not judge.
//
//   thwack-bench [--seeds FIRST-LAST] [--seconds N] [--out DIR] [--kinds a,b,...] [--set name=value ...]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_scoring.h"
#include "daemon/daemon_options.h"
#include "detection/sensing_loop.h"
#include "input/sensor_probe.h"
#include "scene_generator.h"
#include "sound/sound_bank.h"

namespace {

using namespace thwack;

constexpr std::array<double, 3> sensitivities{0.5, 1.0, 2.0};
constexpr int playbackRate = 48000;

struct Options {
    std::uint32_t firstSeed = 1001;
    std::uint32_t lastSeed = 1010;
    double seconds = 60.0;
    std::filesystem::path out = "bench-scenes";
    std::vector<std::string> kinds;
    bool list = false;
    JerkTuning jerk;
    OnsetTuning onset;
};

bool setTuning(Options& options, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    const std::string name = assignment.substr(0, eq);
    const double value = std::stod(assignment.substr(eq + 1));
    const std::map<std::string, double*> fields{
        {"accel.baseG", &options.jerk.baseG},
        {"accel.exponent", &options.jerk.exponent},
        {"accel.noiseFactor", &options.jerk.noiseFactor},
        {"accel.noiseTimeConstant", &options.jerk.noiseTimeConstant},
        {"accel.noiseClipFactor", &options.jerk.noiseClipFactor},
        {"accel.refractory", &options.jerk.refractorySeconds},
        {"accel.minG", &options.jerk.minG},
        {"accel.warmup", &options.jerk.warmupSeconds},
        {"mic.baseDb", &options.onset.baseDb},
        {"mic.slopeDb", &options.onset.slopeDb},
        {"mic.riseDb", &options.onset.riseDb},
        {"mic.decisionBase", &options.onset.decisionBase},
        {"mic.decisionSlope", &options.onset.decisionSlope},
        {"mic.floorUp", &options.onset.floorUpSeconds},
        {"mic.floorDown", &options.onset.floorDownSeconds},
        {"mic.lowHz", &options.onset.lowHz},
    };
    const auto it = fields.find(name);
    if (it == fields.end()) {
        return false;
    }
    *it->second = value;
    return true;
}

bool setTuningInteger(Options& options, const std::string& assignment) {
    if (assignment.starts_with("mic.riseFrames=")) {
        options.onset.riseFrames = std::stoi(assignment.substr(15));
        return true;
    }
    return false;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return parts;
}

// The scenes play the daemon's sound after every knock, but the daemon plays it only after the
// knocks it caught: a false hit inside the sound of a missed knock is counted apart.
std::size_t echoesOfMissedHits(const Scene& scene, const HitScore& score, double soundSeconds) {
    constexpr double slack = 0.5;
    std::size_t echoes = 0;
    for (double t : score.falseDetections) {
        for (std::size_t i = 0; i < scene.hits.size(); ++i) {
            if (!score.found[i] && t > scene.hits[i] && t < scene.hits[i] + soundSeconds + slack) {
                ++echoes;
                break;
            }
        }
    }
    return echoes;
}

struct Tally : ScoreTally {
    std::size_t scenes = 0;
    std::size_t echoes = 0;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seeds" && hasValue) {
            const std::string range = argv[++i];
            const auto dash = range.find('-');
            options.firstSeed = static_cast<std::uint32_t>(std::stoul(range.substr(0, dash)));
            options.lastSeed = dash == std::string::npos
                                   ? options.firstSeed
                                   : static_cast<std::uint32_t>(std::stoul(range.substr(dash + 1)));
        } else if (arg == "--seconds" && hasValue) {
            options.seconds = std::stod(argv[++i]);
        } else if (arg == "--out" && hasValue) {
            options.out = argv[++i];
        } else if (arg == "--kinds" && hasValue) {
            options.kinds = split(argv[++i]);
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--set" && hasValue &&
                   (setTuningInteger(options, argv[i + 1]) || setTuning(options, argv[i + 1]))) {
            ++i;
        } else {
            std::fprintf(stderr, "usage: thwack-bench [--seeds A-B] [--seconds N] [--out DIR] [--kinds a,b] [--list] "
                                 "[--set accel.baseG=0.3 ...]\n");
            return EXIT_FAILURE;
        }
    }
    if (options.kinds.empty()) {
        options.kinds.assign(SceneGenerator::kindNames.begin(), SceneGenerator::kindNames.end());
    }
    std::filesystem::create_directories(options.out);
    const SoundBank bank(playbackRate);
    const SensorProbe probe("/", options.jerk, options.onset);

    std::map<std::pair<std::string, double>, Tally> tallies;
    std::size_t monotonicityViolations = 0;
    double signalSeconds = 0.0;
    std::chrono::steady_clock::duration detectingTime{};

    for (const auto& kindName : options.kinds) {
        const auto kind = SceneGenerator::kindNamed(kindName);
        if (!kind) {
            std::fprintf(stderr, "unknown scene kind %s\n", kindName.c_str());
            return EXIT_FAILURE;
        }
        for (std::uint32_t seed = options.firstSeed; seed <= options.lastSeed; ++seed) {
            const Scene scene = SceneGenerator::generate(*kind, seed, options.seconds);
            const auto path = scene.write(options.out / (kindName + "-" + std::to_string(seed)));
            std::size_t previousDetected = 0;
            for (double s : sensitivities) {
                std::string why;
                auto sensor = probe.probe(InputChoice::parse(path.c_str()), why);
                if (!sensor) {
                    std::fprintf(stderr, "%s\n", why.c_str());
                    return EXIT_FAILURE;
                }
                std::vector<double> detections;
                SensingLoop loop(*sensor, [&](double t) {
                    detections.push_back(t);
                    return bank.seconds(scene.sound);
                });
                const auto start = std::chrono::steady_clock::now();
                while (loop.step(s) == ReadStatus::ok) {
                }
                detectingTime += std::chrono::steady_clock::now() - start;
                signalSeconds += scene.seconds;

                const HitScore score = HitScore::score(scene.hits, detections);
                if (options.list && score.falseHits > 0) {
                    std::printf("%s seed %u s=%.1f false hits:", kindName.c_str(), seed, s);
                    for (double t : score.falseDetections) {
                        std::printf(" %.3f", t);
                    }
                    std::printf("\n");
                }
                Tally& tally = tallies[{kindName, s}];
                ++tally.scenes;
                if (*kind == SceneGenerator::Kind::micOwnSounds) {
                    tally.echoes += echoesOfMissedHits(scene, score, bank.seconds(scene.sound));
                }
                tally.add(score, scene.seconds);
                if (score.detected < previousDetected) {
                    ++monotonicityViolations;
                }
                previousDetected = score.detected;
            }
        }
    }

    std::printf("| scene | s | hits | detected | rate | false/min (all) | false/min (worst scene) | latency median | "
                "latency p95 |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& kindName : options.kinds) {
        for (double s : sensitivities) {
            const Tally& t = tallies[{kindName, s}];
            const std::string rate =
                t.hits ? std::to_string(100.0 * static_cast<double>(t.detected) / static_cast<double>(t.hits))
                                 .substr(0, 5) +
                             " %"
                       : "-";
            const std::string median =
                t.latencies.empty()
                    ? "-"
                    : std::to_string(static_cast<int>(std::lround(1000.0 * quantile(t.latencies, 0.5)))) + " ms";
            const std::string p95 =
                t.latencies.empty()
                    ? "-"
                    : std::to_string(static_cast<int>(std::lround(1000.0 * quantile(t.latencies, 0.95)))) + " ms";
            std::printf("| %s | %.1f | %zu | %zu | %s | %.2f | %.2f | %s | %s |\n", kindName.c_str(), s, t.hits,
                        t.detected, rate.c_str(), static_cast<double>(t.falseHits) / t.minutes, t.worstFalsePerMinute,
                        median.c_str(), p95.c_str());
        }
    }
    for (const auto& [key, t] : tallies) {
        if (t.echoes > 0) {
            std::printf("\n%s s=%.1f: %zu of %zu false hits lie in the sound that followed a missed knock",
                        key.first.c_str(), key.second, t.echoes, t.falseHits);
        }
    }
    std::printf("\n\nscenes with fewer hits detected at a higher sensitivity: %zu\n", monotonicityViolations);
    std::printf("replay speed: %.0f x real time (%.0f s of signal in %.2f s)\n",
                signalSeconds / std::chrono::duration<double>(detectingTime).count(), signalSeconds,
                std::chrono::duration<double>(detectingTime).count());
    return EXIT_SUCCESS;
}
