#!/usr/bin/env bash
# Fails when a source of the GUI-free core includes a Qt Widgets header.
# Usage: check-core-includes.sh <file listing the core's sources, one per line>
set -euo pipefail
list=$1
widgets_dir=$(dirname "$(find /usr/include -path '*qt6/QtWidgets/QWidget' -print -quit)")
if [ -z "$widgets_dir" ] || [ ! -d "$widgets_dir" ]; then
    echo "check-core-includes: Qt Widgets headers not found" >&2
    exit 2
fi
status=0
while IFS= read -r file; do
    [ -f "$file" ] || continue
    while IFS= read -r header; do
        name=${header#QtWidgets/}
        if [[ $header == QtWidgets* ]] || [ -e "$widgets_dir/$name" ]; then
            echo "$file: includes the Widgets header <$header>; the core must stay GUI-free" >&2
            status=1
        fi
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]+)>.*/\1/p' "$file")
done < "$list"
exit $status
