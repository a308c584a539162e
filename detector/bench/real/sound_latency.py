#!/usr/bin/python3
"""Measures, through the real daemon, the time from each knock's onset to the first sample of its
sound: replays scenes with THWACK_AUDIO_OUT=file.wav (the sounds on the replay's timeline) and reads
the two files side by side. Also checks the "hit at <seconds> s" lines against the sounds.

    sound_latency.py DAEMON SCENES [--kinds quiet-hits,typing-hits] [--sensitivity 1.0]
"""
import argparse
import glob
import json
import os
import re
import subprocess
import tempfile
import wave

import numpy as np

EARLIEST, LATEST = -0.010, 0.100


def read(path):
    with wave.open(path) as w:
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
        return data.astype(np.float64) / 32768.0, w.getframerate()


def sound_starts(samples, rate):
    """First samples of sounds: a non-zero sample after at least 5 ms of exact silence."""
    nonzero = np.flatnonzero(samples != 0.0)
    if nonzero.size == 0:
        return []
    gaps = np.diff(nonzero) > int(0.005 * rate)
    return list(nonzero[np.concatenate(([True], gaps))] / rate)


def replay(daemon, scene, sensitivity, out):
    """Runs one replay; the daemon's input stays open until it says the replay finished."""
    env = dict(os.environ, THWACK_INPUT=scene, THWACK_AUDIO_OUT=out)
    config = json.dumps({"cmd": "config", "sensitivity": sensitivity, "sound": "default", "paused": False})
    process = subprocess.Popen([daemon], env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
    process.stdin.write(config + "\n")
    process.stdin.flush()
    hits = []
    for line in process.stderr:
        line = line.rstrip("\n")
        if line == "replay finished":
            break
        match = re.fullmatch(r"hit at ([0-9.]+) s", line)
        if match:
            hits.append(float(match.group(1)))
    process.stdin.close()
    process.wait(timeout=60)
    return hits


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("daemon")
    parser.add_argument("scenes")
    parser.add_argument("--kinds", default="quiet-hits,typing-hits,speech-hits,music-hits")
    parser.add_argument("--sensitivity", type=float, default=1.0)
    args = parser.parse_args()
    print("| scene | knocks | with sound | onset to hit median | p95 | onset to sound median | p95 |")
    print("|---|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as tmp:
        for kind in args.kinds.split(","):
            to_hit, to_sound, knocks = [], [], 0
            for labels in sorted(glob.glob(os.path.join(args.scenes, f"{kind}-*.json"))):
                onsets = json.load(open(labels))["hits"]
                out = os.path.join(tmp, "out.wav")
                hits = replay(args.daemon, labels[:-5] + ".wav", args.sensitivity, out)
                samples, rate = read(out) if os.path.exists(out) else (np.zeros(0), 16000)
                starts = sound_starts(samples, rate)
                knocks += len(onsets)
                for series, found in ((hits, to_hit), (starts, to_sound)):
                    used = set()
                    for t in onsets:
                        match = next((i for i, d in enumerate(series)
                                      if i not in used and EARLIEST <= d - t <= LATEST + 0.03), None)
                        if match is not None:
                            used.add(match)
                            found.append(series[match] - t)
            ms = lambda v, q: f"{1000 * np.percentile(v, q, method='inverted_cdf'):.0f} ms" if v else "-"
            print(f"| {kind} | {knocks} | {len(to_sound)} | {ms(to_hit, 50)} | {ms(to_hit, 95)} | "
                  f"{ms(to_sound, 50)} | {ms(to_sound, 95)} |")


if __name__ == "__main__":
    main()
