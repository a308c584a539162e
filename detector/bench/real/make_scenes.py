#!/usr/bin/python3
"""Builds labelled microphone scenes from the converted recordings (fetch_clips.sh).

    make_scenes.py CLIPS OUT --seeds A-B [--seconds N]

For every seed and every kind it writes OUT/KIND-SEED.wav (16 kHz mono 16-bit) and OUT/KIND-SEED.json
with the true onsets and, per knock, its kind, clip and peak level. The same clips, seed and length
always give the same scene. Kinds: quiet, typing, speech, music, each alone and with knocks (-hits).
"""
import argparse
import json
import os
import wave

import numpy as np
from scipy.signal import lfilter

RATE = 16000
KNOCK_KINDS = ("thump", "slap", "wood", "drum")
BACKGROUNDS = ("quiet", "typing", "speech", "music")
ROOM_NOISE_DBFS = -60.0
KNOCK_DBFS = (-40.0, -12.0)
KNOCK_GAP_S = (1.0, 3.0)  # onset to onset, so knocks are at least 1 s apart
TYPING_KEYS_PER_S = (3.0, 8.0)
TYPING_PEAK_DBFS = (-34.0, -22.0)  # a key press, per scene; each key varies around it
SPEECH_PEAK_DBFS = (-20.0, -14.0)  # a prompt, per scene
MUSIC_RMS_DBFS = (-33.0, -27.0)
ONSET_FRACTION = 0.1  # a clip's onset: its first sample at a tenth of its peak


def db(value):
    return 10.0 ** (value / 20.0)


def read(path):
    with wave.open(path) as w:
        assert w.getframerate() == RATE and w.getnchannels() == 1 and w.getsampwidth() == 2
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64) / 32768.0


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes((np.clip(samples, -1.0, 32767 / 32768) * 32768).round().astype("<i2").tobytes())


class Clips:
    def __init__(self, root):
        self.sets = {}
        for kind in KNOCK_KINDS + ("keys", "speech", "music"):
            folder = os.path.join(root, kind)
            names = sorted(os.listdir(folder))
            self.sets[kind] = [(name[:-4], read(os.path.join(folder, name))) for name in names]
        # A key's press and its release come from the same key.
        presses = {n[:-2]: s for n, s in self.sets["keys"] if n.endswith("-0")}
        releases = {n[:-2]: s for n, s in self.sets["keys"] if n.endswith("-1")}
        self.keys = [(presses[k], releases[k]) for k in sorted(presses) if k in releases]


def add(scene, clip, at):
    start = int(round(at * RATE))
    end = min(len(scene), start + len(clip))
    if end > start:
        scene[start:end] += clip[: end - start]


def room_noise(rng, n):
    # Soft and mostly low: white noise through a one-pole low-pass at about 1 kHz.
    a = np.exp(-2 * np.pi * 1000.0 / RATE)
    out = lfilter([1 - a], [1, -a], rng.standard_normal(n))
    return out * db(ROOM_NOISE_DBFS) / np.sqrt(np.mean(out**2))


def typing(rng, clips, seconds):
    scene = np.zeros(int(seconds * RATE))
    level = rng.uniform(*TYPING_PEAK_DBFS)
    t = rng.uniform(0.0, 0.5)
    while t < seconds:
        rate = rng.uniform(*TYPING_KEYS_PER_S)
        burst_end = t + rng.uniform(2.0, 6.0)
        while t < min(burst_end, seconds):
            press, release = clips.keys[rng.integers(len(clips.keys))]
            gain = db(level + rng.uniform(-4.0, 4.0)) / np.max(np.abs(press))
            add(scene, gain * press, t)
            add(scene, gain * release, t + rng.uniform(0.05, 0.15))
            t += rng.exponential(1.0 / rate) * 0.5 + 0.5 / rate
        t += rng.uniform(0.5, 2.0)
    return scene


def speech(rng, clips, seconds):
    scene = np.zeros(int(seconds * RATE))
    level = rng.uniform(*SPEECH_PEAK_DBFS)
    t = rng.uniform(0.0, 0.5)
    while t < seconds:
        _, prompt = clips.sets["speech"][rng.integers(len(clips.sets["speech"]))]
        add(scene, prompt * db(level + rng.uniform(-2.0, 2.0)) / np.max(np.abs(prompt)), t)
        t += len(prompt) / RATE + rng.uniform(0.15, 0.8)
    return scene


def music(rng, clips, seconds):
    n = int(seconds * RATE)
    pieces = []
    while sum(len(p) for p in pieces) < n:
        _, track = clips.sets["music"][rng.integers(len(clips.sets["music"]))]
        pieces.append(track[rng.integers(len(track) // 2):])
    scene = np.concatenate(pieces)[:n]
    return scene * db(rng.uniform(*MUSIC_RMS_DBFS)) / np.sqrt(np.mean(scene**2))


def knocks(rng, clips, scene, seconds):
    labels = []
    t = 1.0 + rng.uniform(0.0, 1.0)
    while t < seconds - 0.5:
        kind = KNOCK_KINDS[rng.integers(len(KNOCK_KINDS))]
        name, clip = clips.sets[kind][rng.integers(len(clips.sets[kind]))]
        peak = np.max(np.abs(clip))
        onset = int(np.argmax(np.abs(clip) >= ONSET_FRACTION * peak))
        level = rng.uniform(*KNOCK_DBFS)
        add(scene, clip * db(level) / peak, t - onset / RATE)
        labels.append({"t": round(t, 6), "kind": kind, "clip": name, "dbfs": round(level, 2)})
        t += rng.uniform(*KNOCK_GAP_S)
    return labels


def build(clips, background, with_hits, seed, seconds):
    index = BACKGROUNDS.index(background) * 2 + int(with_hits)
    rng = np.random.default_rng([seed, index])
    n = int(seconds * RATE)
    scene = room_noise(rng, n)
    if background == "typing":
        scene += typing(rng, clips, seconds)
    elif background == "speech":
        scene += speech(rng, clips, seconds)
    elif background == "music":
        scene += music(rng, clips, seconds)
    labels = knocks(rng, clips, scene, seconds) if with_hits else []
    return scene, labels


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("clips")
    parser.add_argument("out")
    parser.add_argument("--seeds", default="1-20")
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--kinds", default=",".join(b + s for b in BACKGROUNDS for s in ("", "-hits")))
    args = parser.parse_args()
    first, _, last = args.seeds.partition("-")
    clips = Clips(args.clips)
    os.makedirs(args.out, exist_ok=True)
    for kind in args.kinds.split(","):
        background, _, hits = kind.partition("-")
        for seed in range(int(first), int(last or first) + 1):
            scene, labels = build(clips, background, bool(hits), seed, args.seconds)
            base = os.path.join(args.out, f"{kind}-{seed}")
            write(base + ".wav", scene)
            with open(base + ".json", "w") as f:
                json.dump({"kind": kind, "seed": seed, "seconds": args.seconds, "sound": "default",
                           "sampleRate": RATE, "hits": [k["t"] for k in labels], "knocks": labels}, f, indent=1)


if __name__ == "__main__":
    main()
