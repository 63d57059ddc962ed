#!/usr/bin/env bash
# Measures the whole program under Xvfb against the local board server, with
# speech going to a transcript engine whose utterances take no time: a
# realistic 1000-message thread (make-realistic-thread) replaces the sample
# board's 1000-message one, is opened with the keys and read to its end.
# Prints: the resident memory before and after opening the thread and the
# largest anonymous mapping; the units read and the time per unit (from the
# transcript's time stamps, first unit to "読み上げ完了"); then, with the
# thread open and reading stopped, the CPU time used and the context switches
# of all the program's threads over IDLE_SECONDS (each wake-up of a sleeping
# thread is one voluntary switch).
# The file syncs and renames from the key that opens the thread to two
# seconds after its end are counted with perf's system-call tracepoints.
# Usage: measure-program.sh PROGRAM BOARDSERVER MAKE_THREAD SAMPLES_BOARD [IDLE_SECONDS]
set -euo pipefail
program=$1
server=$2
make_thread=$3
samples=$4
idle=${5:-30}

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cp -r "$samples" "$work/board"
"$make_thread" "$work/board/zatsudan/dat/1714300000.dat"
echo "thread: $(stat -c %s "$work/board/zatsudan/dat/1714300000.dat") bytes"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

"$server" --root "$work/board" --port 0 >"$work/server.out" 2>"$work/server.err" &
pids+=($!)
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out" 2>/dev/null || true)
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { echo "board server did not start" >&2; exit 1; }

mkdir -p "$work/data" "$work/config" "$work/home"
printf '[Config]\nBoardListUrl=http://menu.2ch.example/bbsmenu.html\nSetting15=1\nSetting16=127.0.0.1:%s\n' \
    "$port" >"$work/config/yomimaru.ini"
transcript="$work/transcript.txt"
export YOMIMARU_TRANSCRIPT_MS_PER_CHAR=0 QT_QPA_PLATFORM=xcb HOME="$work/home"

texts() { cut -f6- "$transcript" 2>/dev/null | sed 's/^text=//'; }
wait_for() {
    for _ in $(seq 1 1200); do
        if texts | grep -qxF -- "$1"; then return 0; fi
        sleep 0.1
    done
    echo "timed out waiting for: $1" >&2
    texts | tail -n 5 >&2
    exit 1
}
key() { xdotool key --delay 60 "$@"; sleep 0.4; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$app/status"; }
largest_anon() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { anon = (NF < 6 || $6 == "[heap]") ; name = (NF < 6 ? "anonymous" : $6) }
         /^Rss:/ && anon && $2 > max { max = $2; which = name }
         END { printf "%d kB (%s)\n", max, which }' "/proc/$app/smaps"
}
switches() {
    cat /proc/$app/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
ms_of() { awk -F'\t' -v want="text=$1" '$6 == want { split($1, t, "T"); split(t[2], h, ":"); print ((h[1] * 60 + h[2]) * 60 + h[3]) * 1000; exit }' "$transcript"; }

"$program" --data-dir "$work/data" --config-dir "$work/config" --speech="transcript:$transcript" \
    >"$work/program.log" 2>&1 &
app=$!
pids+=($app)
window=""
for _ in $(seq 1 600); do
    window=$(xdotool search --onlyvisible --name '^Yomimaru' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.05
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
xdotool windowfocus --sync "$window"
wait_for "読み丸を起動しました。板の一覧を最新にしました。"
sleep 1
echo "RSS before a thread is opened: $(rss_kb) kB; largest anonymous mapping $(largest_anon)"

key Down; key Return; key 3; key Return; key Down; key Return; key Down
syncs=""
if command -v perf >/dev/null; then
    perf stat -e 'syscalls:sys_enter_fsync,syscalls:sys_enter_fdatasync,syscalls:sys_enter_rename,syscalls:sys_enter_renameat,syscalls:sys_enter_renameat2' \
        -p "$app" -x, -o "$work/syncs.txt" &
    syncs=$!
    sleep 0.5
fi
key Return
wait_for "メッセージ数は1000です。"
wait_for "読み上げ完了"
first=$(awk -F'\t' '$6 == "text=メッセージ数は1000です。" { found = NR } END { print found + 1 }' "$transcript")
last=$(awk -F'\t' '$6 == "text=読み上げ完了" { print NR; exit }' "$transcript")
units=$((last - first))
start_ms=$(awk -F'\t' -v n="$first" 'NR == n { split($1, t, "T"); split(t[2], h, ":"); print ((h[1] * 60 + h[2]) * 60 + h[3]) * 1000 }' "$transcript")
end_ms=$(ms_of "読み上げ完了")
awk -v u="$units" -v a="$start_ms" -v b="$end_ms" \
    'BEGIN { printf "read %d units in %.0f ms: %.2f ms a unit\n", u, b - a, (b - a) / u }'
sleep 2
if [ -n "$syncs" ]; then
    kill -INT "$syncs"
    wait "$syncs" 2>/dev/null || true
    echo "from opening the thread to the end of reading:" \
        $(awk -F, '/syscalls:/ { sub("syscalls:sys_enter_", "", $3); printf "%s %s, ", $3, $1 }' "$work/syncs.txt")
fi
echo "RSS with the thread open: $(rss_kb) kB; largest anonymous mapping $(largest_anon)"

ticks0=$(cpu_ticks)
if command -v perf >/dev/null; then
    # Context switches of every thread of the program, threads ending
    # meanwhile included; each wake-up from sleep is one.
    perf stat -e context-switches,task-clock -p "$app" -x, -o "$work/perf.txt" -- sleep "$idle"
    switched=$(awk -F, '$3 == "context-switches" { print $1 }' "$work/perf.txt")
else
    sw0=$(switches)
    sleep "$idle"
    switched=$(($(switches) - sw0))
fi
ticks1=$(cpu_ticks)
hz=$(getconf CLK_TCK)
awk -v t="$((ticks1 - ticks0))" -v hz="$hz" -v s="$idle" -v w="$switched" \
    'BEGIN { printf "idle %d s, thread open, reading stopped: CPU %.2f %% (%d ticks of 1/%d s), %.2f context switches a second\n", s, 100 * t / hz / s, t, hz, w / s }'
[ -f "$work/perf.txt" ] && grep -E "context-switches|task-clock" "$work/perf.txt"
key ctrl+shift+q
