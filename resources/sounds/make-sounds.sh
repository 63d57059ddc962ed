#!/bin/bash
# Makes the two sound cues with sox (package "sox"). Run it here to remake them;
# the results are kept in the repository, so a build never needs sox.
#
#   ir_begin.wav  rising two-note chime (A5 then E6): the program hands an
#                 address to the browser or mailer
#   ir_end.wav    falling two-note chime (E6 then A5), softer: a dialog closes
#
# Both are 22,050 Hz mono 16-bit, about a quarter of a second; each note is a
# plucked string, faded in and out so that it never clicks. A short silence
# ends each file: Qt Multimedia's QSoundEffect on PulseAudio leaves out the
# last tenth of a second or so of what it plays.
set -euo pipefail
cd "$(dirname "$0")"

note() { # frequency seconds volume output
    sox -R -n -r 22050 -c 1 -b 16 "$4" synth "$2" pluck "$1" fade q 0.003 "$2" 0.05 vol "$3"
}

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

note 880 0.11 0.45 "$T/a.wav"
note 1318.5 0.15 0.45 "$T/b.wav"
sox "$T/a.wav" "$T/b.wav" ir_begin.wav pad 0 0.15

note 1318.5 0.11 0.35 "$T/c.wav"
note 880 0.15 0.35 "$T/d.wav"
sox "$T/c.wav" "$T/d.wav" ir_end.wav pad 0 0.15

soxi ir_begin.wav ir_end.wav | grep -E 'Input File|Duration'
