#!/usr/bin/env bash
# Listening like a regular, with the real program under Xvfb, driven by
# xdotool keys against the local board server, speech paced as a voice would
# pace it: the thread list's orders switched with Z; in the practice thread,
# N while message 1 is heard reads its three replies and X goes back to the
# very sentence; M on the flood says its count and reads the flood; Z hides
# its ID, and reading on passes the flood with one short sentence each time;
# E follows a chain of anchors two deep and X comes back to each sentence.
# Usage: abone-session.sh PROGRAM BOARDSERVER SAMPLES
set -euo pipefail
program=$1
server=$2
samples=$3

source "$(dirname "$0")/lib.sh"
# Units take time, so a key can be pressed while one is heard.
export YOMIMARU_TRANSCRIPT_MS_PER_CHAR=30
start_display
start_server server "$samples"
# Headers without name and date: the number alone.
write_profile "Setting4=1" "Setting6=1"
start_program

spam="よく当たる占いのページはこちら"
heard_count() { texts | grep -cF -- "$1" || true; }

wait_for "読み丸を起動しました。板の一覧を最新にしました。"
key c; wait_for "カテゴリー選択メニューです"
key 3; wait_for "3,雑談"
key Return; wait_for "板選択メニューです"
key 2; wait_for "2,読み上げソフト"
key Return; wait_for "スレッド選択メニューです"

# The orders of the thread list, back to the board's own at the end.
key z; wait_for "勢いの順に並べました。"
key Down; wait_for "1, 【練習】アンカーと返信を耳で追うスレ(未読15)"
key z; wait_for "新着のあるスレッドを先に並べました。"
key z; wait_for "板の順に並べました。"
key Down Down Down; wait_for "3, 【練習】アンカーと返信を耳で追うスレ(未読15)"
key Return; wait_for "メッセージ数は15です。"

# N while message 1 is heard: its three replies, then back to the sentence.
wait_for_part "好きなように書き込んでください"
key n; wait_for "返信3件、2"
wait_for "4"
wait_for "6"
wait_for "以上です"
key x; wait_for "戻りました、好きなように書き込んでください。"

# M on the flood: its count, and the flood read in turn.
wait_for_part "$spam"
key m; wait_for "このIDの書き込み5件、5"
wait_for "13"
wait_for "以上です" 2
[ "$(heard_count "$spam")" -eq 5 ] || { echo "the flood was not read once each" >&2; texts | tail -n 30 >&2; exit 1; }

# Z hides the ID; back at message 3, reading on passes the flood.
key z; wait_for "ID「Spam0666」をこの板であぼーんしました。もう一度押すと取り消します。"
key x; wait_for_part "戻りました、【宣伝】$spam"
wait_for "あぼーん1件、6"
wait_for "あぼーん1件、9"

# E on message 14 reads 12, E there reads 10; X comes back to 12's sentence,
# and after 12, X to 14's.
wait_for_part "自分もそのパン屋さんに行ってみたい"
key e; wait_for "アンカー、深さ1、12"
wait_for_part "今度の休みに行ってみることにします"
key e; wait_for "アンカー、深さ2、10"
key x; wait_for_part "戻りました、深さ1、>>10今度の休みに行ってみることにします"
wait_for "以上です" 3
key x; wait_for_part "戻りました、>>12自分もそのパン屋さんに行ってみたい"
wait_for "読み上げ完了"

# The flood was heard at message 3 twice and in the trip, never after Z;
# each hidden message on the way was one short sentence.
[ "$(heard_count "$spam")" -eq 6 ] || { echo "the flood was heard after it was hidden" >&2; texts | tail -n 40 >&2; exit 1; }
[ "$(heard_count "あぼーん1件、")" -eq 4 ] || { echo "not every hidden message was counted" >&2; texts >&2; exit 1; }
iconv -f CP932 -t UTF-8 "$work/data/ngfilters.txt" | grep -qxF "$(printf 'ID\t読み上げソフト\tSpam0666\r')" \
    || { echo "the rule was not kept" >&2; cat "$work/data/ngfilters.txt" >&2; exit 1; }

key ctrl+shift+q
wait_program_end
echo "abone session passed"
