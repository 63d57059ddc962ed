#!/usr/bin/env bash
# A second copy of the program on the same data folder ends at once and
# silently; the first keeps running. The second copy touches none of the
# first one's files, not even a settings file it would repair, and needs no
# display to find that it is the second.
# Usage: second-instance.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
first=""
cleanup() {
    [ -n "$first" ] && kill "$first" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/data" "$work/config"
printf '1\r\n雑談\r\n1\r\n1,http://uni.2ch.example/zatsudan/,なんでも雑談\r\n' >"$work/data/board.list"
export QT_QPA_PLATFORM=offscreen YOMIMARU_TRANSCRIPT_MS_PER_CHAR=0
run() {
    "$program" --offline --data-dir "$work/data" --config-dir "$work/config" --speech="transcript:$1"
}

# The program itself in the background (not a subshell), so that it can be stopped.
"$program" --offline --data-dir "$work/data" --config-dir "$work/config" --speech="transcript:$work/first.txt" \
    >/dev/null 2>&1 &
first=$!
for _ in $(seq 1 200); do [ -s "$work/first.txt" ] && break; sleep 0.05; done
grep -q 'オフラインで起動しました' "$work/first.txt" || { echo "the first copy did not start" >&2; exit 1; }

start=$(date +%s%N)
run "$work/second.txt" >"$work/second.out" 2>&1 || { echo "the second copy failed" >&2; exit 1; }
elapsed=$((($(date +%s%N) - start) / 1000000))
if [ -s "$work/second.txt" ]; then
    echo "the second copy spoke:" >&2
    cat "$work/second.txt" >&2
    exit 1
fi
kill -0 "$first" || { echo "the first copy is gone" >&2; exit 1; }

# A damaged settings file stays as it is when a second copy starts (without
# a display) on the same folders.
printf '[Config]\nSetting1=3\n\xff\xfe garbage [[[ = = =\n[broken\n' >"$work/config/yomimaru.ini"
cp "$work/config/yomimaru.ini" "$work/damaged.ini"
(
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    run "$work/third.txt" >"$work/third.out" 2>&1
) || { echo "the second copy without a display failed:" >&2; cat "$work/third.out" >&2; exit 1; }
cmp -s "$work/config/yomimaru.ini" "$work/damaged.ini" || { echo "the second copy changed the settings file" >&2; exit 1; }
[ ! -e "$work/config/yomimaru.ini.bad" ] || { echo "the second copy set the settings file aside" >&2; exit 1; }
[ ! -s "$work/third.txt" ] || { echo "the second copy spoke" >&2; exit 1; }
kill -0 "$first" || { echo "the first copy is gone" >&2; exit 1; }
echo "second copy ended silently after ${elapsed} ms; the first runs on"
