#!/usr/bin/env bash
# Installs every Debian package Yomimaru needs to build, run and test.
# Safe to run again: when everything is already there it only checks and returns.
#
#   bash scripts/setup.sh                  packages from Debian main
#   bash scripts/setup.sh --natural-voice  also the Open JTalk voice (Debian
#                                          contrib), and builds and installs
#                                          the speech-dispatcher module
#                                          yomimaru-openjtalk for the user who
#                                          runs this
set -euo pipefail

usage() {
    sed -n '2,8s/^# \{0,1\}//p' "$0"
}

natural_voice=0
for arg in "$@"; do
    case "$arg" in
    --natural-voice) natural_voice=1 ;;
    -h | --help)
        usage
        exit 0
        ;;
    *)
        echo "setup.sh: unknown option $arg" >&2
        usage >&2
        exit 2
        ;;
    esac
done

packages=(
    # toolchain
    build-essential cmake ninja-build clang-format pkg-config git
    # fuzzing (scripts/fuzz.sh): clang with libFuzzer and the sanitizers' run-time
    clang libclang-rt-14-dev
    # Qt 6 (Core, Gui, Widgets, Network, Test, Multimedia) and regular expressions
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev qt6-multimedia-dev libqt6opengl6-dev libpcre2-dev
    # gzip answers (the client unpacks and checks them itself) and the test
    # certificate of the local board server's https
    zlib1g-dev openssl
    # speech, and the sound output of the Open JTalk module
    libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng espeak-ng libpulse-dev
    # braille displays through BRLTTY (the braille test starts BRLTTY on its virtual display)
    libbrlapi-dev brltty
    # Japanese reading for espeak-ng: MeCab with the UTF-8 IPAdic dictionary, and kakasi
    mecab mecab-ipadic-utf8 libmecab-dev kakasi libkakasi2-dev
    # Japanese reading: Open JTalk and its dictionary (its voice is in contrib, see --natural-voice)
    open-jtalk open-jtalk-mecab-naist-jdic
    # romaji search (C/Migemo and its UTF-8 dictionary)
    libmigemo-dev cmigemo-common
    # sources of the kanji readings (tools/dictgen, checked by TestShosaiYomi)
    kanjidic edict
    # end-to-end tests and the audio capture test
    xvfb xauth xdotool pulseaudio pulseaudio-utils sox
    # the large-type window test: a real window manager, and xprop and xwininfo to ask it
    openbox x11-utils
    # a private session bus for the screen-reader detection test
    dbus-daemon
    # a real Japanese input method for the input-method end-to-end test
    fcitx5 fcitx5-mozc fcitx5-frontend-qt6
    # the emoji name table (tools/emoji/make_emoji_table.py reads CLDR)
    unicode-cldr-core
    # benchmarks
    libbenchmark-dev
    # regenerating (and checking) the 1000-message sample thread
    python3
    # Japanese fonts for the large-type display
    fonts-noto-cjk
    # building and checking the Debian package (scripts/package-check.sh)
    debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream man-db
)

# The one Japanese voice for Open JTalk that Debian packages (contrib).
voice_package=hts-voice-nitech-jp-atr503-m001
contrib_sources=/etc/apt/sources.list.d/yomimaru-contrib.sources
here=$(cd "$(dirname "$0")/.." && pwd)
module_conf=$here/tools/openjtalk-module/yomimaru-openjtalk.conf

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "$natural_voice" -eq 1 ] || exit 0

# --- the natural voice ---------------------------------------------------------

# The Debian sources this machine uses, as deb822 stanzas with the contrib
# component only: the same addresses, suites and keys as the system's own
# entries for Debian main (from .sources files and from one-line lists).
contrib_stanzas() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        [ "$f" = "$contrib_sources" ] && continue
        awk '
            function flush() {
                if (types ~ /(^| )deb( |$)/ && comps ~ /(^| )main( |$)/ && enabled !~ /^(no|false)$/ \
                    && (uris ~ /debian/ || signed ~ /debian-archive-keyring/)) {
                    printf "Types: deb\nURIs: %s\nSuites: %s\nComponents: contrib\n", uris, suites
                    if (signed != "") printf "Signed-By: %s\n", signed
                    printf "\n"
                }
                types = uris = suites = comps = signed = enabled = ""; key = ""
            }
            /^#/ { next }
            /^[ \t]*$/ { flush(); next }
            /^[ \t]/ { if (key == "uris") { sub(/^[ \t]+/, ""); uris = uris " " $0 }; next }
            {
                key = tolower(substr($0, 1, index($0, ":") - 1))
                value = substr($0, index($0, ":") + 1); sub(/^[ \t]+/, "", value); sub(/[ \t]+$/, "", value)
                if (key == "types") types = value
                else if (key == "uris") uris = value
                else if (key == "suites") suites = value
                else if (key == "components") comps = value
                else if (key == "signed-by") signed = value
                else if (key == "enabled") enabled = tolower(value)
            }
            END { flush() }
        ' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        # deb [options] URI SUITE COMPONENT...
        awk '
            $1 == "deb" {
                i = 2; signed = ""
                if ($2 ~ /^\[/) {
                    for (; i <= NF; i++) {
                        if ($i ~ /^\[?signed-by=/) { signed = $i; sub(/^\[?signed-by=/, "", signed); sub(/\]$/, "", signed) }
                        if ($i ~ /\]$/) { i++; break }
                    }
                }
                uri = $i; suite = $(i + 1); main = 0
                for (j = i + 2; j <= NF; j++) if ($j == "main") main = 1
                if (main && (uri ~ /debian/ || signed ~ /debian-archive-keyring/)) {
                    printf "Types: deb\nURIs: %s\nSuites: %s\nComponents: contrib\n", uri, suite
                    if (signed != "") printf "Signed-By: %s\n", signed
                    printf "\n"
                }
            }
        ' "$f"
    done
}

has_candidate() {
    local candidate
    candidate=$(apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ { print $2 }')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}

if ! installed "$voice_package"; then
    if ! has_candidate "$voice_package"; then
        stanzas=$(contrib_stanzas)
        if [ -z "$stanzas" ]; then
            echo "setup.sh: no Debian entry found in /etc/apt/sources.list or /etc/apt/sources.list.d/;" >&2
            echo "add the contrib component yourself and run this again." >&2
            exit 1
        fi
        echo "Adding Debian contrib in $contrib_sources (the voice is packaged there)"
        tmp=$(mktemp)
        {
            echo "# Debian contrib, for the Open JTalk voice $voice_package."
            echo "# Added by Yomimaru's scripts/setup.sh --natural-voice; delete this file to undo."
            printf '%s\n' "$stanzas"
        } >"$tmp"
        $SUDO install -m 644 "$tmp" "$contrib_sources.tmp"
        $SUDO mv -f "$contrib_sources.tmp" "$contrib_sources"
        rm -f "$tmp"
        $SUDO apt-get update -qq
    fi
    echo "Installing: $voice_package"
    if ! $SUDO apt-get install -y -qq --no-install-recommends "$voice_package"; then
        echo "setup.sh: apt-get could not install $voice_package (see its answer above)." >&2
        exit 1
    fi
fi

# The module's defaults name these files: check that they are where it looks.
dictionary=/var/lib/mecab/dic/open-jtalk/naist-jdic
voice_file=$(dpkg -L "$voice_package" | grep '\.htsvoice$' | head -n 1)
[ -f "$dictionary/sys.dic" ] || {
    echo "setup.sh: the Open JTalk dictionary is missing ($dictionary)" >&2
    exit 1
}
case "$voice_file" in
/usr/share/hts-voice/*) ;;
*)
    echo "setup.sh: the voice is not under /usr/share/hts-voice: ${voice_file:-(none)}" >&2
    exit 1
    ;;
esac

# The module goes to the user who ran this (through sudo: that user, not
# root), and nothing else: no speechd.conf, no AddModule line, so
# speech-dispatcher keeps finding every other module by itself. It looks for
# module programs of the user in $XDG_DATA_HOME/../libexec/.
target_user=$(id -un)
target_home=$HOME
config_home=${XDG_CONFIG_HOME:-$HOME/.config}
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    target_user=$SUDO_USER
    target_home=$(getent passwd "$SUDO_USER" | cut -d: -f6)
    config_home=$target_home/.config
    data_home=$target_home/.local/share
fi
modules_dir=$config_home/speech-dispatcher/modules
programs_dir=$(realpath -m "$data_home/../libexec/speech-dispatcher-modules")
target=$modules_dir/yomimaru-openjtalk.conf
program=$programs_dir/sd_yomimaru-openjtalk
build=$here/build-module

as_user() {
    if [ "$(id -un)" = "$target_user" ]; then
        "$@"
    else
        runuser -u "$target_user" -- "$@"
    fi
}

echo "Building the module sd_yomimaru-openjtalk in $build"
as_user cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DYOMIMARU_BENCHMARKS=OFF >/dev/null
as_user cmake --build "$build" --target sd_yomimaru-openjtalk >/dev/null
as_user mkdir -p "$modules_dir" "$programs_dir"
as_user install -m 755 "$build/tools/openjtalk-module/sd_yomimaru-openjtalk" "$program.tmp"
as_user mv -f "$program.tmp" "$program"
as_user cp "$module_conf" "$target.tmp"
as_user mv -f "$target.tmp" "$target"
# The generic-module file of earlier versions: the module replaces it.
as_user rm -f "$modules_dir/openjtalk-generic.conf"
echo "Installed the speech-dispatcher module yomimaru-openjtalk for $target_user: $program, $target"
cat <<EOF
Restart your speech-dispatcher so that it finds the module (it starts again by itself):
    pkill -u $target_user -x speech-dispatcher
Then 'spd-say -O' lists yomimaru-openjtalk beside espeak-ng, and Yomimaru chooses
the Open JTalk voice unless you have chosen another one under
オプション設定 → 音声設定 → 音声エンジン切替. Orca can use it too
(its speech settings: speech-dispatcher, synthesizer yomimaru-openjtalk).
'yomimaru --speech-check' names the module and its first-sound time.
To undo: rm $program $target (and restart speech-dispatcher);
optionally remove $contrib_sources and the package $voice_package.
EOF
