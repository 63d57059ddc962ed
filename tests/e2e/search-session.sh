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

source "$(dirname "$0")/lib.sh"
start_display
start_server server "$samples"
write_profile
start_program

wait_for "読み丸を起動しました。板の一覧を最新にしました。"
key c; wait_for "カテゴリー選択メニューです"
key 3; wait_for "3,雑談"
key Return; wait_for "板選択メニューです"
key Down; wait_for "1,なんでも雑談"
key Return; wait_for "スレッド選択メニューです"
key Down; wait_for_match "1, 1から1000まで数えるスレ.*"
key Return; wait_for "メッセージ数は1000です。"

# F in the reading menu: the dialog speaks its caption; the romaji word.
key f; wait_for "検索ダイアログ"
xdotool type --delay 60 getto; sleep 0.3
key Return; wait_for_match "[0-9]+件です"
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
key Up; key Down; wait_for_match "[0-9]+,まちＢＢＳ"

key ctrl+shift+q
echo "search session passed: $hits, second hit: $second"
