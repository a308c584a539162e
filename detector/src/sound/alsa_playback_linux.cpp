#include "sound/alsa_playback_linux.h"

#include <alsa/asoundlib.h>

namespace thwack {

namespace {
// Short enough that a new hit cuts the old sound off promptly, long enough not to underrun.
constexpr unsigned latencyMicroseconds = 80000;
constexpr int allowResampling = 1;
} // namespace

std::unique_ptr<AlsaPlayback> AlsaPlayback::open(const std::string& device, std::string& why) {
    std::unique_ptr<AlsaPlayback> playback(new AlsaPlayback());
    playback->device = device;
    int rc = snd_pcm_open(&playback->pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (rc < 0) {
        playback->pcm = nullptr;
        why = "cannot open ALSA playback device \"" + device + "\": " + snd_strerror(rc);
        return nullptr;
    }
    rc = snd_pcm_set_params(playback->pcm, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, playbackRateHz,
                            allowResampling, latencyMicroseconds);
    if (rc < 0) {
        why = "cannot configure ALSA playback device \"" + device + "\": " + snd_strerror(rc);
        return nullptr;
    }
    return playback;
}

AlsaPlayback::~AlsaPlayback() {
    if (pcm) {
        snd_pcm_close(pcm);
    }
}

bool AlsaPlayback::write(std::span<const float> samples) {
    while (!samples.empty()) {
        const snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples.data(), samples.size());
        if (written < 0) {
            // An underrun between two sounds is expected: recover and go on.
            if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0) {
                return false;
            }
            continue;
        }
        samples = samples.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

void AlsaPlayback::discard() {
    snd_pcm_drop(pcm);
    snd_pcm_prepare(pcm);
}

} // namespace thwack
