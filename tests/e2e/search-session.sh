#!/usr/bin/env bash
# Searching by voice with the real program under Xvfb, driven by xdotool keys
# against the local board server, speech going to a transcript: F in the
# reading menu of the 1000-message thread, a romaji word typed, the count of
# hits heard, a move to the second hit, Enter, and reading starts at that
# message; then / in the category menu finds a board by its romaji name.
# Usage: search-session.sh PROGRAM BOARDSERVER SAMPLES
set -euo pipefail
program=$1
server=$2
samples=$3

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"

"$server" --root "$samples" --port 0 >"$work/server.out" 2>"$work/server.err" &
pids+=($!)
port=""
for _ in $(seq 1 100); do
    port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out" 2>/dev/null || true)
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { echo "board server did not start" >&2; exit 1; }

mkdir -p "$work/data" "$work/config"
printf '[Config]\nBoardListUrl=http://menu.2ch.example/bbsmenu.html\nSetting15=1\nSetting16=127.0.0.1:%s\n' \
    "$port" >"$work/config/yomimaru.ini"
transcript="$work/transcript.txt"
export YOMIMARU_TRANSCRIPT_MS_PER_CHAR=0
export QT_QPA_PLATFORM=xcb

texts() { cut -f6- "$transcript" 2>/dev/null | sed 's/^text=//'; }

# Waits until a whole line of the transcript matches the extended regular
# expression, at least a given number of times.
wait_for() {
    local pattern=$1 count=${2:-1}
    for _ in $(seq 1 300); do
        if [ "$(texts | grep -cxE -- "$pattern")" -ge "$count" ]; then return 0; fi
        sleep 0.05
    done
    echo "timed out waiting for: $pattern" >&2
    texts | tail -n 20 >&2
    exit 1
}

"$program" --data-dir "$work/data" --config-dir "$work/config" --speech="transcript:$transcript" \
    >>"$work/program.log" 2>&1 &
pids+=($!)
window=""
for _ in $(seq 1 600); do
    window=$(xdotool search --onlyvisible --name '^Yomimaru' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.05
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
xdotool windowfocus --sync "$window"

key() { xdotool key --delay 60 "$@"; sleep 0.35; }

wait_for "読み丸を起動しました。板の一覧を最新にしました。"
key c; wait_for "カテゴリー選択メニューです"
key 3; wait_for "3,雑談"
key Return; wait_for "板選択メニューです"
key Down; wait_for "1,なんでも雑談"
key Return; wait_for "スレッド選択メニューです"
key Down; wait_for "1, 1から1000まで数えるスレ.*"
key Return; wait_for "メッセージ数は1000です。"

# F in the reading menu: the dialog speaks its caption; the romaji word.
key f; wait_for "検索ダイアログ"
xdotool type --delay 60 getto; sleep 0.3
key Return; wait_for "[0-9]+件です"
hits=$(texts | grep -xE '[0-9]+件です' | tail -n 1)
[ "${hits%件です}" -ge 2 ] || { echo "expected several hits, heard $hits" >&2; exit 1; }
key Down; key Down
second=$(texts | tail -n 1)
echo "$second" | grep -q "ゲット" || { echo "the second hit is no hit: $second" >&2; exit 1; }
key Return; wait_for "読み上げ開始"
# Reading starts at that message: its number is read first.
number=$(echo "$second" | grep -oE '^[0-9]+' || true)
if [ -n "$number" ]; then
    wait_for "$number"
fi

# / in the category menu: a board found by its romaji name is opened at once.
key c; wait_for "カテゴリー選択メニューです" 2
key slash; wait_for "検索ダイアログ" 2
xdotool type --delay 60 hokkaidou; sleep 0.3
key Return; wait_for "2,北海道"
# Back leads to the category menu the board belongs to.
key Escape; wait_for "カテゴリー選択メニューです" 3
key Up; key Down; wait_for "[0-9]+,まちＢＢＳ"

key ctrl+shift+q
echo "search session passed: $hits, second hit: $second"
