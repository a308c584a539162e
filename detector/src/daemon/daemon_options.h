#pragma once

#include <string>

namespace thwack {

// What THWACK_INPUT asks for.
struct InputChoice {
    enum class Kind { automatic, iio, lis3lv02d, hdaps, applesmc, mic, csvFile, wavFile, unsupported };

    Kind kind = Kind::automatic;
    std::string path; // for files

    bool isFile() const { return kind == Kind::csvFile || kind == Kind::wavFile || kind == Kind::unsupported; }

    // Unset or empty: automatic. A backend name, else a file chosen by its extension.
    static InputChoice parse(const char* value);
};

// What THWACK_AUDIO_OUT asks for.
struct AudioChoice {
    enum class Kind { alsa, null, wavFile };

    Kind kind = Kind::alsa;
    std::string target = "default"; // ALSA device name or file path

    // Unset or empty: ALSA "default". "null", a .wav path, or else an ALSA device name.
    static AudioChoice parse(const char* value);
};

} // namespace thwack
