#include "scene_generator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "sound/formant_voice.h"
#include "sound/sound_bank.h"

namespace thwack {

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;
constexpr double degree = std::numbers::pi / 180.0;

// Raw engine output only, so a seed gives the same scene with any standard library.
class Random {
public:
    explicit Random(std::uint32_t seed) : engine(seed) {}
    double uniform(double lo, double hi) { return lo + (hi - lo) * (static_cast<double>(engine()) / 4294967296.0); }
    double logUniform(double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); }
    double gaussian() {
        const double u1 = std::max(uniform(0.0, 1.0), 1e-12);
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(twoPi * uniform(0.0, 1.0));
    }
    bool chance(double p) { return uniform(0.0, 1.0) < p; }
    std::size_t index(std::size_t n) { return std::min(n - 1, static_cast<std::size_t>(uniform(0.0, 1.0) * n)); }

private:
    std::mt19937 engine;
};

double dbfs(double db) {
    return std::pow(10.0, db / 20.0);
}

std::vector<double> hitSchedule(Random& random, double seconds, double minGap, double maxGap) {
    std::vector<double> times;
    for (double t = random.uniform(1.0, 2.0); t < seconds - 1.0; t += random.uniform(minGap, maxGap)) {
        times.push_back(t);
    }
    return times;
}

// Key presses in bursts of typing with pauses between them.
std::vector<double> typingSchedule(Random& random, double seconds) {
    constexpr double keysPerSecond = 6.0;
    constexpr double minKeyGap = 0.06;
    std::vector<double> times;
    double t = random.uniform(0.3, 1.0);
    while (t < seconds) {
        const double burstEnd = t + random.uniform(2.0, 6.0);
        while (t < std::min(burstEnd, seconds)) {
            times.push_back(t);
            t += std::max(minKeyGap, -std::log(std::max(random.uniform(0.0, 1.0), 1e-9)) / keysPerSecond);
        }
        t += random.uniform(0.5, 2.0);
    }
    return times;
}

// ---------------------------------------------------------------- accelerometer

// Sensor noise of a consumer MEMS accelerometer at 100 Hz, per axis.
constexpr double accelNoiseG = 0.004;

struct Vec {
    double x, y, z;
};

Vec mostlyVertical(Random& random) {
    Vec v{random.uniform(-0.4, 0.4), random.uniform(-0.4, 0.4), random.chance(0.5) ? 1.0 : -1.0};
    const double n = std::hypot(v.x, v.y, v.z);
    return {v.x / n, v.y / n, v.z / n};
}

class AccelTrack {
public:
    AccelTrack(double seconds) : count(static_cast<std::size_t>(seconds * SceneGenerator::accelRateHz)) {
        x.assign(count, 0.0);
        y.assign(count, 0.0);
        z.assign(count, 0.0);
    }

    double time(std::size_t n) const { return static_cast<double>(n) / SceneGenerator::accelRateHz; }

    // A struck chassis rings at a low mode; the sensor's own filter keeps it below Nyquist.
    void addRinging(double t0, double amplitude, double frequency, double tau, Vec direction) {
        const auto first = static_cast<std::size_t>(std::ceil(t0 * SceneGenerator::accelRateHz));
        const auto last =
            std::min(count, first + static_cast<std::size_t>(8.0 * tau * SceneGenerator::accelRateHz) + 1);
        for (std::size_t n = first; n < last; ++n) {
            const double dt = time(n) - t0;
            const double v = amplitude * std::exp(-dt / tau) * std::sin(twoPi * frequency * dt);
            x[n] += v * direction.x;
            y[n] += v * direction.y;
            z[n] += v * direction.z;
        }
    }

    // Gravity for a device rolled and pitched by these angles (radians).
    void addGravity(std::size_t n, double roll, double pitch) {
        x[n] += std::sin(pitch);
        y[n] += -std::sin(roll) * std::cos(pitch);
        z[n] += std::cos(roll) * std::cos(pitch);
    }

    void addTremor(Random& random, double amplitude) {
        const double f = random.uniform(8.0, 12.0);
        const Vec phase{random.uniform(0, twoPi), random.uniform(0, twoPi), random.uniform(0, twoPi)};
        for (std::size_t n = 0; n < count; ++n) {
            const double w = twoPi * f * time(n);
            x[n] += amplitude * std::sin(w + phase.x);
            y[n] += amplitude * std::sin(w + phase.y);
            z[n] += amplitude * std::sin(w + phase.z);
        }
    }

    std::vector<AccelSample> finish(Random& random) const {
        std::vector<AccelSample> samples(count);
        for (std::size_t n = 0; n < count; ++n) {
            samples[n] = {time(n), x[n] + accelNoiseG * random.gaussian(), y[n] + accelNoiseG * random.gaussian(),
                          z[n] + accelNoiseG * random.gaussian()};
        }
        return samples;
    }

    std::size_t count;
    std::vector<double> x, y, z;
};

void restingGravity(Random& random, AccelTrack& track) {
    const double roll = random.uniform(-5.0, 5.0) * degree;
    const double pitch = random.uniform(-5.0, 5.0) * degree;
    for (std::size_t n = 0; n < track.count; ++n) {
        track.addGravity(n, roll, pitch);
    }
}

// Hits: anything from a light tap to a firm slap on the lid or the palm rest.
void addAccelHits(Random& random, AccelTrack& track, const std::vector<double>& times) {
    for (double t : times) {
        track.addRinging(t, random.logUniform(0.1, 3.0), random.uniform(15.0, 40.0), random.uniform(0.01, 0.04),
                         mostlyVertical(random));
    }
}

void addAccelTyping(Random& random, AccelTrack& track, double seconds) {
    for (double t : typingSchedule(random, seconds)) {
        // One key in ten is a space bar or return struck hard.
        const double amplitude = random.chance(0.1) ? random.logUniform(0.05, 0.12) : random.logUniform(0.005, 0.06);
        track.addRinging(t, amplitude, random.uniform(20.0, 45.0), random.uniform(0.005, 0.015),
                         mostlyVertical(random));
    }
}

void addTilting(Random& random, AccelTrack& track, double seconds) {
    // Lid and device tilted now and then: smooth moves of up to 35 degrees, then held.
    double roll = random.uniform(-5.0, 5.0) * degree;
    double pitch = random.uniform(-5.0, 5.0) * degree;
    struct Move {
        double start, end, fromRoll, fromPitch, toRoll, toPitch;
    };
    std::vector<Move> moves;
    for (double t = random.uniform(0.5, 1.5); t < seconds;) {
        const double duration = random.uniform(0.3, 1.5);
        const double toRoll = std::clamp(roll + random.uniform(-35.0, 35.0) * degree, -60 * degree, 60 * degree);
        const double toPitch = std::clamp(pitch + random.uniform(-35.0, 35.0) * degree, -60 * degree, 60 * degree);
        moves.push_back({t, t + duration, roll, pitch, toRoll, toPitch});
        roll = toRoll;
        pitch = toPitch;
        t += duration + random.uniform(1.0, 4.0);
    }
    std::size_t move = 0;
    double r = moves.empty() ? roll : moves.front().fromRoll;
    double p = moves.empty() ? pitch : moves.front().fromPitch;
    for (std::size_t n = 0; n < track.count; ++n) {
        const double t = track.time(n);
        while (move < moves.size() && t >= moves[move].end) {
            r = moves[move].toRoll;
            p = moves[move].toPitch;
            ++move;
        }
        double rn = r, pn = p;
        if (move < moves.size() && t >= moves[move].start) {
            const auto& m = moves[move];
            const double k = 0.5 - 0.5 * std::cos(std::numbers::pi * (t - m.start) / (m.end - m.start));
            rn = m.fromRoll + k * (m.toRoll - m.fromRoll);
            pn = m.fromPitch + k * (m.toPitch - m.fromPitch);
        }
        track.addGravity(n, rn, pn);
    }
    track.addTremor(random, 0.005);
}

void addCarrying(Random& random, AccelTrack& track, double seconds) {
    // Walking bouts with the device in hand, with pauses standing still; the device sways slowly.
    const Vec phases{random.uniform(0, twoPi), random.uniform(0, twoPi), random.uniform(0, twoPi)};
    for (std::size_t n = 0; n < track.count; ++n) {
        const double t = track.time(n);
        const double roll = (8.0 * std::sin(twoPi * 0.23 * t + phases.x) + 4.0 * std::sin(twoPi * 0.41 * t)) * degree;
        const double pitch = (8.0 * std::sin(twoPi * 0.17 * t + phases.y) + 4.0 * std::sin(twoPi * 0.37 * t)) * degree;
        track.addGravity(n, roll, pitch);
    }
    for (double t = random.uniform(0.0, 1.0); t < seconds;) {
        const double walkEnd = std::min(seconds, t + random.uniform(4.0, 10.0));
        const double stepHz = random.uniform(1.6, 2.2);
        const double bob = random.uniform(0.05, 0.25);
        const double sway = random.uniform(0.03, 0.1);
        const double start = t;
        const auto first = static_cast<std::size_t>(start * SceneGenerator::accelRateHz);
        const auto last = std::min(track.count, static_cast<std::size_t>(walkEnd * SceneGenerator::accelRateHz));
        constexpr double fadeSeconds = 0.5; // people speed up and slow down; they do not jump
        for (std::size_t n = first; n < last; ++n) {
            const double dt = track.time(n) - start;
            const double edge = std::min(dt, walkEnd - track.time(n)) / fadeSeconds;
            const double fade = edge >= 1.0 ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * std::max(0.0, edge));
            track.z[n] += fade * bob * std::sin(twoPi * stepHz * dt);
            track.x[n] += fade * sway * std::sin(std::numbers::pi * stepHz * dt);
        }
        for (double step = start; step < walkEnd; step += 1.0 / stepHz) {
            track.addRinging(step, random.logUniform(0.05, 0.25), random.uniform(8.0, 20.0), random.uniform(0.02, 0.04),
                             mostlyVertical(random));
        }
        t = walkEnd + random.uniform(1.0, 3.0);
    }
    track.addTremor(random, 0.005);
}

// ---------------------------------------------------------------- microphone

// A quiet room: soft, mostly low-frequency noise at -60 dBFS.
constexpr double roomNoiseDbfs = -60.0;
// The daemon's sound starts this long after the hit: detection plus the output's latency.
constexpr double ownSoundDelay = 0.08;

class AudioTrack {
public:
    AudioTrack(double seconds) : samples(static_cast<std::size_t>(seconds * SceneGenerator::micRateHz), 0.0) {}

    std::size_t at(double t) const {
        return std::min(samples.size(), static_cast<std::size_t>(std::max(0.0, t) * SceneGenerator::micRateHz));
    }

    void add(double t0, const std::vector<double>& sound, double gain) {
        const auto first = at(t0);
        for (std::size_t i = 0; i < sound.size() && first + i < samples.size(); ++i) {
            samples[first + i] += gain * sound[i];
        }
    }

    std::vector<double> samples;
};

double peakOf(const std::vector<double>& sound) {
    double peak = 0.0;
    for (double s : sound) {
        peak = std::max(peak, std::abs(s));
    }
    return peak;
}

std::vector<double> normalized(std::vector<double> sound, double peak) {
    const double current = peakOf(sound);
    if (current > 0.0) {
        for (double& s : sound) {
            s *= peak / current;
        }
    }
    return sound;
}

std::vector<double> dampedSine(double frequency, double tau, double amplitude, double phase = 0.0) {
    const auto length = static_cast<std::size_t>(6.0 * tau * SceneGenerator::micRateHz);
    std::vector<double> out(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / SceneGenerator::micRateHz;
        out[n] = amplitude * std::exp(-t / tau) * std::sin(twoPi * frequency * t + phase);
    }
    return out;
}

void mixInto(std::vector<double>& into, const std::vector<double>& sound) {
    into.resize(std::max(into.size(), sound.size()), 0.0);
    for (std::size_t i = 0; i < sound.size(); ++i) {
        into[i] += sound[i];
    }
}

// A knock heard through the chassis: a click and a few low body modes.
std::vector<double> knock(Random& random, double peak) {
    std::vector<double> sound;
    for (int mode = 0; mode < 3; ++mode) {
        mixInto(sound, dampedSine(random.uniform(120.0, 900.0), random.uniform(0.008, 0.03), random.uniform(0.3, 1.0),
                                  random.uniform(0.0, twoPi)));
    }
    const auto clickLength = static_cast<std::size_t>(0.002 * SceneGenerator::micRateHz);
    for (std::size_t n = 0; n < clickLength && n < sound.size(); ++n) {
        sound[n] += 0.8 * random.uniform(-1.0, 1.0) * std::exp(-static_cast<double>(n) / (0.0005 * 16000.0));
    }
    return normalized(std::move(sound), peak);
}

void addRoomNoise(Random& random, AudioTrack& track) {
    std::vector<double> noise(track.samples.size());
    double low = 0.0;
    for (double& s : noise) {
        const double white = random.gaussian();
        low += 0.05 * (white - low);
        s = 3.0 * low + 0.3 * white;
    }
    double power = 0.0;
    for (double s : noise) {
        power += s * s;
    }
    const double scale = dbfs(roomNoiseDbfs) / std::sqrt(power / static_cast<double>(noise.size()) + 1e-30);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        track.samples[i] += scale * noise[i];
    }
}

void addMicHits(Random& random, AudioTrack& track, const std::vector<double>& times) {
    for (double t : times) {
        track.add(t, knock(random, dbfs(random.uniform(-40.0, -6.0))), 1.0);
    }
}

void addMicTyping(Random& random, AudioTrack& track, double seconds) {
    for (double t : typingSchedule(random, seconds)) {
        // A bright click from the key cap, and a faint thud as it bottoms out.
        const double peak = dbfs(random.uniform(-40.0, -22.0));
        const double ring = random.uniform(2500.0, 5000.0);
        std::vector<double> key = dampedSine(ring, 0.0015, 1.0, random.uniform(0.0, twoPi));
        for (double& s : key) {
            s *= 0.5 + 0.5 * random.uniform(-1.0, 1.0);
        }
        mixInto(key, dampedSine(random.uniform(150.0, 400.0), 0.005, random.uniform(0.1, 0.2)));
        track.add(t, normalized(std::move(key), peak), 1.0);
    }
}

void addMusic(Random& random, AudioTrack& track, double seconds) {
    // Pads, a bass line, a kick on every beat and a hi-hat between, from a speaker in the room.
    const double beat = 60.0 / random.uniform(90.0, 140.0);
    constexpr std::array<double, 7> scale{0, 2, 3, 5, 7, 8, 10};
    const double key = random.uniform(110.0, 165.0);
    for (double bar = 0.0; bar < seconds; bar += 4.0 * beat) {
        const std::size_t degreeIndex = random.index(scale.size());
        const double root = key * std::pow(2.0, scale[degreeIndex] / 12.0);
        const std::array<double, 3> chord{root, root * std::pow(2.0, 3.0 / 12.0), root * 1.5};
        const auto first = track.at(bar);
        const auto last = track.at(bar + 4.0 * beat);
        for (std::size_t n = first; n < last; ++n) {
            const double t = static_cast<double>(n - first) / SceneGenerator::micRateHz;
            const double envelope = std::min(1.0, t / 0.1);
            double pad = 0.0;
            for (double f : chord) {
                pad += std::sin(twoPi * f * t) + 0.4 * std::sin(twoPi * 2 * f * t) + 0.2 * std::sin(twoPi * 3 * f * t);
            }
            track.samples[n] += 0.01 * envelope * pad;
        }
        for (int b = 0; b < 4; ++b) {
            const double t0 = bar + b * beat;
            std::vector<double> bass = dampedSine(root / 2.0, 0.35, 0.03);
            mixInto(bass, dampedSine(root, 0.2, 0.01));
            for (std::size_t n = 0; n < std::min<std::size_t>(160, bass.size()); ++n) {
                bass[n] *= static_cast<double>(n) / 160.0; // 10 ms attack
            }
            track.add(t0, bass, 1.0);
            std::vector<double> kick(static_cast<std::size_t>(0.3 * SceneGenerator::micRateHz));
            double phase = 0.0;
            for (std::size_t n = 0; n < kick.size(); ++n) {
                const double t = static_cast<double>(n) / SceneGenerator::micRateHz;
                phase += twoPi * (50.0 + 80.0 * std::exp(-t / 0.02)) / SceneGenerator::micRateHz;
                kick[n] = 0.08 * std::sin(phase) * std::exp(-t / 0.08) * std::min(1.0, t / 0.001);
            }
            track.add(t0, kick, 1.0);
            std::vector<double> hat(static_cast<std::size_t>(0.02 * SceneGenerator::micRateHz));
            double previous = 0.0;
            for (std::size_t n = 0; n < hat.size(); ++n) {
                const double white = random.uniform(-1.0, 1.0);
                hat[n] = 0.015 * (white - previous) * std::exp(-static_cast<double>(n) / 80.0);
                previous = white;
            }
            track.add(t0 + beat / 2.0, hat, 1.0);
        }
    }
}

void addSpeech(Random& random, AudioTrack& track, double seconds) {
    // Syllables of a made-up language from the formant voice: phrases with pauses between.
    constexpr std::array<std::array<double, 3>, 7> vowels{{{730, 1090, 2440},
                                                           {530, 1840, 2480},
                                                           {270, 2290, 3010},
                                                           {570, 840, 2410},
                                                           {300, 870, 2240},
                                                           {660, 1720, 2410},
                                                           {490, 1350, 1690}}};
    const double basePitch = random.uniform(100.0, 200.0);
    std::vector<VoicePoint> points;
    double t = random.uniform(0.2, 0.8);
    points.push_back({0.0, 500, 1500, 2500, basePitch, 0.0, 0.0, 0.0});
    points.push_back({t, 500, 1500, 2500, basePitch, 0.0, 0.0, 0.0});
    while (t < seconds - 1.5) {
        const int syllables = static_cast<int>(random.uniform(3.0, 11.0));
        for (int s = 0; s < syllables && t < seconds - 1.0; ++s) {
            const double pitch = basePitch * (1.1 - 0.25 * s / syllables) * random.uniform(0.92, 1.08);
            const auto& v = vowels[random.index(vowels.size())];
            switch (random.index(4)) {
            case 0: // stop: closure, then a burst
                points.push_back({t, v[0], 1700, 2600, pitch, 1.0, 0.0, 0.0});
                t += random.uniform(0.03, 0.06);
                points.push_back({t, v[0], 1700, 2600, pitch, 1.0, 0.0, 0.0});
                points.push_back({t + 0.005, 400, 1800, 2700, pitch, 0.3, 0.8, 0.5});
                t += 0.015;
                break;
            case 1: // fricative
                points.push_back({t, 400, 1800, 2800, pitch, 0.0, 1.0, 0.3});
                t += random.uniform(0.05, 0.1);
                points.push_back({t, 400, 1800, 2800, pitch, 0.0, 1.0, 0.3});
                break;
            case 2: // nasal
                points.push_back({t, 250, 1100, 2300, pitch, 1.0, 0.0, 0.4});
                t += random.uniform(0.05, 0.07);
                points.push_back({t, 250, 1100, 2300, pitch, 1.0, 0.0, 0.4});
                break;
            default:
                break;
            }
            t += 0.02;
            points.push_back({t, v[0], v[1], v[2], pitch, 1.0, 0.02, 1.0});
            t += random.uniform(0.1, 0.22);
            points.push_back({t, v[0], v[1], v[2], pitch * 0.95, 1.0, 0.02, 0.9});
        }
        t += 0.04;
        points.push_back({t, 500, 1500, 2500, basePitch, 1.0, 0.0, 0.0});
        t += random.uniform(0.3, 1.2);
        points.push_back({t, 500, 1500, 2500, basePitch, 0.0, 0.0, 0.0});
    }
    points.push_back({seconds, 500, 1500, 2500, basePitch, 0.0, 0.0, 0.0});
    FormantVoice voice(static_cast<int>(SceneGenerator::micRateHz), static_cast<std::uint32_t>(random.uniform(0, 1e9)));
    const auto rendered = voice.render(points);
    // Conversation at a metre or two: peaks around -18 dBFS, some 30 dB over the room.
    std::vector<double> speech(rendered.begin(), rendered.end());
    track.add(0.0, normalized(std::move(speech), dbfs(random.uniform(-20.0, -16.0))), 1.0);
}

void addOwnSounds(Random& random, AudioTrack& track, const std::vector<double>& hits, const std::string& name) {
    // The device's speaker into its own microphone, with the room's echo.
    const SoundBank bank(static_cast<int>(SceneGenerator::micRateHz));
    const auto& dry = bank.find(name);
    std::vector<double> response(static_cast<std::size_t>(0.25 * SceneGenerator::micRateHz));
    response[0] = 1.0;
    for (std::size_t n = 1; n < response.size(); ++n) {
        response[n] = 0.05 * random.uniform(-1.0, 1.0) * std::exp(-static_cast<double>(n) / (0.05 * 16000.0));
    }
    std::vector<double> wet(dry.size() + response.size(), 0.0);
    for (std::size_t i = 0; i < dry.size(); ++i) {
        for (std::size_t k = 0; k < response.size(); k += 1) {
            wet[i + k] += dry[i] * response[k];
        }
    }
    for (double t : hits) {
        track.add(t + ownSoundDelay, normalized(wet, dbfs(random.uniform(-12.0, -6.0))), 1.0);
    }
}

std::vector<float> toFloat(const AudioTrack& track) {
    std::vector<float> out(track.samples.size());
    std::transform(track.samples.begin(), track.samples.end(), out.begin(),
                   [](double s) { return static_cast<float>(std::clamp(s, -1.0, 1.0)); });
    return out;
}

} // namespace

std::optional<SceneGenerator::Kind> SceneGenerator::kindNamed(std::string_view name) {
    for (std::size_t i = 0; i < kindNames.size(); ++i) {
        if (kindNames[i] == name) {
            return static_cast<Kind>(i);
        }
    }
    return std::nullopt;
}

std::string_view SceneGenerator::nameOf(Kind kind) {
    return kindNames[static_cast<std::size_t>(kind)];
}

Scene SceneGenerator::generate(Kind kind, std::uint32_t seed, double seconds) {
    // Each kind draws from its own stream, so scenes of different kinds with one seed differ.
    Random random(seed * 7919u + static_cast<std::uint32_t>(kind));
    Scene scene;
    scene.kind = std::string(nameOf(kind));
    scene.seed = seed;
    scene.seconds = seconds;
    constexpr double accelHitGapMin = 1.0, accelHitGapMax = 3.0;
    // Room for the longest own sound, its guard and the refractory period between hits.
    constexpr double micHitGapMin = 2.5, micHitGapMax = 4.5;

    if (kind <= Kind::accelCarrying) {
        scene.sampleRate = accelRateHz;
        AccelTrack track(seconds);
        switch (kind) {
        case Kind::accelRestHits:
            restingGravity(random, track);
            scene.hits = hitSchedule(random, seconds, accelHitGapMin, accelHitGapMax);
            addAccelHits(random, track, scene.hits);
            break;
        case Kind::accelTyping:
            restingGravity(random, track);
            addAccelTyping(random, track, seconds);
            break;
        case Kind::accelTilting:
            addTilting(random, track, seconds);
            break;
        default:
            addCarrying(random, track, seconds);
            break;
        }
        scene.accel = track.finish(random);
        return scene;
    }

    scene.isAudio = true;
    scene.sampleRate = micRateHz;
    AudioTrack track(seconds);
    addRoomNoise(random, track);
    switch (kind) {
    case Kind::micQuietHits:
        scene.hits = hitSchedule(random, seconds, micHitGapMin, micHitGapMax);
        addMicHits(random, track, scene.hits);
        break;
    case Kind::micTyping:
        addMicTyping(random, track, seconds);
        break;
    case Kind::micMusic:
        addMusic(random, track, seconds);
        break;
    case Kind::micSpeech:
        addSpeech(random, track, seconds);
        break;
    case Kind::micSpeechHits:
        addSpeech(random, track, seconds);
        scene.hits = hitSchedule(random, seconds, micHitGapMin, micHitGapMax);
        addMicHits(random, track, scene.hits);
        break;
    default:
        scene.sound = std::string(SoundBank::names[seed % SoundBank::names.size()]);
        scene.hits = hitSchedule(random, seconds, micHitGapMin, micHitGapMax);
        addMicHits(random, track, scene.hits);
        addOwnSounds(random, track, scene.hits, scene.sound);
        break;
    }
    scene.audio = toFloat(track);
    return scene;
}

} // namespace thwack
