#!/usr/bin/env bash
# The real program under Xvfb with a real window manager (openbox), against
# the local board server. From 28 points the window is maximized by the
# window manager and stays so when it is restored; below 28 points a window
# the user restores stays restored. With YOMIMARU_SCREENSHOTS=DIR set, it
# also saves screenshots at 11, 28 and 72 points in both colour schemes, in
# the main menu and while a message is read, as DIR/<points>-<scheme>-<state>.png
# (YOMIMARU_SCREENSHOT_SIZES="11 28 72" chooses the sizes).
# Usage: large-type-window.sh PROGRAM BOARDSERVER SAMPLES SCREENSHOT
set -euo pipefail
program=$1
server=$2
samples=$3
screenshot=$4
shots=${YOMIMARU_SCREENSHOTS:-}

command -v openbox >/dev/null || { echo "openbox is not installed (scripts/setup.sh)" >&2; exit 1; }

source "$(dirname "$0")/lib.sh"
app=""
start_display

# The window manager, with one key of our own: Alt+F5 restores the active
# window, as a user would through the window menu.
cat >"$work/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard>
    <keybind key="A-F5"><action name="Unmaximize"/></keybind>
  </keyboard>
</openbox_config>
XML
# A loaded machine may take seconds to start it, and now and then it gives up
# on the display at once (its log says so): it gets three tries.
wm_started=0
for _ in 1 2 3; do
    openbox --config-file "$work/rc.xml" --sm-disable >"$work/openbox.log" 2>&1 &
    wm=$!
    for _ in $(seq 1 200); do
        if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
            wm_started=1
            break
        fi
        kill -0 "$wm" 2>/dev/null || break
        sleep 0.05
    done
    [ "$wm_started" -eq 1 ] && break
    kill "$wm" 2>/dev/null || true
    wait "$wm" 2>/dev/null || true
done
pids+=($wm)
[ "$wm_started" -eq 1 ] || {
    echo "openbox did not start: $(cat "$work/openbox.log")" >&2
    exit 1
}

start_server server "$samples"
transcript=""
window=""

# Each start speaks into a transcript of its own; only the current one counts.
texts() { cut -f6- "$transcript" 2>/dev/null | sed 's/^text=//'; }

# start_program POINTS SCHEME(0/1) MAXIMIZED(0/1)
start_program() {
    local name=$1-$2-$3
    mkdir -p "$work/$name/data" "$work/$name/config"
    printf '[Config]\nBoardListUrl=http://menu.2ch.example/bbsmenu.html\nSetting15=1\nSetting16=127.0.0.1:%s\nSetting27=%s\nSetting28=%s\nSetting29=%s\n' \
        "$port" "$1" "$3" "$2" >"$work/$name/config/yomimaru.ini"
    transcript="$work/$name/transcript.txt"
    "$program" --data-dir "$work/$name/data" --config-dir "$work/$name/config" --speech="transcript:$transcript" \
        >>"$work/program.log" 2>&1 &
    app=$!
    pids+=($app)
    find_main_window
    wait_for "読み丸を起動しました。板の一覧を最新にしました。"
    xdotool windowfocus --sync "$window"
}

stop_program() {
    xdotool key ctrl+shift+q
    wait_program_end
    app=""
}

# Maximized as the window manager has it: both maximized states set, and the
# window as large as the screen's work area.
maximized() {
    local state width height area_w area_h
    state=$(xprop -id "$window" _NET_WM_STATE 2>/dev/null || true)
    [[ $state == *_NET_WM_STATE_MAXIMIZED_VERT* && $state == *_NET_WM_STATE_MAXIMIZED_HORZ* ]] || return 1
    width=$(xwininfo -id "$window" | sed -n 's/^ *Width: //p')
    height=$(xwininfo -id "$window" | sed -n 's/^ *Height: //p')
    read -r area_w area_h < <(xprop -root _NET_WORKAREA | sed -E 's/.*= *[0-9]+, *[0-9]+, *([0-9]+), *([0-9]+).*/\1 \2/')
    # The frame keeps a title bar (and possibly a border) inside the work area.
    [ "$width" -ge $((area_w - 10)) ] && [ "$height" -ge $((area_h - 60)) ]
}

# expect_state maximized|normal: the state holds (polled for 2 seconds, then
# still so a second later).
expect_state() {
    local want=$1
    for _ in $(seq 1 40); do
        if [ "$want" = maximized ] && maximized; then break; fi
        if [ "$want" = normal ] && ! maximized; then break; fi
        sleep 0.05
    done
    sleep 1
    if [ "$want" = maximized ] && ! maximized; then
        echo "${2:-}: the window is not maximized: $(xprop -id "$window" _NET_WM_STATE) $(xwininfo -id "$window" | grep -E 'Width|Height' | tr -s ' \n' ' ')" >&2
        exit 1
    fi
    if [ "$want" = normal ] && maximized; then
        echo "${2:-}: the window is maximized" >&2
        exit 1
    fi
}

restore_through_window_manager() {
    xdotool windowfocus --sync "$window"
    xdotool key alt+F5
}

# Below 28 points a maximized window can be restored, and stays so: the
# window manager's key works.
start_program 11 0 1
expect_state maximized "11 points, saved maximized"
restore_through_window_manager
expect_state normal "11 points, restored"
stop_program

# From 28 points the window is maximized even when it was saved normal, and
# the window manager cannot restore it.
for points in 28 72; do
    start_program "$points" 1 0
    expect_state maximized "$points points at start"
    restore_through_window_manager
    expect_state maximized "$points points after the window manager restored it"
    stop_program
    echo "$points points: maximized at start and after a restore"
done

[ -n "$shots" ] || exit 0

# Screenshots: every size in both schemes, in the main menu and a few units
# into the first message of a thread, with speech slow enough to be caught.
mkdir -p "$shots"
key() { xdotool key --delay 60 "$@"; sleep 0.4; }
export YOMIMARU_TRANSCRIPT_MS_PER_CHAR=120
for points in ${YOMIMARU_SCREENSHOT_SIZES:-11 28 72}; do
    for scheme in 0 1; do
        label=$([ "$scheme" = 1 ] && echo lowvision || echo standard)
        start_program "$points" "$scheme" 0
        sleep 1.5
        "$screenshot" "$shots/$points-$label-menu.png"
        key Down; key Return; key 3; key Return; key Down; key Return
        wait_for "スレッド選択メニューです"
        key Down Down; key Return
        wait_for "メッセージ数は6です。"
        sleep 6
        "$screenshot" "$shots/$points-$label-reading.png"
        stop_program
    done
done
echo "screenshots in $shots"
