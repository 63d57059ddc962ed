#!/usr/bin/env bash
# The first sound, the gaps of continuous reading and the stops of the Open
# JTalk module beside espeak-ng, in one run, heard on a private PulseAudio
# null sink: the module driven directly over its protocol, then both modules
# through a private speech-dispatcher by the program's own speech output.
# (speech-dispatcher 0.11's espeak-ng module plays only through the daemon,
# which it sends its sound to, so it is measured through the daemon alone.)
# Usage: speech-latency.sh SPEECH_LATENCY MODULE_PROGRAM MODULE_FILE
# (from a build folder: bash ../bench/speech-latency.sh bench/speech-latency
#  tools/openjtalk-module/sd_yomimaru-openjtalk
#  ../tools/openjtalk-module/yomimaru-openjtalk.conf)
set -u
TOOL=$(realpath "$1")
MODULE=$(realpath "$2")
CONF=$(realpath "$3")

. "$(dirname "$0")/../tests/audio/private-audio.sh"

private_home_with_module "$MODULE" "$CONF"
start_null_sink

echo "machine: $(nproc) cores, $(uname -r); open_jtalk $(dpkg-query -W -f='${Version}' open-jtalk 2>/dev/null), espeak-ng $(dpkg-query -W -f='${Version}' espeak-ng 2>/dev/null), speech-dispatcher $(dpkg-query -W -f='${Version}' speech-dispatcher 2>/dev/null)"
"$TOOL" direct "$MODULE" "$CONF" || fail "the module over its protocol"
"$TOOL" speechd yomimaru-openjtalk || fail "the module through speech-dispatcher"
"$TOOL" speechd espeak-ng || fail "espeak-ng through speech-dispatcher"
