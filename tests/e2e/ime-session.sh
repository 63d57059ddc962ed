#!/usr/bin/env bash
# A Japanese input method for real: the program under Xvfb with fcitx5 and
# mozc, speech to a transcript. The proxy dialog is opened from the option
# menu; romaji typed into its field is composed by mozc, Space converts it,
# and the transcript must hold the detailed reading of the converted clause
# (kanji told apart); Return commits, and the committed text is read.
# Escape during a composition cancels it and the dialog stays open. Then a
# reply typed in Japanese through the input method is posted from the
# posting dialog (W in a thread), stored by the server in Shift_JIS and read
# back after the reload.
#
# Needs: xvfb, xdotool, dbus (dbus-run-session), fcitx5, fcitx5-mozc,
# fcitx5-frontend-qt6. mozc's server will not run as root, so as root the
# session runs as the user YOMIMARU_E2E_USER (default: nobody).
# Exit 77: the input method is not installed (skipped).
# Usage: ime-session.sh PROGRAM BOARDSERVER SAMPLES
set -euo pipefail
program=$(realpath "$1")
server=$(realpath "$2")
samples=$(realpath "$3")

for tool in Xvfb xdotool dbus-run-session fcitx5 fcitx5-remote; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
[ -e /usr/lib/x86_64-linux-gnu/fcitx5/libmozc.so ] || [ -n "$(find /usr/lib -name 'mozc.so' -path '*fcitx5*' -print -quit 2>/dev/null)" ] ||
    [ -e /usr/share/fcitx5/addon/mozc.conf ] || { echo "skipped: fcitx5-mozc is not installed" >&2; exit 77; }

if [ "$(id -u)" = 0 ] && [ -z "${YOMIMARU_E2E_INNER:-}" ]; then
    user=${YOMIMARU_E2E_USER:-nobody}
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # The build may lie in a folder that user cannot enter (a clone under
    # /root): the session runs copies of what it needs.
    mkdir -p "$work/bin"
    cp "$program" "$server" "$(realpath "$0")" "$(dirname "$(realpath "$0")")/lib.sh" "$work/bin/"
    cp -r "$samples" "$work/samples"
    # Beside bin/, where an installed program finds its dictionaries.
    mkdir -p "$work/share"
    cp -r "$(dirname "$(realpath "$0")")/../../resources" "$work/share/yomimaru"
    chown -R "$user" "$work"
    status=0
    runuser -u "$user" -- env -i PATH="$PATH" LANG=C.UTF-8 ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" YOMIMARU_E2E_INNER=1 HOME="$work" E2E_TRACE="${E2E_TRACE:-}" \
        bash ${E2E_TRACE:+-x} "$work/bin/$(basename "$0")" "$work/bin/$(basename "$program")" \
        "$work/bin/$(basename "$server")" "$work/samples" || status=$?
    exit $status
fi

export LANG=C.UTF-8
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- bash ${E2E_TRACE:+-x} "$(realpath "$0")" "$program" "$server" "$samples"
fi

source "$(dirname "$0")/lib.sh"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME/fcitx5" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
start_display

# fcitx5 with mozc as its input method, switched on by the test.
cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<'PROFILE'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=mozc

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=mozc
Layout=

[GroupOrder]
0=Default
PROFILE
fcitx5 -r >"$work/fcitx5.log" 2>&1 &
pids+=($!)
# Asked without activating it (fcitx5-remote would start a second one).
has_fcitx() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        string:org.fcitx.Fcitx5 2>/dev/null | grep -q true
}
for _ in $(seq 1 100); do has_fcitx && break; sleep 0.1; done
has_fcitx || { echo "fcitx5 did not start" >&2; cat "$work/fcitx5.log" >&2; exit 1; }

# Posting writes into the served copy, never into the samples.
cp -r "$samples" "$work/served"
start_server server "$work/served"
write_profile
export QT_IM_MODULE=fcitx
key() { xdotool key --delay 80 "$@"; sleep 0.4; }
start_program
sleep 0.5

key o; key Return
key 8; key Return
wait_for_part "プロキシ設定ダイアログ"
find_dialog
sleep 0.3
fcitx5-remote -o
sleep 0.3
[ "$(fcitx5-remote)" = 2 ] || { echo "the input method did not switch on" >&2; exit 1; }

dialog_open() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | grep -qx "$dialog"; }
last_text() { texts | tail -n 1; }

# Romaji into the composition, then Space: the converted clause is read in
# detail, a kanji of the reading かわ told apart by a word that uses it.
xdotool type --delay 120 kawa
wait_for_part "ワ｜"
key space
wait_for_part "カワ、"
converted=$(texts | grep -F "カワ、" | tail -n 1)
case $converted in
    カワ、*｜) ;;
    *) echo "the conversion was read as: $converted" >&2; exit 1 ;;
esac
# Return commits; the committed text is read.
key Return
for _ in $(seq 1 40); do [ "$(last_text)" != "$converted" ] && break; sleep 0.05; done
committed=$(last_text)
if [ "${#committed}" != 1 ]; then
    echo "the commit was read as: $committed" >&2
    exit 1
fi
dialog_open || { echo "the dialog closed on the commit" >&2; exit 1; }

# Escape during a composition belongs to the input method: the composition
# goes, the dialog stays.
xdotool type --delay 120 kawa
wait_for_part "ワ｜" 2
key Escape
sleep 0.5
dialog_open || { echo "Escape during the composition closed the dialog" >&2; exit 1; }
# Without a composition Escape closes it.
key Escape
wait_for_part "キャンセルしました"
dialog_open && { echo "Escape did not close the dialog" >&2; exit 1; }

# A reply in Japanese: W in a thread, the reply composed and committed
# through the input method, read back by the voice check, posted, stored
# by the server and read after the reload.
fcitx5-remote -c
xdotool windowfocus --sync "$window"
sleep 0.3
key c; wait_for_part "カテゴリー選択メニューです"
key 3; wait_for_part "3,雑談"
key Return; wait_for_part "板選択メニューです"
key Down; wait_for_part "1,なんでも雑談"
key Return; wait_for_part "スレッド選択メニューです"
key Down Down; wait_for_part "2, 【質問】メールアドレスの書き方について(未読6)"
key Return; wait_for_part "読み上げ完了"
key w; wait_for_part "書き込みダイアログ、本文のエディット(E)"
find_dialog
sleep 0.3
fcitx5-remote -o
sleep 0.3
[ "$(fcitx5-remote)" = 2 ] || { echo "the input method did not switch on in the posting dialog" >&2; exit 1; }
xdotool type --delay 120 kawa
wait_for_part "ワ｜" 3
key space
wait_for_part "カワ、" 2
key Return
sleep 0.5
body=$(texts | tail -n 1)
[ "${#body}" = 1 ] || { echo "the reply's commit was read as: $body" >&2; exit 1; }
fcitx5-remote -c
sleep 0.3
key alt+r; wait_for_part "名前欄は空欄、メール欄は空欄、本文は、$body"
key alt+w; wait_for_part "投稿に関する注意事項です、最後まで聞いてください。"
sleep 0.5
key alt+w; wait_for_part "書き込みました。"
LC_ALL=C grep -aqF "$(printf "%s" "$body" | iconv -f UTF-8 -t CP932)" "$work"/served/zatsudan/dat/1714950000.dat ||
    { echo "the server did not store $body in Shift_JIS" >&2; exit 1; }
# After the reload the new message is read: only what follows the outcome counts.
for _ in $(seq 1 100); do
    texts | awk -v want="$body" 'seen && index($0, want) { found = 1 } $0 == "書き込みました。" { seen = 1 } END { exit !found }' && break
    sleep 0.05
done
texts | awk -v want="$body" 'seen && index($0, want) { found = 1 } $0 == "書き込みました。" { seen = 1 } END { exit !found }' ||
    { echo "the reply was not read after the reload" >&2; texts | tail -n 20 >&2; exit 1; }
xdotool key ctrl+shift+q
echo "converted: $converted; committed: $committed; posted and read back: $body"
