#!/usr/bin/env bash
# Posting by ear with the real program under Xvfb against the local board
# server (on a copy of the samples) serving the boards as they are today:
# the menu kept as on menu.5ch.net is asked on 5ch.io, whose boards it links,
# posts are confirmed with a MonaTicket, and the board wants a donguri acorn. W in a thread opens the
# posting dialog, a reply is typed, read back by the voice check, and sent
# with two presses (the first reads the notice): the server confirms it,
# then plants the acorn and refuses, which the user hears; nothing is
# stored. The next press posts it, and only then is 「書き込みました。」
# heard; the reply is on the server and read after the reload. Then T in
# the thread list creates a new thread that the list shows.
# Usage: posting-session.sh PROGRAM BOARDSERVER SAMPLES
set -euo pipefail
program=$1
server=$2
samples=$3

source "$(dirname "$0")/lib.sh"
start_display
cp -r "$samples" "$work/served"
printf '\nBBS_ACORN=1\n' >>"$work/served/zatsudan/SETTING.TXT"
start_server server "$work/served" --domain-5ch-io --mona-ticket --donguri --verbose
menu_url=http://menu.5ch.net/bbsmenu.html write_profile

start_program
wait_for "読み丸を起動しました。板の一覧を最新にしました。"
walk_to_board
key Down Down; wait_for "2, 【質問】メールアドレスの書き方について(未読6)"
key Return; wait_for "メッセージ数は6です。"
wait_for "読み上げ完了"

key w; wait_for "書き込みダイアログ、本文のエディット(E)"
xdotool type --delay 40 "reply from the session"; sleep 0.5
key alt+r; wait_for "名前欄は空欄、メール欄は空欄、本文は、reply from the session"
key alt+w; wait_for "投稿に関する注意事項です、最後まで聞いてください。投稿された内容はコピー、保存、引用、転載等される場合があります。投稿に関して発生する責任は全て投稿者にきします。話題と無関係な広告の投稿に関して、相応の費用を支払うことを承諾します。全責任を負うことを承諾して書き込む場合は、もう一度書き込みボタン「Alt+W」を押してください。"
sleep 0.5
key alt+w; wait_for_part "どんぐりを埋めました。芽が出るまで数分待ってから投稿してください。"
grep -q "POST http://uni.5ch.io/test/bbs.cgi?guid=ON -> 200" "$work/server.err" || { echo "no post to 5ch.io" >&2; exit 1; }
if grep -q "reply from the session" "$work"/served/zatsudan/dat/*.dat || [ "$(texts | grep -cxF "書き込みました。")" != 0 ]; then
    echo "the refused post was stored or said to be written" >&2
    exit 1
fi
sleep 1
key alt+w; wait_for "書き込みました。"
grep -q "reply from the session" "$work"/served/zatsudan/dat/*.dat || { echo "the reply is not on the server" >&2; exit 1; }
[ "$(stat -c %a "$work/data/cookie.list")" = 600 ] || { echo "the cookies are readable by others" >&2; exit 1; }
wait_for "読み上げ完了" 2
# The voice check said the text too: only what comes after the outcome counts.
# The reading speaks message 7 with the blanks between words left out.
texts | awk 'seen { gsub(/ /, ""); if (index($0, "replyfromthesession")) found = 1 } $0 == "書き込みました。" { seen = 1 }
    END { exit !found }' || { echo "the reply was not read after the reload" >&2; texts | tail -n 25 >&2; exit 1; }

key Escape; wait_for "スレッド選択メニューです" 2
key t; wait_for "スレ立てダイアログ、タイトルのエディット(T)、"
xdotool type --delay 40 "new thread title"; sleep 0.3
key alt+e; sleep 0.3
xdotool type --delay 40 "first message"; sleep 0.3
sleep 0.3
key alt+w; wait_for "書き込みました。" 2
head -n 1 "$work/served/zatsudan/subject.txt" | grep -q "new thread title (1)" || { echo "the new thread is not listed" >&2; exit 1; }
sleep 1
key Down; wait_for "1, new thread title(未読1)"
key ctrl+shift+q
wait_program_end
echo "posting session: reply and new thread posted and read back"
