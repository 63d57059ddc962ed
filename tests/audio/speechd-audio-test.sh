#!/bin/bash
# Audio capture test of the speech-dispatcher engine.
#
# 1. A private PulseAudio with a null sink and a private speech-dispatcher
#    (started by the engine itself) live in a temporary folder. The program
#    speaks a Japanese sentence; the sink's monitor is recorded and compared,
#    in blocks of samples, with espeak-ng's rendering of the same markup. The
#    pause at 「。」 must be in the recording: speech-dispatcher drops the
#    character itself, so the engine sends the pause as a break.
# 1c. Continuous reading hands the next unit to speech-dispatcher while the
#    one before it plays: the silence between two sentences read as two units
#    is shorter than the pause at 「。」 inside one utterance plus 150 ms (the
#    shortest of up to three readings, as a busy machine slows
#    speech-dispatcher's own step between messages). The
#    control: the same sentences with the second spoken 200 ms after the end
#    of the first (a reader that waits for a poll) must exceed that bound.
# 2. The sound cue ir_begin.wav, played synchronously through Qt Multimedia,
#    is recorded the same way and compared with the file.
# 3. When speech-dispatcher is killed in the middle of an utterance, the
#    utterance still ends.
# 4. Without any audio server, a speak must still end (the engine's
#    watchdog), and the engine must report that no audio output works.
#
# usage: speechd-audio-test.sh SPEAK_PROGRAM COMPARE_PROGRAM RESOURCE_DIR
set -u
PROG=$1
COMPARE=$2
RESOURCES=$3
TEXT='こんにちは。カタカナです。'

. "$(dirname "$0")/private-audio.sh"

for tool in pulseaudio parecord sox espeak-ng speech-dispatcher; do
    command -v $tool >/dev/null || fail "$tool is missing (run scripts/setup.sh)"
done

private_env() {
    export XDG_RUNTIME_DIR=$W/$1/rt HOME=$W/$1/home XDG_CONFIG_HOME=$W/$1/home/config
    mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$XDG_CONFIG_HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset SPEECHD_ADDRESS PULSE_SERVER
}

trim() {
    sox "$1" -t raw "$2" silence 1 1 0.1% reverse silence 1 1 0.1% reverse
}

# recorded NAME SECONDS COMMAND...: runs the command (at most SECONDS, its
# output in $W/NAME.out) while the sink's monitor is recorded into
# $W/NAME.wav, with a little silence on either side; the command's status.
# A low-latency recording keeps the null sink from delaying the first audio.
recorded() {
    local name=$1 seconds=$2 status
    shift 2
    parecord --latency-msec=20 --device=nullsink.monitor --rate=22050 --channels=1 --format=s16le \
        --file-format=wav "$W/$name.wav" &
    REC=$!
    PIDS+=($REC)
    sleep 0.3
    timeout "$seconds" "$@" >"$W/$name.out" 2>&1
    status=$?
    sleep 0.3
    kill $REC
    wait $REC 2>/dev/null
    return $status
}

# --- 1. speech through a null sink -------------------------------------------
private_env sink
start_null_sink

# The reference: the markup the engine sent, without the punctuation that
# speech-dispatcher drops, rendered by espeak-ng at the levels the program
# set (rate 0 = 170 words/min, pitch 0 = 50, volume 100 = amplitude 200).
SSML=$("$PROG" --ssml "$TEXT")
REF_SSML=$(printf '%s' "$SSML" | sed 's/。//g; s/、//g')
NOPAUSE=$(printf '%s' "$TEXT" | sed 's/。/ /g; s/、/ /g')
espeak-ng -v ja -s 170 -p 50 -a 200 -m -w "$W/ref.wav" "$REF_SSML" || fail "espeak-ng failed"
espeak-ng -v ja -s 170 -p 50 -a 200 -w "$W/nopause.wav" "$NOPAUSE" || fail "espeak-ng failed"
trim "$W/ref.wav" "$W/ref.raw"
trim "$W/nopause.wav" "$W/nopause.raw"

# Ends this part's speech-dispatcher, so that the next utterance is the first
# of a fresh one: a second utterance through the same daemon's espeak-ng
# module does not come out sample for sample as espeak-ng renders it.
fresh_daemon() {
    kill $(pgrep -f "speech-dispatcher.*$W/sink/" 2>/dev/null) 2>/dev/null
    for _ in $(seq 1 100); do
        pgrep -f "speech-dispatcher.*$W/sink/" >/dev/null || break
        sleep 0.05
    done
}

# One utterance, the first of a fresh speech-dispatcher, recorded from the
# sink's monitor into cap.raw; fails the test when the engine does not report
# it as spoken.
capture_sentence() {
    fresh_daemon
    recorded cap 60 "$PROG" "$TEXT" || fail "speaking failed: $(cat "$W/cap.out")"
    grep -q '^started$' "$W/cap.out" || fail "no start reported: $(cat "$W/cap.out")"
    grep -q '^finished$' "$W/cap.out" || fail "no end reported: $(cat "$W/cap.out")"
    grep -q 'audio-output-failed' "$W/cap.out" && fail "audio reported as failing with a working sink"
    trim "$W/cap.wav" "$W/cap.raw"
}
# A sound server on a busy machine now and then drops or repeats a stretch of
# a recording; one of up to three recordings must be the reference sample for
# sample (a wrong rendering or a lost pause fails all three).
same=0
for attempt in 1 2 3; do
    capture_sentence
    if "$COMPARE" "$W/cap.raw" "$W/ref.raw" 300 >"$W/compare.out"; then
        same=1
        break
    fi
    echo "recording $attempt: $(tr '\n' ' ' <"$W/compare.out")"
done
cat "$W/compare.out"
[ "$same" = 1 ] || fail "the capture is not the reference speech with its pauses"
# A control: the same sentence rendered without the pauses must not pass.
if "$COMPARE" "$W/cap.raw" "$W/nopause.raw" 0 >"$W/control.out"; then
    fail "the comparison cannot tell the pauses apart: $(cat "$W/control.out")"
fi
echo "control without pauses: $(tr '\n' ' ' <"$W/control.out")"
echo "PASS (${SECONDS} s): speech captured as rendered, with the pause at 「。」"

# --- 1b. kanji through espeak-ng and the Japanese reading front end -----------
# Without the front end espeak-ng says "Chinese letter" for each kanji (over
# 6 s for the first sentence alone); with it the two sentences take under 3 s
# and keep the pause at 「。」 between them.
KANJI='今日は良い天気ですね。雨です。'
# A fresh speech-dispatcher, as in part 1.
fresh_daemon
recorded kanji 60 "$PROG" --front-end "$KANJI" || fail "speaking kanji failed: $(cat "$W/kanji.out")"
grep -q '^mode .* module espeak' "$W/kanji.out" || fail "the voice is not espeak-ng: $(cat "$W/kanji.out")"
grep -q '^front-end on$' "$W/kanji.out" || fail "the front end was not applied: $(cat "$W/kanji.out")"
grep -q '^finished$' "$W/kanji.out" || fail "no end reported for the kanji sentence: $(cat "$W/kanji.out")"
KANJI_SSML=$("$PROG" --front-end --ssml "$KANJI")
printf '%s' "$KANJI_SSML" | LC_ALL=C.UTF-8 grep -qP '[\x{4E00}-\x{9FFF}]' && fail "kanji left for espeak-ng: $KANJI_SSML"
espeak-ng -v ja -s 170 -p 50 -a 200 -m -w "$W/kanji-ref.wav" "$(printf '%s' "$KANJI_SSML" | sed 's/。//g; s/、//g')" \
    || fail "espeak-ng failed"
espeak-ng -v ja -s 170 -p 50 -a 200 -w "$W/kanji-raw.wav" "$KANJI" || fail "espeak-ng failed"
trim "$W/kanji.wav" "$W/kanji.raw"
trim "$W/kanji-ref.wav" "$W/kanji-ref.raw"
trim "$W/kanji-raw.wav" "$W/kanji-raw.raw"
KANJI_MS=$(($(stat -c%s "$W/kanji.raw") * 1000 / 2 / 22050))
RAW_MS=$(($(stat -c%s "$W/kanji-raw.raw") * 1000 / 2 / 22050))
[ "$KANJI_MS" -gt 500 ] || fail "the kanji sentence was hardly heard: ${KANJI_MS} ms"
[ "$KANJI_MS" -lt 3000 ] || fail "the kanji sentence took ${KANJI_MS} ms: kanji spelled out?"
# A control: the same text without the front end must not pass that bound.
[ "$RAW_MS" -ge 3000 ] || fail "the length bound cannot tell: without the front end ${RAW_MS} ms"
"$COMPARE" "$W/kanji.raw" "$W/kanji-ref.raw" 300 || fail "the kanji capture is not the converted speech with its pause"
echo "PASS (${SECONDS} s): kanji read through the front end in ${KANJI_MS} ms (without it ${RAW_MS} ms), pause at 「。」 kept"

# --- 1c. continuous reading without a gap between units -----------------------
PAUSE_MS=$("$COMPARE" --longest-pause "$W/cap.raw") || fail "no speech in the first capture"
units_capture() {
    recorded "$1" 60 "$PROG" "--$1" 'こんにちは。' 'カタカナです。' || fail "$1 reading failed: $(cat "$W/$1.out")"
    grep -q '^finished$' "$W/$1.out" || fail "no end reported for $1 reading: $(cat "$W/$1.out")"
    trim "$W/$1.wav" "$W/$1.raw"
    "$COMPARE" --longest-pause "$W/$1.raw" || fail "no speech captured in $1 reading"
}
# speech-dispatcher's own step from one message to the next grows when the
# machine is busy; a reader that waits is late every time, so the shortest of
# up to three readings is the one that tells.
GAPLESS_MS=""
for attempt in 1 2 3; do
    gap=$(units_capture continuous) || exit 1
    grep -q '^queued$' "$W/continuous.out" || fail "the second unit was not handed over early: $(cat "$W/continuous.out")"
    echo "continuous reading, reading $attempt: ${gap} ms between units"
    if [ -z "$GAPLESS_MS" ] || [ "$gap" -lt "$GAPLESS_MS" ]; then
        GAPLESS_MS=$gap
    fi
    [ "$GAPLESS_MS" -lt $((PAUSE_MS + 150)) ] && break
done
STEPPED_MS=$(units_capture late) || exit 1
echo "pause at 。 in one utterance ${PAUSE_MS} ms; between units: handed over early ${GAPLESS_MS} ms, 200 ms after the end ${STEPPED_MS} ms"
[ "$GAPLESS_MS" -gt 0 ] || fail "the two units of continuous reading ran together or one was lost"
[ "$GAPLESS_MS" -lt $((PAUSE_MS + 150)) ] || fail "continuous reading left ${GAPLESS_MS} ms between units (pause ${PAUSE_MS} ms)"
[ "$STEPPED_MS" -ge $((PAUSE_MS + 150)) ] || fail "the gap bound cannot tell: 200 ms after the end ${STEPPED_MS} ms"
echo "PASS (${SECONDS} s): continuous reading leaves ${GAPLESS_MS} ms between units, within the pause at 。 plus 150 ms"

# --- 1d. hundreds of interruptions -----------------------------------------
# Every reset ends its utterances at once, and the daemon's cancel for each
# comes afterwards; none of them may stay behind and crowd out the
# notifications of later utterances, or continuous reading would stall.
timeout 120 "$PROG" --interrupt 500 'こんにちは。' 'カタカナです。' >"$W/interrupt.out" 2>&1 \
    || fail "reading after interruptions failed: $(tail -n 5 "$W/interrupt.out")"
grep -q '^interrupted 500$' "$W/interrupt.out" || fail "the interruptions did not run: $(tail -n 5 "$W/interrupt.out")"
grep -q '^queued$' "$W/interrupt.out" || fail "continuous reading did not hand over after the interruptions"
grep -q '^finished$' "$W/interrupt.out" || fail "continuous reading did not end after the interruptions"
grep -q 'audio-output-failed' "$W/interrupt.out" && fail "audio reported as failing after the interruptions"
held=$(sed -n 's/^held //p' "$W/interrupt.out")
[ -n "$held" ] && [ "$held" -le 2 ] || fail "notifications kept after 500 interruptions: ${held:-none}"
echo "PASS (${SECONDS} s): 500 interruptions, then continuous reading to its end; ${held} notifications kept"

# --- 2. the sound cue, played synchronously into the same sink ---------------
recorded cue 30 "$PROG" --sound "$RESOURCES" ir_begin.wav || fail "cue not played: $(cat "$W/cue.out")"
trim "$W/cue.wav" "$W/cue.raw"
trim "$RESOURCES/sounds/ir_begin.wav" "$W/cue-ref.raw"
"$COMPARE" "$W/cue.raw" "$W/cue-ref.raw" 0 || fail "the recorded cue is not ir_begin.wav"
# All of it, save the recorder's first milliseconds.
[ "$(stat -c%s "$W/cue.raw")" -ge $(($(stat -c%s "$W/cue-ref.raw") * 9 / 10)) ] || fail "part of the cue is missing"
echo "PASS (${SECONDS} s): ir_begin.wav played to its end"

# --- 3. the daemon dies in the middle of an utterance -------------------------
LONG=$(printf 'ながいぶんしょうをよみあげています。%.0s' $(seq 1 5))
timeout 60 "$PROG" --watchdog 1 1500 "$LONG" >"$W/dies.out" 2>&1 &
SPEAKER=$!
PIDS+=($SPEAKER)
for _ in $(seq 1 500); do
    grep -q '^started$' "$W/dies.out" && break
    sleep 0.02
done
grep -q '^started$' "$W/dies.out" || fail "the long utterance did not start: $(cat "$W/dies.out")"
kill -9 $(pgrep -f "speech-dispatcher.*$W/sink/" 2>/dev/null) 2>/dev/null
wait $SPEAKER || fail "speaking hung or failed when the daemon died: $(cat "$W/dies.out")"
grep -q '^finished$' "$W/dies.out" || fail "no end after the daemon died: $(cat "$W/dies.out")"
echo "PASS (${SECONDS} s): an utterance ends when speech-dispatcher dies under it"

# Stop this daemon and sink before the next part.
kill $(pgrep -f "$W/sink/" 2>/dev/null) $PA 2>/dev/null
sleep 0.3

# --- 4. no audio output at all ---------------------------------------------
private_env nosink
# No server, and none may be started for us.
export PULSE_SERVER=unix:$W/nosink/no-such-socket
timeout 60 "$PROG" --watchdog 1 1500 "$TEXT" >"$W/watchdog.out" 2>&1 \
    || fail "speaking without audio hung or failed: $(cat "$W/watchdog.out")"
grep -q '^finished$' "$W/watchdog.out" || fail "no end without audio: $(cat "$W/watchdog.out")"
if [ ! -e /dev/snd ]; then
    grep -q '^audio-output-failed$' "$W/watchdog.out" \
        || fail "missing audio not reported: $(cat "$W/watchdog.out")"
fi
echo "PASS (${SECONDS} s): without audio output the utterance still ends and the failure is reported"
exit 0
