// thwack-real-bench: scores the microphone detector on scenes built from real recordings
// (bench/real/make_scenes.py), replayed through the same sensor and loop as the daemon.
// Not a test: it reports, it does not judge.
//
//   thwack-real-bench DIR [--list] [--set mic.name=value ...]
//   thwack-real-bench DIR --features FILE.csv    every candidate's features, for training the model
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_scoring.h"
#include "detection/sensing_loop.h"
#include "input/mic_sensor.h"
#include "input/wav_replay.h"
#include "sound/sound_bank.h"

namespace {

using namespace thwack;

constexpr std::array<double, 3> sensitivities{0.5, 1.0, 2.0};
constexpr int playbackRate = 48000;
// Knock levels are reported in bands this wide, from the quietest.
constexpr double levelBandDb = 7.0;
constexpr double quietestDbfs = -40.0;

struct LabelledScene {
    std::string kind;
    std::filesystem::path wav;
    double seconds = 0.0;
    std::vector<double> hits;
    std::vector<std::string> knockKinds;
    std::vector<double> knockLevels;
};

std::vector<LabelledScene> loadScenes(const std::filesystem::path& dir) {
    std::vector<LabelledScene> scenes;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".json") {
            continue;
        }
        const auto json = nlohmann::json::parse(std::ifstream(entry.path()));
        LabelledScene scene;
        scene.kind = json.at("kind").get<std::string>();
        scene.wav = std::filesystem::path(entry.path()).replace_extension(".wav");
        scene.seconds = json.at("seconds").get<double>();
        for (const auto& knock : json.at("knocks")) {
            scene.hits.push_back(knock.at("t").get<double>());
            scene.knockKinds.push_back(knock.at("kind").get<std::string>());
            scene.knockLevels.push_back(knock.at("dbfs").get<double>());
        }
        scenes.push_back(std::move(scene));
    }
    std::sort(scenes.begin(), scenes.end(), [](const auto& a, const auto& b) { return a.wav < b.wav; });
    return scenes;
}

bool setTuning(OnsetTuning& tuning, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    double windowFrames = tuning.windowFrames;
    const std::map<std::string, double*> fields{
        {"mic.baseDb", &tuning.baseDb},
        {"mic.slopeDb", &tuning.slopeDb},
        {"mic.riseDb", &tuning.riseDb},
        {"mic.decisionBase", &tuning.decisionBase},
        {"mic.decisionSlope", &tuning.decisionSlope},
        {"mic.busyPenalty", &tuning.busyPenalty},
        {"mic.busyActivity", &tuning.busyActivity},
        {"mic.floorUp", &tuning.floorUpSeconds},
        {"mic.floorDown", &tuning.floorDownSeconds},
        {"mic.lowHz", &tuning.lowHz},
        {"mic.refractory", &tuning.refractorySeconds},
        {"mic.windowFrames", &windowFrames},
    };
    const auto it = fields.find(assignment.substr(0, eq));
    if (it == fields.end()) {
        return false;
    }
    *it->second = std::stod(assignment.substr(eq + 1));
    tuning.windowFrames = static_cast<int>(windowFrames);
    return true;
}

// A candidate is decided a window after its onset; it belongs to a knock whose onset lies up to
// this long before the decision (or a little after: the label is read off the clip).
constexpr double candidateEarliest = -0.005;
constexpr double candidateLatest = 0.06;

// Writes one CSV line per candidate at s = 1 with no hit ever reported (no mute, no refractory
// period): label 1 for the first candidate of a knock, 0 for one far from any knock; the
// other candidates of a knock are left out.
int dumpFeatures(const std::vector<LabelledScene>& scenes, OnsetTuning tuning, const std::string& file) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) {
        std::perror(file.c_str());
        return EXIT_FAILURE;
    }
    std::fprintf(out, "scene,time,label");
    for (std::size_t i = 0; i < KnockFeatures::count; ++i) {
        std::fprintf(out, ",f%zu", i);
    }
    std::fprintf(out, "\n");
    tuning.decisionBase = 1e9;
    for (const auto& scene : scenes) {
        std::string why;
        auto replay = WavReplay::open(scene.wav, why);
        if (!replay) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return EXIT_FAILURE;
        }
        const double rate = replay->sampleRate();
        OnsetDetector detector(rate, tuning);
        std::vector<bool> claimed(scene.hits.size(), false);
        detector.setCandidateListener([&](double t, const KnockFeatures& f, double) {
            int label = 0;
            for (std::size_t i = 0; i < scene.hits.size(); ++i) {
                const double delay = t - scene.hits[i];
                if (delay >= candidateEarliest && delay <= HitScore::latest) {
                    label = delay <= candidateLatest && !claimed[i] ? 1 : -1;
                    claimed[i] = true;
                    break;
                }
            }
            if (label < 0) {
                return;
            }
            std::fprintf(out, "%s,%.4f,%d", scene.wav.filename().c_str(), t, label);
            for (const double v : f.values) {
                std::fprintf(out, ",%.4f", v);
            }
            std::fprintf(out, "\n");
        });
        std::vector<float> block;
        while (replay->read(block) == ReadStatus::ok) {
            detector.process(block);
        }
    }
    std::fclose(out);
    return EXIT_SUCCESS;
}

std::string percent(std::size_t part, std::size_t whole) {
    if (whole == 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string milliseconds(const std::vector<double>& values, double q) {
    return values.empty() ? "-" : std::to_string(static_cast<int>(std::lround(1000.0 * quantile(values, q)))) + " ms";
}

std::string levelBand(double dbfs) {
    const int band = std::clamp(static_cast<int>(std::floor((dbfs - quietestDbfs) / levelBandDb)), 0, 3);
    char text[32];
    std::snprintf(text, sizeof text, "%.0f to %.0f dBFS", quietestDbfs + band * levelBandDb,
                  quietestDbfs + (band + 1) * levelBandDb);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: thwack-real-bench DIR [--list] [--set mic.baseDb=20 ...]\n");
        return EXIT_FAILURE;
    }
    OnsetTuning tuning;
    bool list = false;
    std::string featuresFile;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--list") {
            list = true;
        } else if (arg == "--features" && i + 1 < argc) {
            featuresFile = argv[++i];
        } else if (!(arg == "--set" && i + 1 < argc && setTuning(tuning, argv[++i]))) {
            std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
            return EXIT_FAILURE;
        }
    }
    const auto scenes = loadScenes(argv[1]);
    if (!featuresFile.empty()) {
        return dumpFeatures(scenes, tuning, featuresFile);
    }
    const SoundBank bank(playbackRate);

    std::map<std::pair<std::string, double>, ScoreTally> byScene;
    std::map<std::tuple<std::string, std::string, double>, ScoreTally> byKnock; // background, knock kind, s
    std::map<std::tuple<std::string, std::string, double>, ScoreTally> byLevel; // background, level band, s
    std::vector<std::string> lessAtHigher;
    std::size_t scenesWithFewer = 0;
    double signalSeconds = 0.0;
    std::chrono::steady_clock::duration detectingTime{};

    for (const auto& scene : scenes) {
        std::vector<bool> previousFound;
        std::size_t previousCount = 0;
        for (double s : sensitivities) {
            std::string why;
            auto replay = WavReplay::open(scene.wav, why);
            if (!replay) {
                std::fprintf(stderr, "%s\n", why.c_str());
                return EXIT_FAILURE;
            }
            MicSensor sensor(std::move(replay), tuning);
            std::vector<double> detections;
            SensingLoop loop(sensor, [&](double t) {
                detections.push_back(t);
                return bank.seconds("default");
            });
            const auto start = std::chrono::steady_clock::now();
            while (loop.step(s) == ReadStatus::ok) {
            }
            detectingTime += std::chrono::steady_clock::now() - start;
            signalSeconds += scene.seconds;

            const HitScore score = HitScore::score(scene.hits, detections);
            if (list && (score.falseHits > 0 || score.detected < score.hits)) {
                std::printf("%s s=%.1f false:", scene.wav.filename().c_str(), s);
                for (double t : score.falseDetections) {
                    std::printf(" %.3f", t);
                }
                std::printf(" missed:");
                for (std::size_t i = 0; i < scene.hits.size(); ++i) {
                    if (!score.found[i]) {
                        std::printf(" %.3f(%s %.0f)", scene.hits[i], scene.knockKinds[i].c_str(), scene.knockLevels[i]);
                    }
                }
                std::printf("\n");
            }
            byScene[{scene.kind, s}].add(score, scene.seconds);
            const std::string background = scene.kind.substr(0, scene.kind.find('-'));
            std::size_t detectedSoFar = 0;
            for (std::size_t i = 0; i < scene.hits.size(); ++i) {
                for (auto* t : {&byKnock[{background, scene.knockKinds[i], s}],
                                &byLevel[{background, levelBand(scene.knockLevels[i]), s}]}) {
                    ++t->hits;
                    t->detected += score.found[i] ? 1 : 0;
                }
                detectedSoFar += score.found[i] ? 1 : 0;
            }
            // A higher sensitivity must find every knock a lower one found, scene by scene.
            for (std::size_t i = 0; i < previousFound.size(); ++i) {
                if (previousFound[i] && !score.found[i]) {
                    lessAtHigher.push_back(scene.wav.filename().string() + " at s=" + std::to_string(s).substr(0, 3) +
                                           ": knock at " + std::to_string(scene.hits[i]).substr(0, 6) + " s");
                }
            }
            previousFound = score.found;
            scenesWithFewer += score.detected < previousCount ? 1 : 0;
            previousCount = score.detected;
        }
    }

    std::printf("| scene | s | knocks | found | recall | false/min (all) | false/min (worst scene) | onset to hit "
                "median | p95 |\n|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& [key, t] : byScene) {
        std::printf("| %s | %.1f | %zu | %zu | %s | %.2f | %.2f | %s | %s |\n", key.first.c_str(), key.second, t.hits,
                    t.detected, percent(t.detected, t.hits).c_str(), static_cast<double>(t.falseHits) / t.minutes,
                    t.worstFalsePerMinute, milliseconds(t.latencies, 0.5).c_str(),
                    milliseconds(t.latencies, 0.95).c_str());
    }
    for (const auto& [title, table] : {std::pair{"knock kind", &byKnock}, std::pair{"knock level", &byLevel}}) {
        std::printf("\n| background | %s | s = 0.5 | s = 1.0 | s = 2.0 |\n|---|---|---|---|---|\n", title);
        std::string last;
        for (const auto& [key, t] : *table) {
            const auto& [background, group, s] = key;
            if (background + group == last) {
                continue;
            }
            last = background + group;
            std::printf("| %s | %s |", background.c_str(), group.c_str());
            for (double each : sensitivities) {
                const ScoreTally& cell = table->at({background, group, each});
                std::printf(" %s of %zu |", percent(cell.detected, cell.hits).c_str(), cell.hits);
            }
            std::printf("\n");
        }
    }
    std::printf("\nscenes with fewer knocks found at a higher sensitivity: %zu\n", scenesWithFewer);
    std::printf("knocks found at a lower sensitivity but missed at a higher one: %zu\n", lessAtHigher.size());
    for (const auto& line : lessAtHigher) {
        std::printf("  %s\n", line.c_str());
    }
    std::printf("replay speed: %.0f x real time (%.0f s of signal in %.2f s)\n",
                signalSeconds / std::chrono::duration<double>(detectingTime).count(), signalSeconds,
                std::chrono::duration<double>(detectingTime).count());
    return EXIT_SUCCESS;
}
