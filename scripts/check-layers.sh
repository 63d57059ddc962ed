#!/usr/bin/env bash
# Fails when a folder of src/ includes a header of a higher layer, or when a
# folder of the GUI-free core (base, bbs, speech, voicemenu) includes a Qt
# Widgets header.
# Usage: check-layers.sh [source root, default: src/ next to this script]
set -euo pipefail
root=${1:-$(dirname "$0")/../src}

# The folders each folder may include from ("folder/..." prefixes). Layers,
# lowest first: base, bbs, speech, voicemenu, then platform, app and dialogs;
# app and dialogs are one target and include each other, and the main window
# (app) may include the Linux implementations (platform).
declare -A allowed=(
    [base]="base"
    [bbs]="base bbs"
    [speech]="base bbs speech"
    [voicemenu]="base bbs speech voicemenu"
    [platform]="base bbs speech voicemenu platform"
    [app]="base bbs speech voicemenu platform app dialogs"
    [dialogs]="base bbs speech voicemenu app dialogs"
)
core="base bbs speech voicemenu"

widgets_dir=$(dirname "$(find /usr/include -path '*qt6/QtWidgets/QWidget' -print -quit)")
if [ -z "$widgets_dir" ] || [ ! -d "$widgets_dir" ]; then
    echo "check-layers: Qt Widgets headers not found" >&2
    exit 2
fi

status=0
found=0
for dir in "$root"/*/; do
    folder=$(basename "$dir")
    if [ -z "${allowed[$folder]+set}" ]; then
        echo "check-layers: $folder/ has no entry in the layer table" >&2
        status=1
        continue
    fi
    in_core=0
    [[ " $core " == *" $folder "* ]] && in_core=1
    while IFS= read -r -d '' file; do
        found=1
        while IFS= read -r header; do
            case $header in
                */*) ;;
                *) continue ;;  # a header of the same folder
            esac
            prefix=${header%%/*}
            if [ -n "${allowed[$prefix]+set}" ] && [[ " ${allowed[$folder]} " != *" $prefix "* ]]; then
                echo "$file: includes \"$header\"; $folder/ may include only: ${allowed[$folder]}" >&2
                status=1
            fi
        done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file")
        [ $in_core = 1 ] || continue
        while IFS= read -r header; do
            name=${header#QtWidgets/}
            if [[ $header == QtWidgets* ]] || [ -e "$widgets_dir/$name" ]; then
                echo "$file: includes the Widgets header <$header>; $folder/ must stay GUI-free" >&2
                status=1
            fi
        done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]+)>.*/\1/p' "$file")
    done < <(find "$dir" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done
if [ $found = 0 ]; then
    echo "check-layers: no sources under $root" >&2
    exit 2
fi
exit $status
