#include "input/alsa_capture_linux.h"

#include <alsa/asoundlib.h>

namespace thwack {

namespace {

// 10 ms reads: two detector frames, and a prompt return when the daemon stops.
constexpr snd_pcm_uframes_t readFrames = AlsaCapture::captureRateHz / 100;
constexpr unsigned latencyMicroseconds = 50000;
constexpr int allowResampling = 1;

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void silenceAlsaDiagnostics() {
    snd_lib_error_set_handler(&quietAlsa);
}

std::unique_ptr<AlsaCapture> AlsaCapture::open(const std::string& device, std::string& why) {
    std::unique_ptr<AlsaCapture> capture(new AlsaCapture());
    capture->device = device;
    int rc = snd_pcm_open(&capture->pcm, device.c_str(), SND_PCM_STREAM_CAPTURE, 0);
    if (rc < 0) {
        capture->pcm = nullptr;
        why = "cannot open ALSA capture device \"" + device + "\": " + snd_strerror(rc);
        return nullptr;
    }
    rc = snd_pcm_set_params(capture->pcm, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, captureRateHz,
                            allowResampling, latencyMicroseconds);
    if (rc < 0) {
        why = "cannot configure ALSA capture device \"" + device + "\": " + snd_strerror(rc);
        return nullptr;
    }
    return capture;
}

AlsaCapture::~AlsaCapture() {
    if (pcm) {
        snd_pcm_close(pcm);
    }
}

ReadStatus AlsaCapture::read(std::vector<float>& block) {
    block.resize(readFrames);
    snd_pcm_sframes_t got = snd_pcm_readi(pcm, block.data(), readFrames);
    if (got < 0) {
        // An overrun (the daemon fell behind) is recovered; anything else ends this sensor.
        if (snd_pcm_recover(pcm, static_cast<int>(got), 1) < 0) {
            return ReadStatus::failed;
        }
        got = 0;
    }
    block.resize(static_cast<std::size_t>(got));
    return ReadStatus::ok;
}

} // namespace thwack
