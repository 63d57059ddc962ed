#!/usr/bin/env bash
# A user's session with the real program under Xvfb, driven by xdotool keys
# against the local board server, with speech going to a transcript: start,
# category, board, thread, continuous reading to its end, back, a bookmark
# made with a double Enter and read by the all-bookmarks run, an option
# changed, quit, and the option still set after a restart. Then against a
# server with faults: a cut-off board menu (the stored list kept, the failure
# said), Ctrl+Shift+Q during a hanging download (the program ends within a
# second), a thread gone from the server (said so), and a thread read from
# the archive of past threads (said so). The transcript's
# texts must contain the expected lines in order.
# Usage: keyboard-session.sh PROGRAM BOARDSERVER SAMPLES EXPECTED
set -euo pipefail
program=$1
server=$2
samples=$3
expected=$4

source "$(dirname "$0")/lib.sh"
start_display
start_server server "$samples"
write_profile
transcript="$work/transcript1.txt"

start_program
wait_for "読み丸を起動しました。板の一覧を最新にしました。"
walk_to_board
key Down Down; wait_for "2, 【質問】メールアドレスの書き方について(未読6)"
key Return; wait_for "メッセージ数は6です。"
wait_for "読み上げ完了"
key Escape; wait_for "スレッド選択メニューです" 2
xdotool key --delay 40 Return Return; sleep 0.5; wait_for "ブックマークに登録しました。"
key b; wait_for "ブックマーク選択メニューです"
key a; wait_for "全ブックマークスレッドを読み上げ完了"
key v; wait_for "ボリューム設定メニューです、現在の設定は「ボリューム10」です"
key 5; wait_for "ボリューム5"
key Return; wait_for "ボリューム5に設定しました。"
key q; wait_for "読み丸を終了します。ご利用ありがとうございました。"
wait_program_end

# The option is still set after a restart.
transcript="$work/transcript2.txt"
start_program
wait_for "読み丸を起動しました。板の一覧を最新にしました。" 2
key v; wait_for "ボリューム設定メニューです、現在の設定は「ボリューム5」です"
key ctrl+shift+q
wait_program_end

# A server that misbehaves: the board menu is cut off once, one thread is
# gone, and thread lists hang half-way; and one thread has left the live
# server for the archive of past threads. The program is pointed at it.
cp -r "$samples" "$work/served"
mkdir -p "$work/served/zatsudan/oyster/1714"
mv "$work/served/zatsudan/dat/1714300000.dat" "$work/served/zatsudan/oyster/1714/"
start_server server2 "$work/served" --fault 'short:600@bbsmenu#1' --fault 'status:404@1714850000.dat' \
    --fault 'stall:60@subject.txt#1'
sed -i -E "s/^Setting16=[^\r]*/Setting16=127.0.0.1:$port/" "$work/config/yomimaru.ini"
grep -q "^Setting16=127.0.0.1:$port" "$work/config/yomimaru.ini" || { echo "proxy not set" >&2; exit 1; }

# A cut-off board menu on this start: the stored board list is kept and the
# failure is said.
cp "$work/data/board.list" "$work/board.list.before"
transcript="$work/transcript3.txt"
start_program
wait_for "板リストのダウンロードに失敗しました。読み丸をオフラインで起動しました。保存してある板の一覧を使います。"
cmp -s "$work/board.list.before" "$work/data/board.list" || { echo "board.list was replaced" >&2; exit 1; }
key ctrl+shift+q
wait_program_end

# A thread gone from the server is said to be gone, never as one without news.
transcript="$work/transcript4.txt"
# This run is timed to its end: a sanitizer build's leak scan at exit is not
# the program's own time.
saved_asan=${ASAN_OPTIONS-}
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
start_program
export ASAN_OPTIONS="$saved_asan"
wait_for "読み丸を起動しました。板の一覧を最新にしました。" 3
key Down; wait_for "1,カテゴリー選択(C)" 2
key Return; wait_for "カテゴリー選択メニューです" 2
key 3; wait_for "3,雑談" 2
key Return; wait_for "板選択メニューです" 2
key Down; wait_for "1,なんでも雑談" 2
# The first thread list of this server hangs: Ctrl+Shift+Q ends the program
# during the download, within a second of the key.
key Return; wait_for "読み込み中です" 3
sleep 0.5
xdotool key --delay 40 Down Down
before=$(date +%s%N)
xdotool key ctrl+shift+q
while kill -0 "$app" 2>/dev/null; do
    sleep 0.02
    if [ $(( ($(date +%s%N) - before) / 1000000 )) -gt 5000 ]; then break; fi
done
elapsed=$(( ($(date +%s%N) - before) / 1000000 ))
if kill -0 "$app" 2>/dev/null || [ "$elapsed" -ge 1000 ]; then
    echo "Ctrl+Shift+Q during a download: the program took ${elapsed} ms to end" >&2
    exit 1
fi
echo "Ctrl+Shift+Q during a download: the program ended ${elapsed} ms after the key"

transcript="$work/transcript5.txt"
start_program
wait_for "読み丸を起動しました。板の一覧を最新にしました。" 4
walk_to_board 3
# The thread in the archive is read like any other, and said to come from there.
key Down; wait_for "1, 1から1000まで数えるスレ(未読1000)"
key Return; wait_for "過去ログを読み込みました。メッセージ数は1000です。"
wait_for "1" 2
key Escape; wait_for "読み上げ停止"
key Escape; wait_for "スレッド選択メニューです" 4
key Down Down; wait_for "3, 今日あったちょっといいこと(未読10)"
key Return; wait_for "このスレッドはサーバーにありません。"
sleep 1
if cut -f6- "$transcript" | sed 's/^text=//' | grep -qxF "新着メッセージはありません"; then
    echo "a gone thread was said to have no new messages" >&2
    exit 1
fi
key ctrl+shift+q
wait_program_end

# The transcript holds the expected lines in this order.
texts >"$work/texts.txt"
position=0
while IFS= read -r line; do
    [ -z "$line" ] && continue
    found=$(awk -v from="$position" -v want="$line" 'NR > from && $0 == want { print NR; exit }' "$work/texts.txt")
    if [ -z "$found" ]; then
        echo "expected line missing or out of order: $line" >&2
        cat "$work/texts.txt" >&2
        exit 1
    fi
    position=$found
done <"$expected"
echo "keyboard session: $(wc -l <"$work/texts.txt") utterances, all expected lines in order"
