#!/bin/sh
# Generates the five sound cues of the game into assets/sounds/ with sox.
# Every cue is 16-bit mono PCM at 22050 Hz, at most half a second long, and
# starts and ends with a short fade so it never clicks when cut off.
# Usage: tools/make-sounds.sh [output folder]
set -eu
export LC_ALL=C.UTF-8 # sox reads its numbers with a decimal point

out=${1:-"$(dirname "$0")/../assets/sounds"}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# -R and -D keep the output identical from one run to the next.
cue() {
    file=$1
    shift
    sox -R -D -n -r 22050 -c 1 -b 16 -e signed-integer "$out/$file" "$@"
}

# 1, a ring is lifted: a blip that rises an octave.
cue Dizo1.wav synth 0.12 sine 520:1040 sine mix 1040:2080 \
    fade h 0.008 -0 0.05 gain -n -6

# 2, the selection moved: a short, quiet tick.
cue Dizo2.wav synth 0.035 sine 1900 \
    fade q 0.002 -0 0.03 gain -n -12

# 3, a ring is put down: a soft low thud.
cue Dizo3.wav synth 0.18 sine 200:70 sine mix 400:140 \
    gain -6 lowpass 500 fade q 0.004 -0 0.15 gain -n -4

# 4, a put-down was refused: a low, beating buzz.
cue Dizo4.wav synth 0.25 square 110 square mix 117 \
    gain -6 lowpass 1400 fade h 0.01 -0 0.06 gain -n -10

# 5, the puzzle is solved: C, E, G and the octave, each ringing into the next.
for note in "%3 0" "%7 0.09" "%10 0.18" "%15 0.27"; do
    set -- $note
    sox -R -D -n -r 22050 -c 1 -b 32 -e float "$tmp/note$2.wav" \
        synth 0.2 pluck "$1" fade q 0.005 -0 0.15 pad "$2"
done
sox -R -D -m "$tmp"/note*.wav -b 16 -e signed-integer "$out/Dizo5.wav" \
    lowpass 3000 fade q 0 -0 0.05 gain -n -5
