#!/usr/bin/env bash
# The program starts, says so first, shows its window once and quits with
# exit code 0; a start that fails says so and ends with another code.
# Usage: smoke-test.sh PROGRAM WORKDIR
set -uo pipefail
program=$1
work=$2
rm -rf "$work"
mkdir -p "$work/data" "$work/config"
export YOMIMARU_TRANSCRIPT_MS_PER_CHAR=0
failed=0

first_line() { head -n 1 "$1" 2>/dev/null | cut -f6- | sed 's/^text=//'; }

# A saved board list: the program can start offline.
printf '1\r\n雑談\r\n1\r\n1,http://uni.2ch.example/zatsudan/,なんでも雑談\r\n' >"$work/data/board.list"
# What a save cut short left behind goes at the start.
mkdir -p "$work/data/雑談/なんでも雑談"
printf 'x' >"$work/data/bookmark.list.Ab12Cd"
printf 'x' >"$work/data/雑談/なんでも雑談/thread.idx.Qw34Er"
"$program" --smoke-test --offline --data-dir "$work/data" --config-dir "$work/config" \
    --speech="transcript:$work/started.txt"
rc=$?
for stale in "$work/data/bookmark.list.Ab12Cd" "$work/data/雑談/なんでも雑談/thread.idx.Qw34Er"; do
    [ ! -e "$stale" ] || { echo "FAIL: $stale is still there" >&2; failed=1; }
done
line=$(first_line "$work/started.txt")
if [ "$rc" -ne 0 ] || [ "$line" != "読み丸をオフラインで起動しました。保存してある板の一覧を使います。" ]; then
    echo "FAIL: the start ended with $rc and said first: $line" >&2
    failed=1
fi

# No board list and offline: the program cannot start, and must not say it did.
mkdir -p "$work/empty"
"$program" --smoke-test --offline --data-dir "$work/empty" --config-dir "$work/config" \
    --speech="transcript:$work/failed.txt"
rc=$?
line=$(first_line "$work/failed.txt")
if [ "$rc" -eq 0 ] || [[ "$line" != *"読み丸を起動できませんでした。" ]]; then
    echo "FAIL: the failed start ended with $rc and said first: $line" >&2
    failed=1
fi
[ "$failed" -eq 0 ] && echo "smoke test: started with 0, a failed start ended with another code"
exit "$failed"
