#!/usr/bin/env bash
# The edit-mode viewer with the real program under Xvfb against the local
# board server: Y in a thread opens the last message read as text and speaks
# the caption, the short help follows when no key is used, the arrow keys walk
# the lines and the text-box reader speaks each line reached, F1 speaks the
# viewer's help, Escape closes it and the reading menu takes the keys again.
# Usage: viewer-session.sh PROGRAM BOARDSERVER SAMPLES
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
walk_to_board
key Down Down; wait_for "2, 【質問】メールアドレスの書き方について(未読6)"
key Return; wait_for "メッセージ数は6です。"
wait_for "読み上げ完了"

key y; wait_for "編集モードビューア"
# Five seconds without a key: the short help, once.
wait_for_match '.*編集モードビューアです。.*F1キーで詳しいヘルプを.*'
# From the top of message 6: its header, an empty line, then ">>5".
key ctrl+Home; wait_for "ブントー"
key Down; wait_for "カイギョー"
key Down; wait_for "ダイナリ｜ダイナリ｜５"
key F1; wait_for_match '^編集モードビューアのヘルプ。.*矢印キー.*'
key Escape
# Back in the reading menu: Up reads message 5.
key Up; wait_for_match '^5 +メール欄に .*'
[ "$(texts | grep -c 'F1キーで詳しいヘルプを')" -eq 1 ] || { echo "the short help was not given once" >&2; exit 1; }
key ctrl+shift+q
wait_program_end
echo "viewer session: opened, walked, helped and closed by ear"
