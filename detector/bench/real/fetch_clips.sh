#!/bin/sh
# Fetches the recordings from Debian's archive (apt-get download, nothing else) and converts the
# clips the real-recording scenes are built from to 16 kHz mono 16-bit WAV under DIR/clips.
#   fetch_clips.sh DIR
# Needs sox, ffmpeg (for the G.722 voice prompts) and python3. Packages already in DIR are reused.
set -eu
dir=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dir/debs" "$dir/root"
cd "$dir/debs"
for package in hydrogen-drumkits bucklespring-data asterisk-core-sounds-en-g722 gcompris-qt-data; do
    if ! ls "${package}"_*.deb >/dev/null 2>&1; then
        apt-get download "$package"
    fi
done
for deb in *.deb; do
    dpkg-deb -x "$deb" "$dir/root"
done

kits=$dir/root/usr/share/hydrogen/data/drumkits
clips=$dir/clips
rm -rf "$clips"
mkdir -p "$clips/thump" "$clips/slap" "$clips/wood" "$clips/drum" "$clips/keys" "$clips/speech" "$clips/music"

# One channel, 16 kHz, at most 1 s: the same path as live capture.
convert() { # kind source
    name=$(basename "$2" | tr ' ' '_' | sed 's/\.[^.]*$//')
    sox -V1 "$2" -r 16000 -c 1 -b 16 "$clips/$1/$(basename "$(dirname "$2")" | tr ' ' '_')-$name.wav" trim 0 1.0
}
for f in "$kits/Gimme A Hand 1.0"/CajonThumps-*.wav "$kits/circAfrique v4"/Djembe?\ Bass.wav \
         "$kits/circAfrique v4"/*Head\ Mute.wav; do convert thump "$f"; done
for f in "$kits/Gimme A Hand 1.0"/CajonSlaps-*.wav "$kits/Gimme A Hand 1.0"/HandClap-*.wav \
         "$kits/circAfrique v4"/Djembe?\ Slap.wav "$kits/The Black Pearl 1.0/HandClap.wav" \
         "$kits/Millo_MultiLayered2"/clap_0*.flac; do convert slap "$f"; done
for f in "$kits/Gimme A Hand 1.0"/Clave-*.wav "$kits/ForzeeStereo"/Stick-*.wav "$kits/ForzeeStereo"/RimClick-*.wav \
         "$kits/The Black Pearl 1.0"/PearlSideStick-*.wav "$kits/Millo_MultiLayered2"/rim_0*.flac; do
    convert wood "$f"
done
for f in "$kits/The Black Pearl 1.0"/PearlTom*.wav "$kits/The Black Pearl 1.0"/PearlKick-*.wav \
         "$kits/ForzeeStereo"/Tom*-[02].wav "$kits/ForzeeStereo"/Kick-[024].wav \
         "$kits/Millo_MultiLayered2"/floortom_0*.flac "$kits/Millo_MultiLayered2"/bd_0*.flac; do
    convert drum "$f"
done
for f in "$dir/root/usr/share/buckle/wav"/*.wav; do
    sox -V1 "$f" -r 16000 -c 1 -b 16 "$clips/keys/$(basename "$f")"
done
for f in "$dir/root/usr/share/asterisk/sounds/en_US_f_Allison"/*.g722; do
    ffmpeg -loglevel error -f g722 -i "$f" -ar 16000 -ac 1 -y "$clips/speech/$(basename "$f" .g722).wav"
done
python3 "$here/rcc_extract.py" "$dir/root/usr/share/gcompris-qt/rcc/explore_world_music.rcc" "$dir/music" .ogg >/dev/null
for f in $(find "$dir/music" -name '*.ogg' | sort); do
    sox -V1 "$f" -r 16000 -c 1 -b 16 "$clips/music/$(basename "$f" .ogg).wav"
done
for kind in thump slap wood drum keys speech music; do
    echo "$kind: $(ls "$clips/$kind" | wc -l) clips"
done
