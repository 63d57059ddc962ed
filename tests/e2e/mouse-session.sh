#!/usr/bin/env bash
# The whole way into a thread and out again with the mouse alone, under Xvfb
# against the local board server: the pointer put on the window drags the
# window along so that it rests just right of the tree, half-way down; the
# wheel moves through each menu, a left click enters, a right click goes
# back, a double left click bookmarks the thread, a double right click
# jumps to the main menu and the middle button speaks the help.
# Usage: mouse-session.sh PROGRAM BOARDSERVER SAMPLES
set -euo pipefail
program=$1
server=$2
samples=$3

source "$(dirname "$0")/lib.sh"

# One click of a button, then a pause longer than the action queue's 250 ms.
click() { xdotool click "$1"; sleep 0.4; }
# Two clicks within the queue's window.
double_click() { xdotool click --repeat 2 --delay 60 "$1"; sleep 0.5; }
# COUNT notches of the wheel towards the user (down) or away (up).
wheel_down() { xdotool click --repeat "$1" --delay 80 5; sleep 0.2; }
wheel_up() { xdotool click --repeat "$1" --delay 80 4; sleep 0.2; }
# How often a line has been said so far.
said() { texts | grep -cxF -- "$1" || true; }

# Where the pointer is in the window, as "X Y"; fails unless the window has
# come to rest with the pointer half-way down it.
pointer_in_window() {
    local X Y WIDTH HEIGHT SCREEN WINDOW mx my
    for _ in $(seq 1 40); do
        eval "$(xdotool getmouselocation --shell)"
        mx=$X my=$Y
        eval "$(xdotool getwindowgeometry --shell "$window")"
        if [ $((my - Y)) -eq $((HEIGHT / 2)) ]; then
            echo "$((mx - X)) $((my - Y))"
            return 0
        fi
        sleep 0.05
    done
    echo "the pointer is not half-way down the window: pointer $mx,$my, window $X,$Y ${WIDTH}x$HEIGHT" >&2
    return 1
}

start_display
start_server server "$samples"
write_profile

start_program
wait_for "読み丸を起動しました。板の一覧を最新にしました。"

# The window follows the pointer: wherever the pointer goes onto it, the
# window moves until the pointer rests at the same place on it.
eval "$(xdotool getwindowgeometry --shell "$window")"
start_x=$X start_y=$Y
xdotool mousemove --window "$window" 40 40
sleep 0.5
first=$(pointer_in_window)
xdotool mousemove --window "$window" $((WIDTH - 60)) $((HEIGHT - 50))
sleep 0.5
second=$(pointer_in_window)
[ "$first" = "$second" ] || { echo "the pointer rests at $first, then at $second" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y" != "$start_x,$start_y" ] || { echo "the window did not move" >&2; exit 1; }
anchor_x=${first% *}
# Just right of the tree, which takes the left part of the window.
[ "$anchor_x" -gt 2 ] && [ "$anchor_x" -lt $((WIDTH / 2)) ] ||
    { echo "the pointer rests at x $anchor_x of $WIDTH" >&2; exit 1; }

# Into a thread: the wheel to each item, a left click to enter.
wheel_down 1; wait_for "1,カテゴリー選択(C)"
click 1; wait_for "カテゴリー選択メニューです"
wheel_down 3; wait_for "3,雑談"
wheel_up 1; wait_for "2,趣味"
wheel_down 1; wait_for "3,雑談" 2
click 1; wait_for "板選択メニューです"
wheel_down 1; wait_for "1,なんでも雑談"
click 1; wait_for "スレッド選択メニューです"
wheel_down 2; wait_for "2, 【質問】メールアドレスの書き方について(未読6)"
click 1; wait_for "メッセージ数は6です。"
wait_for "読み上げ完了"

# Out again with the right button; a double left click bookmarks the thread.
click 3; wait_for "スレッド選択メニューです" 2
double_click 1; wait_for "ブックマークに登録しました。"
[ "$(said "読み込み中です")" -eq 2 ] || { echo "the double click also entered the thread" >&2; exit 1; }
click 3; wait_for "板選択メニューです" 2
categories=$(said "カテゴリー選択メニューです")
double_click 3; wait_for "メインメニューです"
[ "$(said "カテゴリー選択メニューです")" -eq "$categories" ] ||
    { echo "the double right click went back step by step" >&2; exit 1; }

# The middle button speaks the menu's help; the wheel then moves on.
click 2; wait_for_match "メインメニューのヘルプ。.*"
wheel_down 1; wait_for "2,ブックマーク選択(B)"

# After all the clicks the pointer is still where it rested.
[ "$(pointer_in_window)" = "$first" ] || { echo "the pointer left its place" >&2; exit 1; }

key ctrl+shift+q
wait_program_end
echo "mouse session: into a thread and out again with the mouse alone"
