#!/usr/bin/env bash
# The layer check refuses an upward include and a Widgets header in the core,
# naming the file, and passes the real tree.
# Usage: check-layers-test.sh <check-layers.sh> <fixture folder> <real src/>
set -uo pipefail
check=$1
fixtures=$2
real=$3
failed=0

expect_refusal() {
    local tree=$1 file=$2 what=$3 out rc
    out=$(bash "$check" "$tree" 2>&1)
    rc=$?
    if [ $rc -ne 1 ]; then
        echo "FAIL: $tree: exit $rc, expected 1"
        echo "$out"
        failed=1
    elif ! grep -q "$file: includes $what" <<<"$out"; then
        echo "FAIL: $tree: no refusal of $file"
        echo "$out"
        failed=1
    elif [ "$(wc -l <<<"$out")" -ne 1 ]; then
        echo "FAIL: $tree: more than the one refusal"
        echo "$out"
        failed=1
    else
        echo "ok: $tree refused: $out"
    fi
}

# bbs/ includes speech/, the layer above it; speech/ including base/ is fine.
expect_refusal "$fixtures/upward" "bbs/Board.cpp" '"speech/Voice.h"'
# base/ includes <QWidget>; app/ may.
expect_refusal "$fixtures/widgets" "base/Text.cpp" 'the Widgets header <QWidget>'

if out=$(bash "$check" "$real" 2>&1); then
    echo "ok: $real passes"
else
    echo "FAIL: $real refused"
    echo "$out"
    failed=1
fi
exit $failed
