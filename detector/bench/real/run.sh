#!/bin/sh
# The microphone benchmark on real recordings, from one command:
#   detector/bench/real/run.sh BUILD [WORK]         (WORK defaults to BUILD/real-recordings)
# Fetches and converts the recordings (once), builds the tuning scenes (seeds 1-12) and the
# held-out scenes (seeds 101-112), 60 s per kind, and prints both tables and the onset-to-sound
# latency measured through the daemon. With RETRAIN=1 it first retrains the knock model from the
# tuning scenes into src/detection/knock_model_weights.h (then rebuild and run again).
set -eu
build=$(cd "$1" && pwd)
work=${2:-$build/real-recordings}
here=$(cd "$(dirname "$0")" && pwd)
# Debian's interpreter, which has python3-numpy, python3-scipy and python3-sklearn.
python=${PYTHON:-/usr/bin/python3}
# What fetching, converting and training need; the test suite itself needs none of it.
"$here/../../../scripts/setup" sox ffmpeg python3-numpy python3-scipy python3-sklearn
mkdir -p "$work"
[ -d "$work/clips" ] || "$here/fetch_clips.sh" "$work"
[ -d "$work/tuning" ] || "$python" "$here/make_scenes.py" "$work/clips" "$work/tuning" --seeds 1-12
[ -d "$work/heldout" ] || "$python" "$here/make_scenes.py" "$work/clips" "$work/heldout" --seeds 101-112
if [ "${RETRAIN:-0}" = 1 ]; then
    "$build/bin/thwack-real-bench" "$work/tuning" --features "$work/tuning-features.csv"
    # Generated laptop key clicks and quiet-room knocks, from seeds the synthetic benchmark
    # (1001-1010) never uses, labelled like the recorded scenes.
    "$build/bin/thwack-bench" --seeds 21-32 --seconds 60 --out "$work/generated" --kinds mic-typing,mic-quiet-hits >/dev/null
    "$python" -c 'import glob, json, sys
for p in glob.glob(sys.argv[1] + "/*.json"):
    j = json.load(open(p))
    j["knocks"] = [{"t": t, "kind": "generated", "dbfs": 0.0} for t in j["hits"]]
    json.dump(j, open(p, "w"))' "$work/generated"
    "$build/bin/thwack-real-bench" "$work/generated" --features "$work/generated-features.csv"
    "$python" "$here/train_model.py" "$work/tuning-features.csv" "$here/../../src/detection/knock_model_weights.h" \
        --extra "$work/generated-features.csv" --extra-weight 0.3
    exit 0
fi
echo "## Tuning scenes (seeds 1-12)"
"$build/bin/thwack-real-bench" "$work/tuning"
echo
echo "## Held-out scenes (seeds 101-112)"
"$build/bin/thwack-real-bench" "$work/heldout"
echo
echo "## Onset to first sample of sound, held-out scenes, s = 1.0"
"$python" "$here/sound_latency.py" "$build/libexec/zonkle/thwack-core-daemon" "$work/heldout"
