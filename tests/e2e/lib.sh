# What every end-to-end session shares: a scratch folder cleaned on exit, a
# display of its own, the local board server, a profile pointed at it, the
# program started on a transcript, and waiting for what the user would hear.
# Sourced by the session scripts after `set -euo pipefail`; they set
# `program` first.

work=$(mktemp -d)
pids=()
e2e_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap e2e_cleanup EXIT

export YOMIMARU_TRANSCRIPT_MS_PER_CHAR=0
export QT_QPA_PLATFORM=xcb

# start_display [WIDTHxHEIGHT]: an Xvfb of our own, exported as DISPLAY.
start_display() {
    local size=${1:-1280x1024}
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    [ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(cat "$work/display")"
    # The number is written once the server listens; that a client gets in
    # is checked all the same, so a program started next finds it.
    for _ in $(seq 1 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.05; done
    echo "Xvfb on $DISPLAY takes no client" >&2
    exit 1
}

# start_server NAME ROOT [OPTIONS...]: the board server on a free port, its
# output in $work/NAME.out; sets `port`. The first line may come after the
# shell looks, so a missing file is waited for like an empty one.
start_server() {
    local name=$1 root=$2
    shift 2
    "$server" --root "$root" --port 0 "$@" >"$work/$name.out" 2>"$work/$name.err" &
    pids+=($!)
    port=""
    for _ in $(seq 1 100); do
        port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/$name.out" 2>/dev/null || true)
        [ -n "$port" ] && break
        sleep 0.05
    done
    [ -n "$port" ] || { echo "board server $name did not start" >&2; exit 1; }
}

# write_profile [EXTRA INI LINES...]: data and config folders with the board
# menu (`menu_url`, the sample service's by default) taken through the board
# server as a proxy on `port`.
write_profile() {
    mkdir -p "$work/data" "$work/config"
    {
        printf '[Config]\nBoardListUrl=%s\nSetting15=1\n' "${menu_url:-http://menu.2ch.example/bbsmenu.html}"
        printf 'Setting16=127.0.0.1:%s\n' "$port"
        local line
        for line in "$@"; do printf '%s\n' "$line"; done
    } >"$work/config/yomimaru.ini"
}

# Every text spoken so far, one utterance a line, over all transcripts.
texts() { cat "$work"/transcript*.txt 2>/dev/null | cut -f6- | sed 's/^text=//'; }

# wait_grep FLAGS TEXT COUNT: until `grep -c FLAGS TEXT` over the spoken
# texts counts COUNT lines; fails after 15 s with the last texts.
wait_grep() {
    local flags=$1 text=$2 count=$3
    for _ in $(seq 1 300); do
        if [ "$(texts | grep -c "$flags" -- "$text")" -ge "$count" ]; then return 0; fi
        sleep 0.05
    done
    echo "timed out waiting for: $text" >&2
    texts | tail -n 20 >&2
    exit 1
}

# wait_for LINE [COUNT]: the line heard as a whole line COUNT times (default once).
wait_for() { wait_grep -xF "$1" "${2:-1}"; }
# wait_for_match REGEX [COUNT]: as wait_for, with an extended regular expression.
wait_for_match() { wait_grep -xE "$1" "${2:-1}"; }
# wait_for_part TEXT [COUNT]: TEXT heard within an utterance COUNT times.
wait_for_part() { wait_grep -F "$1" "${2:-1}"; }

# find_main_window: the program's first visible window, in `window`.
find_main_window() {
    window=""
    for _ in $(seq 1 600); do
        window=$(xdotool search --onlyvisible --name '^Yomimaru' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        sleep 0.05
    done
    [ -n "$window" ] || { echo "no window" >&2; tail -n 20 "$work/program.log" >&2 || true; exit 1; }
}

# find_dialog: a visible window of the program other than the main window,
# in `dialog`, focused.
find_dialog() {
    dialog=""
    for _ in $(seq 1 100); do
        dialog=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -vx "$window" | tail -n 1 || true)
        [ -n "$dialog" ] && break
        sleep 0.05
    done
    [ -n "$dialog" ] || { echo "no dialog window" >&2; exit 1; }
    xdotool windowfocus --sync "$dialog"
}

# start_program [ARGS...]: the program on the profile, speaking into
# $transcript (default $work/transcript1.txt); sets `app` and `window` and
# focuses the window.
start_program() {
    transcript=${transcript:-$work/transcript1.txt}
    # The boards are reached through the board server on this machine,
    # whatever the system says of its network.
    "$program" --online --data-dir "$work/data" --config-dir "$work/config" --speech="transcript:$transcript" "$@" \
        >>"$work/program.log" 2>&1 &
    app=$!
    pids+=($app)
    find_main_window
    xdotool windowfocus --sync "$window"
}

# wait_program_end: up to 5 s for the program to end; fails if it does not.
wait_program_end() {
    for _ in $(seq 1 100); do kill -0 "$app" 2>/dev/null || return 0; sleep 0.05; done
    echo "the program did not end" >&2
    exit 1
}

key() { xdotool key --delay 60 "$@"; sleep 0.35; }

# walk_to_board [COUNT]: from the main menu through category 3 (雑談) to
# its first board's thread list. COUNT is how many times each menu sentence
# has to have been heard by then (one more than before), default 1.
walk_to_board() {
    local n=${1:-1}
    key Down; wait_for "1,カテゴリー選択(C)" "$n"
    key Return; wait_for "カテゴリー選択メニューです" "$n"
    key 3; wait_for "3,雑談" "$n"
    key Return; wait_for "板選択メニューです" "$n"
    key Down; wait_for "1,なんでも雑談" "$n"
    key Return; wait_for "スレッド選択メニューです" "$n"
}
