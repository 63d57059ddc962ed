#!/bin/bash
# Audio capture test of the Open JTalk voice through speech-dispatcher and the
# program's own output module, yomimaru-openjtalk.
#
# A private PulseAudio null sink and a private speech-dispatcher live in a
# temporary folder; the module is installed for the user as
# scripts/setup.sh --natural-voice installs it: the program in
# ~/.local/libexec/speech-dispatcher-modules/, its file alone in
# $XDG_CONFIG_HOME/speech-dispatcher/modules/, no speechd.conf.
# 1. speech-dispatcher finds both espeak-ng and yomimaru-openjtalk.
# 2. 「今日は良い天気ですね。」 spoken by the program's engine with the Open
#    JTalk voice is recorded from the sink's monitor; its length (silence
#    trimmed) is within 15 % of open_jtalk's own rendering of the same text at
#    the same settings, and it is loud enough to be speech.
# 3. The pause at 「。」 survives: 「こんにちは。カタカナです。」 has a silence of
#    at least 300 ms inside it, 「こんにちはカタカナです」 (the control) none.
# 4. A long message is reset 1 s after its sound began: from 50 ms after the
#    reset the recording is silent.
#
# Skipped (exit 77) when Open JTalk or its voice is not installed: the voice
# is in Debian contrib (bash scripts/setup.sh --natural-voice).
#
# usage: openjtalk-audio-test.sh SPEAK_PROGRAM MODULE_PROGRAM MODULE_FILE
set -u
PROG=$1
MODULE=$2
CONF=$3
VOICE=/usr/share/hts-voice/nitech-jp-atr503-m001/nitech_jp_atr503_m001.htsvoice
DICT=/var/lib/mecab/dic/open-jtalk/naist-jdic
TEXT='今日は良い天気ですね。'
LONG='本日のレス数は全体で一万二千三百四十五件でした。明日も良い天気になるでしょう。読み丸の音声確認を続けています。長い文章を最後まで読み上げると、十秒以上かかります。'
RATE=22050
PAUSES=()

. "$(dirname "$0")/private-audio.sh"

skip() {
    echo "SKIP: $*"
    exit 77
}

[ -f "$CONF" ] || fail "$CONF is missing"
[ -x "$MODULE" ] || fail "$MODULE is missing"
command -v open_jtalk >/dev/null || skip "open_jtalk is not installed (package open-jtalk)"
[ -f "$VOICE" ] || skip "the voice $VOICE is not installed (hts-voice-nitech-jp-atr503-m001, Debian contrib: bash scripts/setup.sh --natural-voice)"
[ -d "$DICT" ] || skip "the dictionary $DICT is not installed (open-jtalk-mecab-naist-jdic)"
for tool in pulseaudio parec sox speech-dispatcher spd-say; do
    command -v $tool >/dev/null || fail "$tool is missing (run scripts/setup.sh)"
done


private_home_with_module "$MODULE" "$CONF"

start_null_sink

record() {
    parec --latency-msec=20 --device=nullsink.monitor --rate=$RATE --channels=1 --format=s16le >"$1" &
    REC=$!
    PIDS+=($REC)
    sleep 0.3
}
stop_recording() {
    sleep 0.3
    kill $REC
    wait $REC 2>/dev/null
}
# Seconds of sound in a recording, from its first to its last sample above 1 %
# of its peak (Open JTalk's rendering breathes faintly before and after the
# speech; the sound server passes it more quietly).
sound_length() {
    rm -f "$W/trimmed.wav"
    sox --norm "$@" "$W/trimmed.wav" silence 1 1 1% reverse silence 1 1 1% reverse 2>/dev/null || return
    awk -v d="$(sox --i -D "$W/trimmed.wav" 2>/dev/null)" 'BEGIN { if (d > 0) print d }'
}
raw() {
    echo -t raw -r $RATE -e signed -b 16 -c 1 "$1"
}
# The longest silence, in ms, between the first and the last sound of a raw
# recording: 10 ms blocks whose peak stays under 3 % of the whole peak.
longest_pause() {
    sox $(raw "$1") -t dat - 2>/dev/null | awk -v block=$((RATE / 100)) '
        /^;/ { next }
        { v = $2 < 0 ? -$2 : $2; b = int(n / block); n++; if (v > peak[b]) peak[b] = v; if (v > top) top = v }
        END {
            for (i = 0; i <= b; i++) {
                if (peak[i] >= 0.03 * top) { if (first == "") first = i; last = i }
            }
            run = 0; best = 0
            for (i = first; i <= last; i++) {
                if (peak[i] < 0.03 * top) { run++; if (run > best) best = run } else run = 0
            }
            print best * 10
        }'
}

# --- 1. both modules ----------------------------------------------------------
[ "$(find "$XDG_CONFIG_HOME/speech-dispatcher" -type f | wc -l)" -eq 1 ] || fail "more than the module file in the configuration"
MODULES=$(timeout 30 spd-say -O 2>&1)
echo "$MODULES" | grep -qx 'espeak-ng' || fail "espeak-ng is not listed: $MODULES"
echo "$MODULES" | grep -qx 'yomimaru-openjtalk' || fail "yomimaru-openjtalk is not listed: $MODULES"
echo "PASS (${SECONDS} s): spd-say -O lists $(echo "$MODULES" | tail -n +2 | tr '\n' ' ')"

# --- 2. one sentence, as long as Open JTalk's own rendering -------------------
record "$W/cap.raw"
timeout 60 "$PROG" openjtalk "$TEXT" >"$W/speak.out" 2>&1 || fail "speaking failed: $(cat "$W/speak.out")"
stop_recording
grep -q '^module yomimaru-openjtalk$' "$W/speak.out" || fail "not the Open JTalk voice: $(cat "$W/speak.out")"
grep -q '^finished$' "$W/speak.out" || fail "no end reported: $(cat "$W/speak.out")"
grep -q 'audio-output-failed' "$W/speak.out" && fail "audio reported as failing with a working sink"
printf '%s' "$TEXT" | open_jtalk -x "$DICT" -m "$VOICE" -r 1 -fm 0 -g 0 -ow "$W/ref.wav" || fail "open_jtalk failed"
CAP_S=$(sound_length $(raw "$W/cap.raw"))
REF_S=$(sound_length "$W/ref.wav")
RMS=$(sox $(raw "$W/cap.raw") -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
echo "recorded ${CAP_S:-?} s of sound, open_jtalk -ow ${REF_S:-?} s, RMS ${RMS:-?}"
[ -n "$CAP_S" ] && [ -n "$REF_S" ] || fail "no sound to measure"
awk -v c="$CAP_S" -v r="$REF_S" 'BEGIN { exit !(c >= 0.85 * r && c <= 1.15 * r) }' \
    || fail "the recording (${CAP_S} s) is not within 15 % of the rendering (${REF_S} s)"
awk -v x="${RMS:-0}" 'BEGIN { exit !(x > 0.01) }' || fail "the recording is too quiet to be speech (RMS ${RMS})"
echo "PASS (${SECONDS} s): 「${TEXT}」 spoken with Open JTalk, as long as its own rendering"

# --- 3. the pause at 「。」 -----------------------------------------------------
for text in 'こんにちは。カタカナです。' 'こんにちはカタカナです'; do
    record "$W/pause.raw"
    timeout 60 "$PROG" openjtalk "$text" >"$W/pause.out" 2>&1 || fail "speaking failed: $(cat "$W/pause.out")"
    stop_recording
    PAUSES+=("$(longest_pause "$W/pause.raw")")
done
echo "longest silence inside the speech: ${PAUSES[0]} ms with 「。」, ${PAUSES[1]} ms without"
[ "${PAUSES[0]}" -ge 300 ] || fail "no pause at 「。」 (${PAUSES[0]} ms)"
[ "${PAUSES[1]}" -lt 300 ] || fail "the control without 「。」 pauses too (${PAUSES[1]} ms): the measure is wrong"
echo "PASS (${SECONDS} s): Open JTalk pauses at 「。」"

# --- 4. a reset silences it ---------------------------------------------------
record "$W/long.raw"
timeout 60 "$PROG" --cancel-after-audio 1000 "$W/long.raw" openjtalk "$LONG" >"$W/cancel.out" 2>&1 \
    || fail "speaking failed: $(cat "$W/cancel.out")"
sleep 1.5
stop_recording
AT=$(sed -n 's/^cancel-at-byte //p' "$W/cancel.out")
[ -n "$AT" ] || fail "the speech was never reset: $(cat "$W/cancel.out")"
grep -q '^finished$' "$W/cancel.out" || fail "no end after the reset: $(cat "$W/cancel.out")"
# From 50 ms after the reset to the end of the recording.
QUIET_FROM=$((AT / 2 + RATE / 20))
TOTAL=$(($(stat -c%s "$W/long.raw") / 2))
[ "$TOTAL" -gt $((QUIET_FROM + RATE)) ] || fail "the recording ends too soon after the reset"
PEAK=$(sox $(raw "$W/long.raw") -n trim ${QUIET_FROM}s stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')
BEFORE=$(sox $(raw "$W/long.raw") -n trim 0 $((AT / 2))s stat 2>&1 | awk '/Maximum amplitude/ { print $3 }')
echo "peak before the reset ${BEFORE:-?}, from 50 ms after it ${PEAK:-?} ($(((TOTAL - QUIET_FROM) * 1000 / RATE)) ms)"
awk -v x="${BEFORE:-0}" 'BEGIN { exit !(x > 0.05) }' || fail "no sound before the reset"
awk -v x="${PEAK:-1}" 'BEGIN { exit !(x < 0.01) }' || fail "sound 50 ms after the reset (peak ${PEAK})"
echo "PASS (${SECONDS} s): silent 50 ms after a reset 1 s into the sound"
exit 0
