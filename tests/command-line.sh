#!/usr/bin/env bash
# The command line is read before any window or file is made: --help,
# --version and mistakes work without a display, and a refused option leaves
# no folder behind.
# Usage: command-line.sh PROGRAM
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

# expect CODE PATTERN ARGS...: the exit code is CODE (or "nonzero") and the
# output (stdout and stderr) holds PATTERN.
expect() {
    local code=$1 pattern=$2
    shift 2
    local out rc
    out=$("$program" "$@" 2>&1)
    rc=$?
    if [ "$code" = nonzero ]; then
        [ "$rc" -ne 0 ] || fail "$*: exit code 0"
    else
        [ "$rc" -eq "$code" ] || fail "$*: exit code $rc, not $code: $out"
    fi
    grep -qF -- "$pattern" <<<"$out" || fail "$*: no \"$pattern\" in: $out"
}

expect 0 "--data-dir" --help
expect 0 "yomimaru " --version
expect 0 "yomimaru " -platform offscreen --version
expect 2 "Unknown option 'no-such-option'" --no-such-option
expect 2 "Missing value after '--data-dir'" --data-dir
expect 2 'unexpected argument "stray"' stray --data-dir "$work/stray-data"
expect 2 'unknown speech engine "foo"' --speech=foo --data-dir "$work/data" --config-dir "$work/config"
expect 2 "--offline and --online exclude each other" --offline --online --data-dir "$work/data"
# A data folder that cannot be made, or that takes no file: said on stderr
# and aloud, and a failed start, never a silent end.
for folder in /proc/yomimaru-cannot-be /sys/kernel; do
    rm -f "$work/said.txt"
    expect 1 "the program does not start" --data-dir "$folder" --config-dir "$work/config-x" \
        --speech="transcript:$work/said.txt"
    grep -q "よみまるをきどうできません。" "$work/said.txt" 2>/dev/null || fail "$folder: nothing said"
done
rm -rf "$work/config-x"
for folder in stray-data data config; do
    [ ! -e "$work/$folder" ] || fail "a refused command line made $folder"
done
[ "$failed" -eq 0 ] && echo "command line: help, version and refusals without a display"
exit "$failed"
