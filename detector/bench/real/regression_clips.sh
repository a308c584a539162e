#!/bin/sh
# Copies the few converted clips the regression test uses into the repository (detector/tests/data/real).
#   regression_clips.sh CLIPS    (CLIPS: fetch_clips.sh's DIR/clips)
set -eu
clips=$1
out=$(cd "$(dirname "$0")/../../tests/data/real" && pwd)
rm -f "$out"/*.wav
take() { # kind name seconds
    sox -V1 "$clips/$1/$2.wav" "$out/$1-$(echo "$2" | sed 's/^.*1.0-//; s/^circAfrique_v4-//; s/^ForzeeStereo-//')".wav trim 0 "$3"
}
for name in Gimme_A_Hand_1.0-CajonThumps-Med circAfrique_v4-Djembe1_Bass; do take thump "$name" 0.5; done
for name in Gimme_A_Hand_1.0-CajonSlaps-Med Gimme_A_Hand_1.0-HandClap-Med circAfrique_v4-Djembe1_Slap; do take slap "$name" 0.5; done
for name in Gimme_A_Hand_1.0-Clave-Med ForzeeStereo-RimClick-2 ForzeeStereo-Stick-1 The_Black_Pearl_1.0-PearlSideStick-Med; do
    take wood "$name" 0.5
done
for name in The_Black_Pearl_1.0-PearlTom1-Med The_Black_Pearl_1.0-PearlKick-Med ForzeeStereo-TomLow-0; do take drum "$name" 0.5; done
for key in 1e 1f 20 21 22 23; do take keys "$key-0" 0.3; take keys "$key-1" 0.3; done
# Prompts on which the earlier rules gave two or three false hits each (22 in all).
for prompt in at-tone-time-exactly vm-mailboxfull vm-rec-name vm-rec-busy vm-nobox vm-invalid-password \
              vm-enter-num-to-call vm-rec-temp; do
    take speech "$prompt" 6
done
du -sh "$out"
